#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Named objects that the processes of one user share: a lock and a block of memory. Names
// are given without the leading "/" and must not contain "/"; see FitObjectName() for the
// length. Every failed system call raises OsError.
namespace platform {

// A named counting semaphore used as a lock between processes. Created with the value 1 by
// the first process that opens it; it is never removed, so every process always meets the same
// one (a removed and re-created lock could be held twice at once).
class NamedSemaphore {
public:
    explicit NamedSemaphore(const QString& name);
    ~NamedSemaphore();
    NamedSemaphore(const NamedSemaphore&) = delete;
    NamedSemaphore& operator=(const NamedSemaphore&) = delete;

    // Waits for the lock. A holder that died inside its short critical section would keep
    // everyone out for good, so after `staleMs` the lock is taken over. Returns false then.
    bool acquire(int staleMs);
    void release();

    // Removes the name; only for names that no process will use again (tests' own).
    static void remove(const QString& name);

private:
    void* sem_; // sem_t*
};

// Holds a NamedSemaphore for one scope.
class SemaphoreLocker {
public:
    SemaphoreLocker(NamedSemaphore& lock, int staleMs) : lock_(lock) { lock_.acquire(staleMs); }
    ~SemaphoreLocker() { lock_.release(); }
    SemaphoreLocker(const SemaphoreLocker&) = delete;
    SemaphoreLocker& operator=(const SemaphoreLocker&) = delete;

private:
    NamedSemaphore& lock_;
};

// A named block of shared memory of a fixed size. Open and create it only under the lock that
// guards it: the creator sizes it (zero-filled) before anyone else may look at it.
class SharedMemory {
public:
    SharedMemory(const QString& name, qsizetype size);
    ~SharedMemory();
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    bool created() const { return created_; }
    QByteArray read() const;
    // Writes bytes at the start of the block; at most its size.
    void write(const QByteArray& bytes);

    // Removes the name: processes that have the block keep it, the next opener makes a new
    // one. Call under the lock.
    static void remove(const QString& name);
    // Whether a block of that name exists.
    static bool exists(const QString& name);

private:
    void* data_ = nullptr;
    qsizetype size_;
    bool created_ = false;
};

} // namespace platform
