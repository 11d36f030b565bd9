#include "platform/SafeFile.h"

#include "platform/CheckedFile.h"
#include "platform/Errors.h"
#include "platform/FileCalls.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void fail(const QString& path, int err) {
    throw AppError(CannotCreateFileText(path, err));
}

// A name beside `path` that nobody else has: created here, never followed if planted.
int createTemporary(const QString& path, QByteArray& tmpName) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpName = QFile::encodeName(path) + '.' +
                  QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd =
            ::open(tmpName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    WriteFileAtomically(path, bytes, systemFileCalls());
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes, const FileCalls& calls) {
    const QByteArray name = QFile::encodeName(path);
    QByteArray tmpName;
    UniqueFd fd(createTemporary(path, tmpName));
    if (fd.get() < 0)
        fail(path, errno);
    try {
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            // A file without write permission is not replaced, also not by a root user: the
            // rename would do it where writing the file itself is refused.
            if ((st.st_mode & 0222) == 0)
                throw int(EACCES);
            if (::fchmod(fd.get(), st.st_mode & 07777) != 0)
                throw errno;
        }
        if (const int err = calls.write(fd.get(), bytes.constData(), bytes.size()))
            throw err;
        if (const int err = calls.sync(fd.get()))
            throw err;
        // The size on disk must be what was written: a short file is a lost file.
        qint64 written = 0;
        if (const int err = calls.size(fd.get(), written))
            throw err;
        if (written != bytes.size())
            throw int(EIO);
        if (const int err = calls.close(fd.release()))
            throw err;
        // Only a whole file, synced and closed, takes the name.
        if (const int err = calls.rename(tmpName.constData(), name.constData()))
            throw err;
    } catch (int err) {
        ::unlink(tmpName.constData());
        fail(path, err);
    } catch (...) {
        ::unlink(tmpName.constData());
        throw;
    }
    // The rename itself reaches the disk with the folder.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    UniqueFd dirFd(::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0)
        ::fsync(dirFd.get());
}

} // namespace platform
