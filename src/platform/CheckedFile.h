#pragma once

#include "platform/CheckedWrite.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Files whose every write, sync and close is checked, so that a full disk is never taken for a
// whole file. Failures are told as "Cannot create file "<path>". <the system's reason>".
namespace platform {

// "Cannot create file "<absolute path>". <the system's text for err>".
QString CannotCreateFileText(const QString& path, int err);

// A file written piece by piece as it arrives (a download).
class StreamFile {
public:
    // The steps of writing, syncing, measuring and closing go through `calls`.
    explicit StreamFile(const FileCalls& calls = systemFileCalls()) : stream_(calls) {}
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // Creates `path` anew for reading and writing: an existing file is emptied; a link at
    // `path` is not followed (the creation fails instead).
    bool Create(const QString& path);
    // Writes all of `size` bytes or fails.
    bool Write(const char* data, qsizetype size);
    // Syncs and closes the file, then checks that it holds exactly what was written.
    bool Finish();
    // Closes without checks, for an output that is given up.
    void Close();

    // Why the last call failed.
    const QString& ErrorText() const { return error_; }

private:
    bool Fail(int err);

    CheckedStream stream_;
    QString path_;
    QString error_;
};

// Puts a new file at `path` holding `bytes`, with permission bits `mode`: whatever is at `path`
// (a file, a link) is removed first, and the file is written beside it (created with O_EXCL
// and O_NOFOLLOW, so that nothing planted there is written through) and given the name when
// it is whole. On failure nothing is left at `path`. Nothing on success, else the error text.
std::optional<QString> WriteNewFile(const QString& path, const QByteArray& bytes, unsigned mode);

// The content of `path` when it is a regular file owned by this user that has no other name,
// not reached through a link, and at most `maxBytes` long. Otherwise nothing, and `why` (when
// given) says what was wrong.
std::optional<QByteArray> ReadOwnFile(const QString& path, qint64 maxBytes, QString* why = nullptr);

} // namespace platform
