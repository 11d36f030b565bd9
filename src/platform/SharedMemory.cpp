#include "platform/SharedMemory.h"

#include "platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void raise(int code, const QString& what) {
    throw OsError(code, what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code)));
}

QByteArray systemName(const QString& name) {
    return "/" + name.toUtf8();
}

sem_t* semaphore(void* handle) {
    return static_cast<sem_t*>(handle);
}

} // namespace

NamedSemaphore::NamedSemaphore(const QString& name) {
    sem_t* sem = ::sem_open(systemName(name).constData(), O_CREAT, 0600, 1);
    if (sem == SEM_FAILED)
        raise(errno, QStringLiteral("Cannot open the lock ") + name);
    // The name is in a folder every user shares: a lock someone else made first is theirs.
    // (glibc keeps a named semaphore as the file "sem.NAME" of /dev/shm.)
    struct stat info {};
    const QByteArray file = "/dev/shm/sem." + systemName(name).mid(1);
    if (::stat(file.constData(), &info) == 0 && info.st_uid != ::geteuid()) {
        ::sem_close(sem);
        raise(EACCES,
              QStringLiteral("The lock ") + name + QStringLiteral(" belongs to another user"));
    }
    sem_ = sem;
}

NamedSemaphore::~NamedSemaphore() {
    ::sem_close(semaphore(sem_));
}

bool NamedSemaphore::acquire(int staleMs) {
    timespec deadline{};
    ::clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += staleMs / 1000;
    deadline.tv_nsec += long(staleMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        if (::sem_timedwait(semaphore(sem_), &deadline) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == ETIMEDOUT)
            return false; // taken over: our release() gives the lock back to the others
        raise(errno, QStringLiteral("Cannot take the lock"));
    }
}

void NamedSemaphore::release() {
    // A lock that was taken over may have been released by its late holder too: never let the
    // value climb above 1, or two processes could hold it together.
    int value = 0;
    if (::sem_getvalue(semaphore(sem_), &value) == 0 && value > 0)
        return;
    ::sem_post(semaphore(sem_));
}

void NamedSemaphore::remove(const QString& name) {
    ::sem_unlink(systemName(name).constData());
}

SharedMemory::SharedMemory(const QString& name, qsizetype size) : size_(size) {
    const QByteArray path = systemName(name);
    int fd = ::shm_open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        created_ = true;
    else if (errno == EEXIST)
        fd = ::shm_open(path.constData(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        raise(errno, QStringLiteral("Cannot open the shared memory ") + name);
    // A fresh block has no size yet; growing it fills it with zeros. A block left short (its
    // creator died before sizing it) is grown the same way, so reading it never faults.
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        raise(code, QStringLiteral("Cannot open the shared memory ") + name);
    }
    // A block someone else made under our name is not ours to read or write.
    if (info.st_uid != ::geteuid()) {
        ::close(fd);
        raise(EACCES, QStringLiteral("The shared memory ") + name +
                          QStringLiteral(" belongs to another user"));
    }
    if (info.st_size < size && ::ftruncate(fd, size) != 0) {
        const int code = errno;
        ::close(fd);
        raise(code, QStringLiteral("Cannot size the shared memory ") + name);
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
    ::shm_unlink(systemName(name).constData());
}

bool SharedMemory::exists(const QString& name) {
    const int fd = ::shm_open(systemName(name).constData(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace platform
