#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Every whole-file copy and move of the program goes through this component: one source, one
// destination, run, then Clear(). Existing destinations are replaced and missing destination
// folders created without asking; a failure is shown to the user and the caller goes on.

enum TJvSHFileOpType { foCopy, foDelete, foMove, foRename };

// The shell's flag values, kept so the combination stays recognisable.
enum TJvSHFileOption : quint32 {
    fofNoConfirmation = 0x10, // replace an existing destination without asking
    fofFilesOnly = 0x80,      // a wildcard source matches files only
    fofSimpleProgress = 0x100,
    fofNoConfirmMkDir = 0x200, // create a missing destination folder without asking
};

class FileOperation {
public:
    explicit FileOperation(Dialogs& dialogs);

    QStringList SourceFiles;
    // Paired with SourceFiles by position. A destination that is an existing folder, or a single
    // destination for several sources (or a wildcard source), receives the files under their
    // own names.
    QStringList Destinations;
    TJvSHFileOpType Operation = foCopy;
    static constexpr quint32 Options =
        fofFilesOnly | fofNoConfirmation | fofNoConfirmMkDir | fofSimpleProgress;
    // Kept for the callers that set it; there is no progress window that would show it.
    QString Title;

    // Performs Operation on the two lists, which it leaves as they are. Raises AppError when
    // SourceFiles holds no text at all. Stops at the first failure, shows it to the user and
    // returns false; true when every file was handled.
    bool Run();

    // Empties both lists, as every caller does after a use.
    void Clear();

private:
    bool fail(const QString& action, const QString& message);

    Dialogs& dialogs_;
};

static_assert(FileOperation::Options == 0x390);
