#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

// A display number no server uses, taken from a place of this process's own (from the top
// down when `fromTop`), so that tests running side by side do not meet.
int freeDisplayNumber(bool fromTop = false);

// Points $DISPLAY somewhere for the life of the object.
class DisplayVariable {
public:
    explicit DisplayVariable(const QString& value);
    ~DisplayVariable();

private:
    bool had_;
    QByteArray old_;
};

// A private Xvfb server of 1024 x 768; `display()` is empty when it could not be started, and
// `problem()` says why.
class Xvfb {
public:
    explicit Xvfb(const QStringList& extra = {});
    ~Xvfb();
    const QString& display() const { return display_; }
    const char* problem() const { return problem_; }

private:
    void start(const QString& program, int number, const QStringList& extra);
    void stop();

    QProcess server_;
    QString display_;
    const char* problem_ = "";
};

// What `program` with `args` prints on standard output when run against `display` (at most ten
// seconds).
QString outputOn(const QString& program, const QStringList& args, const QString& display);

// The first window type (_NET_WM_WINDOW_TYPE, e.g. "_NET_WM_WINDOW_TYPE_DIALOG") of each window
// titled exactly `title` on `display` that has one, read with xwininfo and xprop.
QStringList windowKinds(const QString& display, const QString& title);

// Presses `key` (an X key name such as "Escape") on `display` as a keyboard would, into the
// window that has the focus; false when xdotool could not do it.
bool pressKey(const QString& display, const QString& key);

} // namespace testsupport
