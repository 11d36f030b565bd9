#pragma once

#include <csignal>
#include <sys/resource.h>

// While the object lives no file this process writes may grow past `bytes`: a write beyond
// fails with EFBIG ("File too large") as a write to a full disk fails, for any user, root
// included, and without a file system of its own. ready() is false where the limit cannot be
// set (a hard limit below it).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // The signal would end the process; ignored, the write fails instead.
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        if (::getrlimit(RLIMIT_FSIZE, &old_) != 0)
            return;
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (set_)
            ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ready() const { return set_; }

private:
    rlimit old_{};
    bool set_ = false;
    void (*oldHandler_)(int) = SIG_DFL;
};
