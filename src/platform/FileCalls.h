#pragma once

#include <QtGlobal>

namespace platform {

// The steps that put a new file's bytes on the disk, as a checked write takes them. Each
// returns 0 or the error number. Passed in rather than called directly, so that a test can
// make one of them fail (a sync that reports a lost write) where the system would not.
class FileCalls {
public:
    virtual ~FileCalls() = default;
    // All `size` bytes, going on after interruptions.
    virtual int write(int fd, const char* data, qsizetype size) const;
    virtual int sync(int fd) const;
    // The size of the file as the system has it now.
    virtual int size(int fd, qint64& bytes) const;
    // Closes `fd` in any case.
    virtual int close(int fd) const;
    virtual int rename(const char* from, const char* to) const;
};

// The system's own calls.
const FileCalls& systemFileCalls();

} // namespace platform
