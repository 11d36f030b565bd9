#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <stdexcept>

namespace testsupport {

QString binDir() {
    return QStringLiteral(VARNHOLT_BIN_DIR);
}

QString binPath(const QString& name) {
    return binDir() + QLatin1Char('/') + name;
}

QString sourceDir() {
    return QStringLiteral(VARNHOLT_SOURCE_DIR);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

std::vector<platform::ScreenSize> screenSizes(const QStringList& modes) {
    std::vector<platform::ScreenSize> sizes;
    for (const QString& mode : modes) {
        const QStringList parts = mode.split(QStringLiteral(" x "));
        sizes.push_back({parts.value(0).toInt(), parts.value(1).toInt()});
    }
    return sizes;
}

} // namespace testsupport
