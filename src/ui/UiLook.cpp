#include "ui/UiLook.h"

#include "platform/Errors.h"
#include "ui/PicturePixels.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QResource>
#include <QScreen>

namespace uilook {

QFont UiFont(int pointSize, bool bold) {
    // The first of these the machine has; none of them: the platform's sans-serif face. Named as
    // a list rather than looked up in the font database, whose listing of every face cost a
    // start several milliseconds.
    static const QStringList families = {QStringLiteral("DejaVu Sans"),
                                         QStringLiteral("Liberation Sans"),
                                         QStringLiteral("Noto Sans"), QStringLiteral("Arial")};
    QFont font(families.first(), pointSize);
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(bold);
    return font;
}

QPixmap Picture(const QString& name) {
    const QString path = QStringLiteral(":/pictures/%1.pixels").arg(name);
    // Kept uncompressed in the program, so its bytes are read where they lie, and copied once:
    // into the pixmap.
    const QResource resource(path);
    QImage image;
    if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression) {
        const QByteArrayView bytes(resource.data(), resource.size());
        image = PixelsView(bytes);
        if (image.isNull())
            image = DecodePixels(bytes);
    }
    if (image.isNull())
        throw AppError(QStringLiteral("The picture %1 is missing from this build.").arg(path));
    return QPixmap::fromImage(std::move(image));
}

namespace {

// Puts a picture into its label when the label is first shown.
class PictureAtFirstShow : public QObject {
public:
    PictureAtFirstShow(QLabel* label, QString name) : QObject(label), name_(std::move(name)) {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* label = static_cast<QLabel*>(watched);
            label->removeEventFilter(this);
            label->setPixmap(Picture(name_));
            deleteLater();
        }
        return false;
    }

private:
    QString name_;
};

} // namespace

void SetPictureWhenShown(QLabel* label, const QString& name) {
    new PictureAtFirstShow(label, name);
}

void CentreIn(QWidget& window, const QRect& area) {
    window.move(area.center() - window.rect().center());
}

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        CentreIn(window, screen->availableGeometry());
}

} // namespace uilook
