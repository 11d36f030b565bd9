#include "platform/FileCalls.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int FileCalls::write(int fd, const char* data, qsizetype size) const {
    return writeAllBytes(fd, data, size);
}

int FileCalls::sync(int fd) const {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int FileCalls::size(int fd, qint64& bytes) const {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno;
    bytes = st.st_size;
    return 0;
}

int FileCalls::close(int fd) const {
    return ::close(fd) == 0 ? 0 : errno;
}

int FileCalls::rename(const char* from, const char* to) const {
    return ::rename(from, to) == 0 ? 0 : errno;
}

const FileCalls& systemFileCalls() {
    static const FileCalls calls;
    return calls;
}

} // namespace platform
