#include "platform/DirectoryListing.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr int OpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
// Room left free for each read; a folder's records stay where the kernel wrote them.
constexpr std::size_t ReadChunk = 32 * 1024;

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

EntryKind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISREG(mode))
        return EntryKind::File;
    return EntryKind::Special;
}

// Kinds the listing cannot tell on its own need a stat, following links.
void resolveKind(int dirFd, const char* name, unsigned char type, ListedEntry& entry) {
    struct stat st;
    if (type == DT_UNKNOWN) {
        if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            entry.kind = EntryKind::Dangling;
            return;
        }
        if (!S_ISLNK(st.st_mode)) {
            entry.kind = kindOfMode(st.st_mode);
            return;
        }
    }
    entry.symLink = true;
    entry.kind = fstatat(dirFd, name, &st, 0) == 0 ? kindOfMode(st.st_mode) : EntryKind::Dangling;
}

} // namespace

OpenFolder::~OpenFolder() {
    close();
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), id_(other.id_), listed_(other.listed_) {}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        id_ = other.id_;
        listed_ = other.listed_;
    }
    return *this;
}

bool OpenFolder::adopt(int fd) {
    close();
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    listed_ = false;
    id_ = FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

bool OpenFolder::open(const std::string& path) {
    return adopt(::open(path.c_str(), OpenFlags));
}

bool OpenFolder::openChild(const OpenFolder& parent, const char* name) {
    if (!parent.isOpen()) {
        close();
        return false;
    }
    return adopt(::openat(parent.fd_, name, OpenFlags));
}

void OpenFolder::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool OpenFolder::list(FolderListing& out) {
    out.entries_.clear();
    if (fd_ < 0)
        return false;
    // A second listing starts from the top again; the first one saves the seek.
    if (listed_ && lseek(fd_, 0, SEEK_SET) != 0)
        return false;
    listed_ = true;

    std::vector<char>& buffer = out.buffer_;
    std::size_t used = 0;
    for (;;) {
        if (buffer.size() - used < ReadChunk)
            buffer.resize(used + 2 * ReadChunk);
        const ssize_t got = getdents64(fd_, buffer.data() + used, buffer.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            out.entries_.clear();
            return false;
        }
        if (got == 0)
            break;
        const std::size_t end = used + static_cast<std::size_t>(got);
        while (used < end) {
            const auto* record = reinterpret_cast<const struct dirent64*>(buffer.data() + used);
            const char* name = record->d_name;
            if (!isDotOrDotDot(name)) {
                ListedEntry entry;
                entry.nameOffset = static_cast<std::uint32_t>(name - buffer.data());
                entry.nameLength = static_cast<std::uint32_t>(std::strlen(name));
                switch (record->d_type) {
                case DT_DIR:
                    entry.kind = EntryKind::Folder;
                    break;
                case DT_REG:
                    entry.kind = EntryKind::File;
                    break;
                case DT_LNK:
                case DT_UNKNOWN:
                    resolveKind(fd_, name, record->d_type, entry);
                    break;
                default:
                    entry.kind = EntryKind::Special;
                    break;
                }
                out.entries_.push_back(entry);
            }
            used += record->d_reclen;
        }
    }
    return true;
}

} // namespace platform
