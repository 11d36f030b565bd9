#include "ui/PictureButton.h"

#include "ui/UiLook.h"

#include <QPainter>

PictureButton::PictureButton(const QString& pictureBase, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), normal_(uilook::Picture(pictureBase + QStringLiteral("_normal"))),
      hot_(uilook::Picture(pictureBase + QStringLiteral("_hot"))),
      down_(uilook::Picture(pictureBase + QStringLiteral("_down"))),
      disabled_(uilook::Picture(pictureBase + QStringLiteral("_disabled"))) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

QSize PictureButton::sizeHint() const {
    return normal_.size();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap& picture = !isEnabled()   ? disabled_
                             : isDown()     ? down_
                             : underMouse() ? hot_
                                            : normal_;
    p.drawPixmap(rect(), picture);
}

void PictureButton::enterEvent(QEnterEvent* event) {
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
    update();
    QAbstractButton::leaveEvent(event);
}
