#pragma once

#include "platform/DisplayModes.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

// Lets test failures print texts readably.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testsupport {

// Folder that holds every program of the build (program, tools, stand-ins).
QString binDir();
// Full path of a program built into binDir().
QString binPath(const QString& name);
QString sourceDir();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Runs the Qt event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Ends, when it goes, every process still running a program that lies below `folder`: the
// program itself (argv[0]) or the script a shell runs (argv[1]). Made beside the folder a test
// starts its children from, it ends them also when the test failed half-way, so nothing the
// test started runs on after it.
class ChildrenBelow {
public:
    explicit ChildrenBelow(const QString& folder);
    ~ChildrenBelow();
    ChildrenBelow(const ChildrenBelow&) = delete;
    ChildrenBelow& operator=(const ChildrenBelow&) = delete;

    // Live processes (an unreaped zombie has ended) of programs below the folder.
    QList<qint64> running() const;
    // Kills them and waits until they have ended; returns how many there were.
    int endAll();

private:
    QString root_;
};

// Screen sizes from texts such as "1024 x 768", as a display would report them.
std::vector<platform::ScreenSize> screenSizes(const QStringList& modes);

} // namespace testsupport
