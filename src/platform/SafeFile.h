#pragma once

#include <QByteArray>
#include <QString>

#include "platform/CheckedWrite.h"

namespace platform {

// Puts `bytes` at `path` whole or not at all: they go to a new file beside it, every write,
// the sync and the close are checked, and only then does it take the name (an existing file
// keeps its mode; one without any write permission is not replaced). On any failure the new
// file is removed, `path` is left as it was, and AppError is raised with the text
// "Cannot create file "<full path>". <reason>".
//
// QSaveFile is not used: on a full tmpfs its commit() was seen to succeed with the data lost.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);

// The same with the contents written in pieces by `fillWith`, for a file too large to be held
// whole in memory first.
void WriteFileAtomically(const QString& path, const FileFiller& fillWith);

class FileCalls;
// The same with the steps that write, sync, measure, close and rename the new file given.
void WriteFileAtomically(const QString& path, const QByteArray& bytes, const FileCalls& calls);

} // namespace platform
