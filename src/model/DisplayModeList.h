#pragma once

#include "platform/DisplayModes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Where the screen sizes come from; the program asks the X server, tests pass their own.
using DisplayModeSource = std::function<std::vector<platform::ScreenSize>()>;

// "W x H", the form every entry and every look-up text has.
QString DisplayModeText(int width, int height);

// The distinct screen sizes offered, in the order first reported.
class DisplayModeList {
public:
    DisplayModeList() = default;
    explicit DisplayModeList(const std::vector<platform::ScreenSize>& reported);
    // A fresh list from the source; nothing is cached between calls.
    static DisplayModeList Build(const DisplayModeSource& source = platform::ReadDisplayModes);

    const QStringList& Entries() const { return entries_; }
    // The entries joined by CR LF.
    QString Text() const;
    // A substring test on Text(), case-sensitive: "11280 x 1024" makes "1280 x 1024" count.
    bool Contains(const QString& text) const;

private:
    QStringList entries_;
};
