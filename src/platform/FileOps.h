#pragma once

#include <QString>
#include <optional>

// Whole-file copy, rename and removal with the system's reason when they fail.
namespace platform {

struct FileError {
    QString path;             // the file or folder the failure concerns
    QString reason;           // the system's text for the failure
    bool crossDevice = false; // a rename between two file systems, which copying can replace
};

// Copies `from` onto `to`, replacing `to`: the bytes go to a temporary file beside `to` that is
// renamed over it once complete, so `to` is always either its old self or the whole copy.
// The copy gets the source's permission bits. The destination's folder must exist.
std::optional<FileError> CopyFileReplacing(const QString& from, const QString& to);

// Renames `from` to `to`, replacing an existing `to` in one step.
std::optional<FileError> RenameReplacing(const QString& from, const QString& to);

std::optional<FileError> RemoveFile(const QString& path);

// Creates the folder and every missing folder above it.
std::optional<FileError> MakeFolders(const QString& folder);

} // namespace platform
