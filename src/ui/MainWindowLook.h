#pragma once

#include <QPalette>
#include <QRect>
#include <QSize>

class QWidget;

// The main window's layout and colours in one table: where every control sits in its parent and
// under which object name, and the palettes its parts are painted with. The building code takes
// places from here and says only what a control is and shows.
namespace mainlook {

// A control's object name (empty: none) and its place in its parent. A place without a size
// keeps the control's own size, fitted to its text.
struct Place {
    const char* name = "";
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool sized() const { return width > 0; }
    QRect rect() const { return {left, top, width, height}; }
};

// Gives the widget its object name and place (see Place).
template <class Widget> Widget* placed(Widget* widget, const Place& place);

inline constexpr QSize WindowSize(556, 475);
inline constexpr char WindowName[] = "Form1";

// The window's own parts, in the order they lie from bottom to top.
inline constexpr Place Background{"Image4", 0, 0, 556, 475};
inline constexpr Place MinimizeButton{"SpeedButton2", 517, 7, 17, 17};
inline constexpr Place ExitButton{"SpeedButton1", 533, 7, 18, 17};
inline constexpr Place UpdateButton{"RzShapeButton1", 282, 142, 72, 24};
inline constexpr Place SiteButton{"RzShapeButton3", 373, 142, 94, 24};
inline constexpr Place HelpButton{"RzShapeButton4", 493, 142, 51, 24};
inline constexpr Place GroupBar{"RzGroupBar1", 8, 192, 130, 256};
inline constexpr Place Separator{"RzSeparator1", 144, 184, 2, 265};
inline constexpr Place AboutPicture{"Image2", 189, 211, 334, 202};
inline constexpr Place Pages{"PageControl", 150, 185, 403, 260};
inline constexpr Place RunButton{"BenchButton", 26, 399, 102, 24};
inline constexpr Place StatusLine{"StatusInfo", 16, 458, 530, 14};

// The progress panel over the pages, and its lines.
inline constexpr Place ProgressPanel{"Panel2", 152, 184, 401, 265};
inline constexpr Place ProgressHeading{"Label20", 72, 72};
inline constexpr Place ResolutionLine{"Label21", 72, 104};
inline constexpr Place RunsLine{"RunsLabel", 72, 128};
inline constexpr Place GameLine{"GameLine", 24, 160, 353, 64};
inline constexpr Place FinishedRunLine{"FinishedRunLine", 24, 228, 353, 20};

// Page 1: path and information.
inline constexpr Place GamePathFrame{"", 8, 6, 387, 56};
inline constexpr Place GamePathEdit{"HL2PathEdit", 12, 24, 363, 21};
inline constexpr Place InformationFrame{"", 8, 70, 387, 50};
inline constexpr Place VersionCaption{"Label5", 14, 24};
inline constexpr Place VersionLabel{"Label17", 140, 24};
inline constexpr Place ResultsFrame{"", 8, 128, 387, 58};
inline constexpr Place ResultsFolderEdit{"ResEdit", 12, 24, 283, 21};
inline constexpr Place OpenResultsButton{"OpenResFolder", 301, 23, 46, 23};
inline constexpr Place BrowseResultsButton{"RzToolButton5", 351, 23, 24, 23};

// Page 2: resolution and detail.
inline constexpr Place ResolutionFrame{"res", 8, 4, 387, 104};
// The resolution boxes in the frame: three columns, filled top to bottom, named "res0".."res8".
QRect ResolutionBox(int slot);
inline constexpr Place CustomResolutionBox{"cusresbox", 16, 119, 128, 20};
inline constexpr Place CustomWidthEdit{"CusWidth", 150, 118, 50, 21};
inline constexpr Place TimesSign{"", 200, 118, 18, 21};
inline constexpr Place CustomHeightEdit{"CusHeight", 218, 118, 50, 21};
inline constexpr Place PossibilitiesButton{"CusPossibilities", 282, 117, 96, 23};
inline constexpr Place DetailFrame{"DetailBox", 8, 150, 387, 50};
// Four columns in the frame; the one item fills the first.
inline constexpr Place MaximumDetail{"", 14, 22, 180, 20};
inline constexpr Place DetailNote{"DetailNote", 12, 208};

// Page 3: filters and demos.
inline constexpr Place FiltersFrame{"", 8, 4, 387, 72};
inline constexpr Place FilteringCaption{"", 14, 20};
inline constexpr Place FilteringBox{"AFBox", 14, 38, 170, 22};
inline constexpr Place AntialiasingCaption{"", 204, 20};
inline constexpr Place AntialiasingBox{"AABox", 204, 38, 170, 22};
inline constexpr Place DemoFrame{"demo", 8, 84, 387, 84};
// The demo choices in the frame: two columns, named "demo0" and "demo1".
QRect DemoChoice(int item);
inline constexpr Place CustomDemoEdit{"DemoEdit", 14, 52, 331, 21};
inline constexpr Place BrowseDemoButton{"DemoEditButton", 350, 51, 24, 23};
inline constexpr Place RunCountFrame{"", 8, 176, 387, 54};
inline constexpr Place RunCountBox{"RunNumberBox", 14, 22, 80, 22};

// Page 4: miscellaneous.
inline constexpr Place NoteCaption{"", 10, 8};
inline constexpr Place NoteEdit{"NoteEdit", 8, 26, 387, 21};
inline constexpr Place HeapSizeCaption{"", 10, 60};
inline constexpr Place HeapSizeBox{"HeapsizeBox", 8, 78, 180, 22};
inline constexpr Place RefreshRateCaption{"", 217, 60};
inline constexpr Place RefreshRateBox{"RefreshBox", 215, 78, 180, 22};
inline constexpr Place HdrCaption{"", 10, 112};
inline constexpr Place HdrBox{"HDRBox", 8, 130, 180, 22};
inline constexpr Place FastZBox{"FastZBox", 10, 172, 300, 20};
inline constexpr Place ColourCorrectionBox{"ColorCorrBox", 10, 198, 300, 20};

// The window's own black, behind the painted background.
QPalette WindowPalette(QPalette palette);
// Dark pages with light frame captions and labels, matching the painted page area.
QPalette PagePalette();
// Light boxes with black text, as the option controls have on every page.
QPalette LightBoxPalette(QPalette palette);
// The sunken line between the group bar and the pages.
QPalette SeparatorPalette(QPalette palette);
// The progress panel: white text on black.
QPalette ProgressPanelPalette(QPalette palette);
// The status line's silver text.
QPalette StatusLinePalette(QPalette palette);

template <class Widget> Widget* placed(Widget* widget, const Place& place) {
    if (place.name[0] != '\0')
        widget->setObjectName(QString::fromLatin1(place.name));
    if (place.sized()) {
        widget->setGeometry(place.rect());
    } else {
        widget->move(place.left, place.top);
        widget->adjustSize();
    }
    return widget;
}

} // namespace mainlook
