#pragma once

#include "platform/DisplayModes.h"
#include <QByteArray>
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

// Screen sizes from texts such as "1024 x 768", as a display would report them.
std::vector<platform::ScreenSize> screenSizes(const QStringList& modes);

} // namespace testsupport
