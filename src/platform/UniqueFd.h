#pragma once

#include <QtGlobal>

#include <cerrno>
#include <unistd.h>

// Owns one file descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a late write error (reported by close) can be seen.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }
    // Gives the descriptor up to the caller, who closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Writes all `size` bytes to `fd`, going on after interruptions: 0 when they all went out,
// else the errno of the failure (EIO for a write that took nothing).
inline int writeAllBytes(int fd, const char* data, qsizetype size) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}
