#pragma once

#include "platform/FileCalls.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The one way a file is put on the disk so that a full disk is never taken for a whole file:
// every write, the sync, a check of the size and the close go through a FileCalls, and a file
// that replaces another takes its name only after all of them succeeded. Callers word the
// failure their own way from the step and the system's error number.
namespace platform {

enum class WriteStep {
    Create, // the new file (or the temporary one beside it) could not be made
    Mode,   // its permission bits could not be set, or the old file is read-only
    Write,
    Sync,  // the sync failed, or the file on disk is not as long as what was written
    Close, // a late write error, reported as the file was closed
    Rename,
    Folder, // the folder could not be synced; the new file has its name already
};

struct WriteFailure {
    WriteStep step;
    int err;
};

// An open file whose writes are counted and checked.
class CheckedStream {
public:
    explicit CheckedStream(const FileCalls& calls = systemFileCalls()) : calls_(&calls) {}
    ~CheckedStream(); // an open file is closed without checks
    CheckedStream(const CheckedStream&) = delete;
    CheckedStream& operator=(const CheckedStream&) = delete;

    // Takes over an open descriptor, with nothing written yet.
    void attach(int fd);
    int fd() const { return fd_; }
    // All `size` bytes or the error number.
    int write(const char* data, qsizetype size);
    // Syncs, checks that the file holds exactly what was written, closes.
    std::optional<WriteFailure> finish();
    // Closes without checks, for a file that is given up.
    void abandon();

private:
    const FileCalls* calls_;
    int fd_ = -1;
    qint64 written_ = 0;
};

struct ReplaceOptions {
    // Permission bits the new file gets whatever the creation mask says.
    std::optional<unsigned> mode;
    // Take the bits of the regular file now at the path, and refuse to replace one without
    // any write permission: the rename would do, also for root, what writing it would not.
    bool likeExisting = false;
    // The bits the new file is created with, before the creation mask.
    unsigned createMode = 0666;
    // A fixed name for the new file beside the path, for a writer that holds a lock: whatever
    // is under it is removed first, never followed. Empty: a fresh name nobody else has.
    QString temporary;
};

// Where the new file lies, so that a caller can tell it from a file put there later.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
};

// Puts `bytes` at `path` whole or not at all: a new file in the same folder (created with
// O_EXCL and O_NOFOLLOW) is written, synced, measured and closed, and only then renamed to
// `path`; the folder is synced after. On any failure before the rename the new file is
// removed and `path` is left as it was.
std::optional<WriteFailure> ReplaceFile(const QString& path, const QByteArray& bytes,
                                        const ReplaceOptions& options,
                                        const FileCalls& calls = systemFileCalls(),
                                        FileIdentity* written = nullptr);

// What a replacing file is filled with: written through the stream; a failure gives it up.
using FileFiller = std::function<std::optional<WriteFailure>(CheckedStream&)>;

// ReplaceFile with the contents written by `fillWith` (a copy streamed from another file).
std::optional<WriteFailure> ReplaceFileWith(const QString& path, const FileFiller& fillWith,
                                            const ReplaceOptions& options,
                                            const FileCalls& calls = systemFileCalls(),
                                            FileIdentity* written = nullptr);

} // namespace platform
