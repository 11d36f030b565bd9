#include "platform/PieceReading.h"

#include "platform/UniqueFd.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::optional<QString>
ReadOwnFileInPieces(const QString& path, std::size_t maxBytes,
                    const std::function<void(const char* data, std::size_t size)>& piece,
                    const std::function<void(std::size_t size)>& sized,
                    const std::atomic<bool>* stop) {
    const auto systemText = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    // Non-blocking: a FIFO planted under the name must not hold the reader.
    UniqueFd fd(::open(QFile::encodeName(path).constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return systemText();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return systemText();
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("not a regular file");
    if (st.st_uid != ::geteuid())
        return QStringLiteral("owned by another user");
    const QString tooLarge = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    if (static_cast<std::size_t>(st.st_size) > maxBytes)
        return tooLarge;
    if (sized)
        sized(static_cast<std::size_t>(st.st_size));
    std::vector<char> buffer(256 * 1024);
    std::size_t total = 0;
    for (;;) {
        if (stop && *stop)
            return QStringLiteral("stopped");
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return systemText();
        }
        if (n == 0)
            return std::nullopt;
        total += static_cast<std::size_t>(n);
        // The file may grow while it is read.
        if (total > maxBytes)
            return tooLarge;
        piece(buffer.data(), static_cast<std::size_t>(n));
    }
}

} // namespace platform
