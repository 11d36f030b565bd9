#pragma once

#include <QByteArray>
#include <QString>

// The one reader of files the program does not write itself (Steam's lists, the game's
// results, data files in the results folder, reports of outside tools): a planted FIFO,
// device or link must neither hold the program nor feed it without end.
namespace platform {

struct OutsideFile {
    enum class Outcome {
        Read,       // `bytes` holds the whole file
        Missing,    // nothing (or no folder) under the name
        NotRegular, // a link, a FIFO, a device, a folder: never read
        TooLarge,   // more than the limit; nothing is kept
        Failed,     // it could not be opened or read (`reason`)
    };
    Outcome outcome = Outcome::Missing;
    QByteArray bytes;
    QString reason; // the why for everything but Read, for the user

    bool ok() const { return outcome == Outcome::Read; }
};

enum class OutsideRead {
    WholeOrNothing, // a file longer than the limit is TooLarge
    FirstBytes,     // a file longer than the limit gives its first `maxBytes` bytes
};

// Reads `path` when it is a regular file reached without a link at its last name, opened
// without waiting (so a FIFO or a file that has nothing to give, such as /proc/kmsg, is an
// error at once) and at most `maxBytes` long; never more than `maxBytes` + 1 bytes are read.
OutsideFile ReadOutsideFile(const QString& path, qint64 maxBytes,
                            OutsideRead how = OutsideRead::WholeOrNothing);

// The same for a name that may rightly be a link (a system file such as /etc/os-release, a
// file the user names): the link is followed, the rest holds.
OutsideFile ReadSystemFile(const QString& path, qint64 maxBytes,
                           OutsideRead how = OutsideRead::WholeOrNothing);

// The same for a file of the user's that may be reached through the user's own link (Steam's
// lists kept on another disk): a link is followed only to a regular file the user owns, never
// into /proc; a FIFO or a device stays refused, link or not.
OutsideFile ReadUsersFile(const QString& path, qint64 maxBytes);

// An open descriptor of `path` for reading in pieces (a "file" URL's source), when it is a
// regular file; opened without waiting, links followed. -1 otherwise, with `why` set.
int OpenRegularFile(const QString& path, QString* why = nullptr);

} // namespace platform
