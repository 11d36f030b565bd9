#include "ui/MainWindowLook.h"

#include "ui/UiLook.h"

#include <QColor>

namespace mainlook {

QRect ResolutionBox(int slot) {
    const int column = slot / 3;
    const int row = slot % 3;
    return {14 + column * 124, 24 + row * 26, 118, 20};
}

QRect DemoChoice(int item) {
    return {14 + item * 190, 22, 170, 20};
}

QPalette WindowPalette(QPalette palette) {
    palette.setColor(QPalette::Window, Qt::black);
    return palette;
}

QPalette PagePalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, uilook::PageBackground());
    palette.setColor(QPalette::WindowText, uilook::FrameText());
    palette.setColor(QPalette::Base, uilook::EditBackground());
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Button, QColor(58, 82, 114));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Light, QColor(95, 133, 179));
    palette.setColor(QPalette::Midlight, QColor(70, 98, 132));
    palette.setColor(QPalette::Mid, QColor(38, 54, 74));
    palette.setColor(QPalette::Dark, QColor(24, 34, 48));
    palette.setColor(QPalette::Highlight, QColor(47, 123, 216));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(92, 102, 116));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 128, 140));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(36, 44, 56));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(92, 102, 116));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(60, 66, 74));
    return palette;
}

QPalette LightBoxPalette(QPalette palette) {
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button})
        palette.setColor(role, uilook::EditBackground());
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(role, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(170, 174, 180));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(170, 174, 180));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(90, 94, 100));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(90, 94, 100));
    return palette;
}

QPalette SeparatorPalette(QPalette palette) {
    palette.setColor(QPalette::Dark, QColor(20, 28, 40));
    palette.setColor(QPalette::Light, QColor(70, 98, 132));
    return palette;
}

QPalette ProgressPanelPalette(QPalette palette) {
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    return palette;
}

QPalette StatusLinePalette(QPalette palette) {
    palette.setColor(QPalette::WindowText, uilook::SilverText());
    return palette;
}

} // namespace mainlook
