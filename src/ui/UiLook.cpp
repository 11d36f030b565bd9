#include "ui/UiLook.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFontDatabase>
#include <QImageReader>

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
    const QString path = QStringLiteral(":/pictures/") + name;
    // Every picture is a PNG. Read as one: left to find the format itself, the reader first
    // loads every image format plugin there is, a cost the first picture paid at every start.
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    const QPixmap picture = QPixmap::fromImageReader(&reader);
    if (picture.isNull())
        throw AppError(QStringLiteral("The picture %1 is missing from this build.").arg(path));
    return picture;
}

} // namespace uilook
