#include "platform/ProcFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::optional<QByteArray> ReadProcFile(const QByteArray& path, qsizetype maxBytes) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    char buffer[4096];
    while (bytes.size() < maxBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes.left(maxBytes);
}

} // namespace platform
