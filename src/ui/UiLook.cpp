#include "ui/UiLook.h"

#include "platform/Errors.h"
#include "ui/PicturePixels.h"

#include <QFontDatabase>
#include <QResource>

namespace uilook {

QFont UiFont(int pointSize, bool bold) {
    static const QString family = [] {
        const QStringList available = QFontDatabase::families();
        for (const char* candidate : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial"})
            if (available.contains(QLatin1String(candidate)))
                return QString::fromLatin1(candidate);
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family, pointSize);
    font.setBold(bold);
    return font;
}

QPixmap Picture(const QString& name) {
    const QString path = QStringLiteral(":/pictures/%1.pixels").arg(name);
    // Kept uncompressed in the program, so its bytes are read where they lie.
    const QResource resource(path);
    const QImage image =
        resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression
            ? DecodePixels(QByteArrayView(resource.data(), resource.size()))
            : QImage();
    if (image.isNull())
        throw AppError(QStringLiteral("The picture %1 is missing from this build.").arg(path));
    return QPixmap::fromImage(image);
}

} // namespace uilook
