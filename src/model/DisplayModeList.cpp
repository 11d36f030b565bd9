#include "model/DisplayModeList.h"

namespace {

const QString LineBreak = QStringLiteral("\r\n");

} // namespace

QString DisplayModeText(int width, int height) {
    return QString::number(width) + QStringLiteral(" x ") + QString::number(height);
}

DisplayModeList::DisplayModeList(const std::vector<platform::ScreenSize>& reported) {
    for (const platform::ScreenSize& size : reported) {
        const QString text = DisplayModeText(size.width, size.height);
        if (!entries_.contains(text))
            entries_.append(text);
    }
}

DisplayModeList DisplayModeList::Build(const DisplayModeSource& source) {
    return DisplayModeList(source());
}

QString DisplayModeList::Text() const {
    return entries_.join(LineBreak);
}

bool DisplayModeList::Contains(const QString& text) const {
    return Text().contains(text, Qt::CaseSensitive);
}

const std::array<SlotModeLookup, SlotModeLookupCount>& SlotModeLookups() {
    static const std::array<SlotModeLookup, SlotModeLookupCount> table = {{
        {DisplayModeText(640, 480), QStringLiteral("640")},
        {DisplayModeText(800, 600), QStringLiteral("800")},
        {DisplayModeText(1024, 768), QStringLiteral("1024")},
        {DisplayModeText(1280, 1024), QStringLiteral("1280")},
        {DisplayModeText(1600, 1200), QStringLiteral("1600")},
        {DisplayModeText(2048, 1536), QStringLiteral("2048")},
        {DisplayModeText(1280, 768), QStringLiteral("hdw1")},
        {DisplayModeText(1920, 1080), QStringLiteral("hdw2")},
        {DisplayModeText(1920, 1200), QStringLiteral("hdw3")},
    }};
    return table;
}
