#include "platform/CheckedWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

CheckedStream::~CheckedStream() {
    abandon();
}

void CheckedStream::attach(int fd) {
    abandon();
    fd_ = fd;
    written_ = 0;
}

int CheckedStream::write(const char* data, qsizetype size) {
    if (fd_ < 0)
        return EBADF;
    if (const int err = calls_->write(fd_, data, size))
        return err;
    written_ += size;
    return 0;
}

std::optional<WriteFailure> CheckedStream::finish() {
    if (fd_ < 0)
        return WriteFailure{WriteStep::Close, EBADF};
    const int fd = fd_;
    fd_ = -1;
    std::optional<WriteFailure> failure;
    if (const int err = calls_->sync(fd)) {
        failure = WriteFailure{WriteStep::Sync, err};
    } else {
        // A file shorter than what was written lost its tail: that is no file at all.
        qint64 size = 0;
        if (const int sizeErr = calls_->size(fd, size))
            failure = WriteFailure{WriteStep::Sync, sizeErr};
        else if (size != written_)
            failure = WriteFailure{WriteStep::Sync, EIO};
    }
    if (failure) {
        ::close(fd);
        return failure;
    }
    if (const int err = calls_->close(fd))
        return WriteFailure{WriteStep::Close, err};
    return std::nullopt;
}

void CheckedStream::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

namespace {

constexpr int CreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// A name beside `path` that nobody else has: created here, never followed if planted.
int createUnique(const QString& path, mode_t mode, QByteArray& tmpName) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpName = QFile::encodeName(path) + '.' +
                  QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(tmpName.constData(), CreateFlags, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The fixed name, with whatever a killed writer (or anyone else) left there removed first.
int createFixed(const QString& tmp, mode_t mode, QByteArray& tmpName) {
    tmpName = QFile::encodeName(tmp);
    if (::unlink(tmpName.constData()) != 0 && errno != ENOENT)
        return -1;
    return ::open(tmpName.constData(), CreateFlags, mode);
}

// The steps between creation and rename; the new file is open on `stream`.
std::optional<WriteFailure> fill(CheckedStream& stream, const QByteArray& name,
                                 const FileFiller& fillWith, const ReplaceOptions& options) {
    if (options.likeExisting) {
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            if ((st.st_mode & 0222) == 0)
                return WriteFailure{WriteStep::Mode, EACCES};
            if (::fchmod(stream.fd(), st.st_mode & 07777) != 0)
                return WriteFailure{WriteStep::Mode, errno};
        }
    }
    if (options.mode && ::fchmod(stream.fd(), mode_t(*options.mode) & 07777) != 0)
        return WriteFailure{WriteStep::Mode, errno};
    if (std::optional<WriteFailure> failure = fillWith(stream))
        return failure;
    return stream.finish();
}

} // namespace

std::optional<WriteFailure> ReplaceFile(const QString& path, const QByteArray& bytes,
                                        const ReplaceOptions& options, const FileCalls& calls,
                                        FileIdentity* written) {
    const auto writeBytes = [&bytes](CheckedStream& stream) -> std::optional<WriteFailure> {
        if (const int err = stream.write(bytes.constData(), bytes.size()))
            return WriteFailure{WriteStep::Write, err};
        return std::nullopt;
    };
    return ReplaceFileWith(path, writeBytes, options, calls, written);
}

std::optional<WriteFailure> ReplaceFileWith(const QString& path, const FileFiller& fillWith,
                                            const ReplaceOptions& options, const FileCalls& calls,
                                            FileIdentity* written) {
    const QByteArray name = QFile::encodeName(path);
    const auto createMode = mode_t(options.createMode);
    QByteArray tmpName;
    const int fd = options.temporary.isEmpty()
                       ? createUnique(path, createMode, tmpName)
                       : createFixed(options.temporary, createMode, tmpName);
    if (fd < 0)
        return WriteFailure{WriteStep::Create, errno};
    CheckedStream stream(calls);
    stream.attach(fd);
    if (written) {
        struct stat st {};
        if (::fstat(fd, &st) == 0)
            *written = FileIdentity{quint64(st.st_dev), quint64(st.st_ino)};
    }
    std::optional<WriteFailure> failure = fill(stream, name, fillWith, options);
    // Only a whole file, synced and closed, takes the name.
    if (!failure) {
        if (const int err = calls.rename(tmpName.constData(), name.constData()))
            failure = WriteFailure{WriteStep::Rename, err};
    }
    if (failure) {
        stream.abandon();
        ::unlink(tmpName.constData());
        return failure;
    }
    // The rename itself reaches the disk with the folder.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return WriteFailure{WriteStep::Folder, errno};
    const int err = ::fsync(dirFd) == 0 ? 0 : errno;
    ::close(dirFd);
    if (err != 0)
        return WriteFailure{WriteStep::Folder, err};
    return std::nullopt;
}

} // namespace platform
