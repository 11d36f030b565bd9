#include "platform/OutsideFile.h"

#include "platform/UniqueFd.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/magic.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace platform {

namespace {

OutsideFile refused(OutsideFile::Outcome outcome, const QString& reason) {
    OutsideFile file;
    file.outcome = outcome;
    file.reason = reason;
    return file;
}

OutsideFile failed(int err) {
    return refused(OutsideFile::Outcome::Failed, QString::fromLocal8Bit(std::strerror(err)));
}

OutsideFile tooLarge(qint64 maxBytes) {
    return refused(OutsideFile::Outcome::TooLarge,
                   QStringLiteral("larger than %1 bytes").arg(maxBytes));
}

// What a followed link must lead to: nothing when it may be read, else the refusal.
using TargetCheck = std::function<std::optional<OutsideFile>(int fd, const struct stat&)>;

OutsideFile readChecked(const QString& path, qint64 maxBytes, OutsideRead how, int flags,
                        const TargetCheck& checkTarget = {}) {
    const QByteArray name = QFile::encodeName(path);
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags));
    if (fd.get() < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return refused(OutsideFile::Outcome::Missing,
                           QString::fromLocal8Bit(std::strerror(err)));
        struct stat link {};
        if (err == ELOOP && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return refused(OutsideFile::Outcome::NotRegular, QStringLiteral("a symbolic link"));
        return failed(err);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return failed(errno);
    if (!S_ISREG(st.st_mode))
        return refused(OutsideFile::Outcome::NotRegular, QStringLiteral("not a regular file"));
    if (checkTarget) {
        if (std::optional<OutsideFile> refusal = checkTarget(fd.get(), st))
            return *refusal;
    }
    const bool keepFirst = how == OutsideRead::FirstBytes;
    if (st.st_size > maxBytes && !keepFirst)
        return tooLarge(maxBytes);

    // The size told is only a hint (files under /proc say 0 and may give without end): one
    // byte beyond the limit is read at most, to tell a file that is too long.
    const qint64 ceiling = maxBytes + 1;
    OutsideFile file;
    file.outcome = OutsideFile::Outcome::Read;
    file.bytes.resize(qsizetype(std::min<qint64>(std::max<qint64>(st.st_size, 0) + 1, ceiling)));
    qsizetype filled = 0;
    for (;;) {
        if (filled == file.bytes.size()) {
            if (filled >= ceiling)
                break;
            file.bytes.resize(qsizetype(std::min<qint64>(qint64(filled) * 2, ceiling)));
        }
        const ssize_t n =
            ::read(fd.get(), file.bytes.data() + filled, size_t(file.bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        if (n == 0)
            break;
        filled += n;
    }
    if (filled > maxBytes) {
        if (!keepFirst)
            return tooLarge(maxBytes);
        filled = qsizetype(maxBytes);
    }
    file.bytes.truncate(filled);
    return file;
}

} // namespace

OutsideFile ReadOutsideFile(const QString& path, qint64 maxBytes, OutsideRead how) {
    return readChecked(path, maxBytes, how, O_NOFOLLOW);
}

OutsideFile ReadSystemFile(const QString& path, qint64 maxBytes, OutsideRead how) {
    return readChecked(path, maxBytes, how, 0);
}

OutsideFile ReadUsersFile(const QString& path, qint64 maxBytes) {
    struct stat link {};
    if (::lstat(QFile::encodeName(path).constData(), &link) != 0 || !S_ISLNK(link.st_mode))
        return ReadOutsideFile(path, maxBytes);
    return readChecked(path, maxBytes, OutsideRead::WholeOrNothing, 0,
                       [](int fd, const struct stat& st) -> std::optional<OutsideFile> {
                           if (st.st_uid != ::geteuid())
                               return refused(
                                   OutsideFile::Outcome::NotRegular,
                                   QStringLiteral("a symbolic link to a file of another user"));
                           struct statfs fs {};
                           if (::fstatfs(fd, &fs) != 0)
                               return failed(errno);
                           if (fs.f_type == PROC_SUPER_MAGIC)
                               return refused(OutsideFile::Outcome::NotRegular,
                                              QStringLiteral("a symbolic link into /proc"));
                           return std::nullopt;
                       });
}

int OpenRegularFile(const QString& path, QString* why) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    QString reason;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISREG(st.st_mode))
        reason = QStringLiteral("not a regular file");
    else
        return fd;
    if (fd >= 0)
        ::close(fd);
    if (why)
        *why = reason;
    return -1;
}

} // namespace platform
