#pragma once

#include <QAbstractButton>
#include <QPixmap>

// A button drawn entirely by its pictures: one each for normal, pointer over it, pressed and
// disabled. The caption lives in the pictures; text() keeps it for accessibility and tests.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    // Loads "<base>_normal.png", "_hot.png", "_down.png" and "_disabled.png".
    PictureButton(const QString& pictureBase, const QString& caption, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QPixmap normal_, hot_, down_, disabled_;
};
