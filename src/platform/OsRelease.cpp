#include "platform/OsRelease.h"

#include <QFile>

namespace platform {

QByteArray ReadOsReleaseFile() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return {};
}

} // namespace platform
