#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Named objects that the processes of one user share: a lock and a block of memory, each a
// file (its full path), which belongs in a folder only the user may enter (GuardFolder());
// a link under the name is refused. Every failed system call raises OsError.
namespace platform {

// A named lock between processes: a record lock on a file of that name, which only
// this user may open (mode 0600; one made by another user under the name is refused). The
// system drops it when its holder ends, however it ends. The last user of the name may remove
// it while holding it: a waiter that then gets the removed one opens the name anew.
class NamedLock {
public:
    explicit NamedLock(const QString& name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // Waits for the lock. A holder that hangs inside its short critical section would keep
    // everyone out for good, so after `staleMs` the lock is taken over. Returns false then.
    bool acquire(int staleMs);
    void release();

    // Removes the name; call while holding the lock, when no process needs it any more.
    static void remove(const QString& name);
    // Whether a lock of that name exists.
    static bool exists(const QString& name);

private:
    void open();
    // Whether the name still leads to the object this handle has open.
    bool stillNamed() const;

    QString name_;
    int fd_ = -1;
};

// Holds a NamedLock for one scope.
class NamedLockHolder {
public:
    NamedLockHolder(NamedLock& lock, int staleMs) : lock_(lock) { lock_.acquire(staleMs); }
    ~NamedLockHolder() { lock_.release(); }
    NamedLockHolder(const NamedLockHolder&) = delete;
    NamedLockHolder& operator=(const NamedLockHolder&) = delete;

private:
    NamedLock& lock_;
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
