#include "platform/SharedMemory.h"

#include "platform/Errors.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void raise(int code, const QString& what) {
    throw OsError(code, what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code)));
}

QByteArray systemName(const QString& name) {
    return QFile::encodeName(name);
}

// Opens an existing file of that name, never through a link.
int openFile(const QByteArray& path, int flags) {
    return ::open(path.constData(), flags | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// The status of an open named object; one someone else made under our name is not ours to
// read or write: `fd` is closed and the error raised.
struct stat ownObjectStatus(int fd, const QString& what) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        raise(code, QStringLiteral("Cannot open the ") + what);
    }
    if (info.st_uid != ::geteuid()) {
        ::close(fd);
        raise(EACCES, QStringLiteral("The ") + what + QStringLiteral(" belongs to another user"));
    }
    return info;
}

// Opens (creating it when missing) the named object, refusing one another user made.
int openOwnObject(const QByteArray& path, const QString& what) {
    const int fd = openFile(path, O_RDWR | O_CREAT);
    if (fd < 0)
        raise(errno, QStringLiteral("Cannot open the ") + what);
    ownObjectStatus(fd, what);
    return fd;
}

bool setLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

NamedLock::NamedLock(const QString& name) : name_(name) {
    open();
}

NamedLock::~NamedLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

void NamedLock::open() {
    fd_ = openOwnObject(systemName(name_), QStringLiteral("lock ") + name_);
}

bool NamedLock::stillNamed() const {
    const int probe = openFile(systemName(name_), O_RDONLY);
    if (probe < 0)
        return false;
    struct stat named {};
    struct stat mine {};
    const bool same = ::fstat(probe, &named) == 0 && ::fstat(fd_, &mine) == 0 &&
                      named.st_dev == mine.st_dev && named.st_ino == mine.st_ino;
    ::close(probe);
    return same;
}

bool NamedLock::acquire(int staleMs) {
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const auto elapsedMs = [&start] {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        return (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
    };
    for (;;) {
        if (setLock(fd_, F_WRLCK)) {
            if (stillNamed())
                return true;
            // The last user removed it while we waited: the name leads to a new one now.
            setLock(fd_, F_UNLCK);
            ::close(fd_);
            fd_ = -1;
            open();
            continue;
        }
        if (errno != EAGAIN && errno != EACCES)
            raise(errno, QStringLiteral("Cannot take the lock ") + name_);
        if (elapsedMs() >= staleMs)
            return false; // taken over: our release() leaves the holder's lock alone
        const timespec pause{0, 2000000L};
        ::nanosleep(&pause, nullptr);
    }
}

void NamedLock::release() {
    setLock(fd_, F_UNLCK);
}

void NamedLock::remove(const QString& name) {
    ::unlink(systemName(name).constData());
}

bool NamedLock::exists(const QString& name) {
    const int fd = openFile(systemName(name), O_RDONLY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

SharedMemory::SharedMemory(const QString& name, qsizetype size) : size_(size) {
    const QByteArray path = systemName(name);
    int fd = openFile(path, O_RDWR | O_CREAT | O_EXCL);
    if (fd >= 0)
        created_ = true;
    else if (errno == EEXIST)
        fd = openFile(path, O_RDWR);
    if (fd < 0)
        raise(errno, QStringLiteral("Cannot open the shared memory ") + name);
    // A fresh block has no size yet. Its room is reserved (zero-filled), not just its size set:
    // a sparse block on a full file system would fault (SIGBUS) on the first write into it,
    // where a failed reservation is an error. A block left short (its creator died before
    // sizing it) is grown the same way, so reading it never faults.
    const struct stat info = ownObjectStatus(fd, QStringLiteral("shared memory ") + name);
    if (info.st_size < size) {
        const int code = ::posix_fallocate(fd, 0, off_t(size));
        if (code != 0) {
            ::close(fd);
            if (created_)
                ::unlink(path.constData());
            raise(code, QStringLiteral("Cannot size the shared memory ") + name);
        }
    }
    void* data = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int code = errno;
    ::close(fd);
    if (data == MAP_FAILED)
        raise(code, QStringLiteral("Cannot map the shared memory ") + name);
    data_ = data;
}

SharedMemory::~SharedMemory() {
    ::munmap(data_, size_t(size_));
}

QByteArray SharedMemory::read() const {
    return QByteArray(static_cast<const char*>(data_), size_);
}

void SharedMemory::write(const QByteArray& bytes) {
    std::memcpy(data_, bytes.constData(), size_t(qMin(bytes.size(), size_)));
}

void SharedMemory::remove(const QString& name) {
    ::unlink(systemName(name).constData());
}

bool SharedMemory::exists(const QString& name) {
    const int fd = openFile(systemName(name), O_RDONLY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace platform
