#include "platform/SafeFile.h"

#include "platform/CheckedFile.h"
#include "platform/CheckedWrite.h"
#include "platform/Errors.h"
#include "platform/FileCalls.h"

namespace platform {

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    WriteFileAtomically(path, bytes, systemFileCalls());
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes, const FileCalls& calls) {
    ReplaceOptions options;
    options.likeExisting = true;
    const std::optional<WriteFailure> failure = ReplaceFile(path, bytes, options, calls);
    // A folder that could not be synced holds the new file already: nothing to undo.
    if (failure && failure->step != WriteStep::Folder)
        throw AppError(CannotCreateFileText(path, failure->err));
}

void WriteFileAtomically(const QString& path, const FileFiller& fillWith) {
    ReplaceOptions options;
    options.likeExisting = true;
    const std::optional<WriteFailure> failure = ReplaceFileWith(path, fillWith, options);
    if (failure && failure->step != WriteStep::Folder)
        throw AppError(CannotCreateFileText(path, failure->err));
}

} // namespace platform
