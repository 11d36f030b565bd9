#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Folder listing for tree walks: one read of a folder gives every entry with its kind, names
// kept as the raw bytes the file system holds.
namespace platform {

// Identity of a folder on this machine; two paths that reach the same folder give the same id.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

struct FolderIdHash {
    std::size_t operator()(const FolderId& id) const noexcept {
        return static_cast<std::size_t>(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// What an entry is once symbolic links are followed. Special covers pipes, sockets and
// devices; Dangling is a link whose target is missing (or an entry that vanished meanwhile).
enum class EntryKind : std::uint8_t { File, Folder, Special, Dangling };

struct ListedEntry {
    std::uint32_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    EntryKind kind = EntryKind::File;
    bool symLink = false;
};

// The entries of one folder in the order the file system gives them, "." and ".." left out.
// Reused from folder to folder so that a walk allocates next to nothing.
class FolderListing {
public:
    const std::vector<ListedEntry>& entries() const { return entries_; }
    std::string_view name(const ListedEntry& entry) const {
        return {buffer_.data() + entry.nameOffset, entry.nameLength};
    }
    // The same name, NUL-terminated.
    const char* cName(const ListedEntry& entry) const { return buffer_.data() + entry.nameOffset; }

private:
    friend class OpenFolder;
    std::vector<char> buffer_;
    std::vector<ListedEntry> entries_;
};

// An open folder (symbolic links followed). Move-only; closes itself.
class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(OpenFolder&& other) noexcept;
    OpenFolder& operator=(OpenFolder&& other) noexcept;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // False when the path is missing, not a folder or not readable.
    bool open(const std::string& path);
    // Opens the entry `name` of an open folder, without resolving the parent's path again.
    bool openChild(const OpenFolder& parent, const char* name);
    bool isOpen() const { return fd_ >= 0; }
    FolderId id() const { return id_; }

    // Reads all entries; false when the folder cannot be read (the listing is then empty).
    bool list(FolderListing& out);
    void close();

private:
    bool adopt(int fd);

    int fd_ = -1;
    FolderId id_;
    bool listed_ = false;
};

} // namespace platform
