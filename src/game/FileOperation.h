#pragma once

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>

// Every whole-file copy and move of the program goes through this component: one source, one
// destination, run, then Clear(). Existing destinations are replaced and missing destination
// folders created without asking; a failure is shown to the user and the caller goes on.

class FileOperation {
public:
    enum class Kind { Copy, Delete, Move };

    explicit FileOperation(Dialogs& dialogs);

    QStringList SourceFiles;
    // Paired with SourceFiles by position. A destination that is an existing folder, or a single
    // destination for several sources (or a wildcard source), receives the files under their
    // own names.
    QStringList Destinations;
    Kind Operation = Kind::Copy;

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
