#include "platform/CheckedFile.h"

#include "platform/UniqueFd.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString CannotCreateFileText(const QString& path, int err) {
    return QStringLiteral("Cannot create file \"%1\". %2")
        .arg(QFileInfo(path).absoluteFilePath(), QString::fromLocal8Bit(std::strerror(err)));
}

bool StreamFile::Create(const QString& path) {
    Close();
    path_ = path;
    error_.clear();
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return Fail(errno);
    stream_.attach(fd);
    return true;
}

bool StreamFile::Write(const char* data, qsizetype size) {
    if (const int err = stream_.write(data, size))
        return Fail(err);
    return true;
}

bool StreamFile::Finish() {
    if (const std::optional<WriteFailure> failure = stream_.finish())
        return Fail(failure->err);
    return true;
}

void StreamFile::Close() {
    stream_.abandon();
}

bool StreamFile::Fail(int err) {
    error_ = CannotCreateFileText(path_, err);
    return false;
}

std::optional<QString> WriteNewFile(const QString& path, const QByteArray& bytes, unsigned mode) {
    const QByteArray name = QFile::encodeName(path);
    // unlink takes a link itself, never what it points to.
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        return CannotCreateFileText(path, errno);
    ReplaceOptions options;
    // The umask must not take bits the caller asked for (a program must stay runnable).
    options.mode = mode;
    options.createMode = mode;
    const std::optional<WriteFailure> failure = ReplaceFile(path, bytes, options);
    if (failure && failure->step != WriteStep::Folder)
        return CannotCreateFileText(path, failure->err);
    return std::nullopt;
}

std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxBytes, QString* why) {
    const auto refuse = [why](const QString& reason) -> std::optional<QByteArray> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: a FIFO planted under the name must not hold the reader.
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return refuse(QStringLiteral("not a regular file"));
    if (st.st_uid != ::geteuid())
        return refuse(QStringLiteral("owned by another user"));
    if (st.st_nlink != 1)
        return refuse(QStringLiteral("the file has other names"));
    if (st.st_size > maxBytes)
        return refuse(QStringLiteral("larger than %1 bytes").arg(maxBytes));
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return refuse(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes)
            return refuse(QStringLiteral("larger than %1 bytes").arg(maxBytes));
        bytes.append(buffer, n);
    }
    return bytes;
}

} // namespace platform
