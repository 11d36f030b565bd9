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
