#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

class QLabel;
class QRect;
class QWidget;

// The look shared by the program's windows: fonts, colours and the painted pictures.
namespace uilook {

// The sans-serif face this platform has that comes nearest to the classic 8 point dialog
// face, at the given point size.
QFont UiFont(int pointSize = 8, bool bold = false);

// Group captions of the group bar.
inline QColor GroupCaption() {
    return QColor(200, 200, 200);
}
// Background of the edit and combo boxes.
inline QColor EditBackground() {
    return QColor(234, 234, 234);
}
inline QColor SilverText() {
    return QColor(192, 192, 192);
}
// Page area and its frames, matching the painted background.
inline QColor PageBackground() {
    return QColor(15, 21, 30);
}
inline QColor FrameText() {
    return QColor(200, 212, 228);
}

// A picture painted at build time, by name ("background"). Raises AppError when the program was
// built without it.
QPixmap Picture(const QString& name);

// The picture goes into the label when the label is first shown: a picture on a page or window
// not shown at start costs nothing at start.
void SetPictureWhenShown(QLabel* label, const QString& name);

// Puts the window in the middle of `area`.
void CentreIn(QWidget& window, const QRect& area);
// Puts the window in the middle of the primary screen's free area; without a screen it stays.
void CentreOnScreen(QWidget& window);

} // namespace uilook
