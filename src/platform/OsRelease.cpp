#include "platform/OsRelease.h"

#include "platform/OutsideFile.h"

namespace platform {

QByteArray ReadOsReleaseFile() {
    // A few lines of names; anything longer is not that file.
    constexpr qint64 MaxBytes = 64 * 1024;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        const OutsideFile file = ReadSystemFile(QString::fromLatin1(path), MaxBytes);
        if (file.ok())
            return file.bytes;
    }
    return {};
}

} // namespace platform
