#pragma once

#include <QList>
#include <QString>

namespace stacking {

// A window shown directly below the root of an X display.
struct TopLevel {
    unsigned long id = 0;
    QString title;  // _NET_WM_NAME, else WM_NAME
    qint64 pid = 0; // _NET_WM_PID: the process that shows it; 0 when it does not say
};

// The viewable children of the root window, bottom-most first: the order the X server stacks
// them in (no window manager runs on a test's own server, so top-level windows are its
// children). Empty when the display cannot be opened.
QList<TopLevel> viewableTopLevels(const QString& display);

} // namespace stacking
