#include "platform/FileOps.h"
#include "platform/CheckedWrite.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileError errorFor(const QString& path, int code) {
    char buffer[256];
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return {path, QString::fromLocal8Bit(text), code == EXDEV};
}

// Copies the rest of `in` into the new file; a failure to read is told by `readFailed`.
std::optional<WriteFailure> copyContents(int in, CheckedStream& out, bool& readFailed) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            readFailed = true;
            return WriteFailure{WriteStep::Write, errno};
        }
        if (n == 0)
            return std::nullopt;
        if (const int err = out.write(buffer, n))
            return WriteFailure{WriteStep::Write, err};
    }
}

} // namespace

std::optional<FileError> CopyFileReplacing(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    // Opened without waiting: a FIFO under the name would hold the copy until a writer came.
    UniqueFd in(::open(source.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0)
        return errorFor(from, errno);
    struct stat info {};
    if (::fstat(in.get(), &info) != 0)
        return errorFor(from, errno);
    if (S_ISDIR(info.st_mode))
        return errorFor(from, EISDIR);
    // A device or a FIFO has no end to copy (/dev/zero would fill the disk).
    if (!S_ISREG(info.st_mode))
        return FileError{from, QStringLiteral("not a regular file"), false};

    // Whole or not at all: the copy takes the name only once it is on the disk.
    bool readFailed = false;
    const auto copy = [&](CheckedStream& out) { return copyContents(in.get(), out, readFailed); };
    ReplaceOptions options;
    options.mode = info.st_mode & 07777;
    const std::optional<WriteFailure> failure = ReplaceFileWith(to, copy, options);
    // A folder that could not be synced holds the copy already: it is no failed copy.
    if (failure && failure->step != WriteStep::Folder)
        return errorFor(readFailed ? from : to, failure->err);
    return std::nullopt;
}

std::optional<FileError> RenameReplacing(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return std::nullopt;
    const int code = errno;
    // Tell a missing source from a destination that cannot be written.
    struct stat info {};
    const bool sourceThere = ::lstat(QFile::encodeName(from).constData(), &info) == 0;
    return errorFor(sourceThere ? to : from, code);
}

std::optional<FileError> RemoveFile(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return std::nullopt;
    return errorFor(path, errno);
}

std::optional<FileError> MakeFolders(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    // Every prefix that ends before a "/", then the whole path.
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path.at(end) != '/')
            continue;
        const QByteArray prefix = path.left(end);
        if (::mkdir(prefix.constData(), 0777) == 0 || errno == EEXIST)
            continue;
        return errorFor(QFile::decodeName(prefix), errno);
    }
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return errorFor(folder, errno);
    if (!S_ISDIR(info.st_mode))
        return errorFor(folder, ENOTDIR);
    return std::nullopt;
}

} // namespace platform
