#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// How one command text becomes a program and its argument vector, following the rules the
// program's callers were written against: the program is the shortest blank-separated prefix
// that names an executable file (a leading quoted token is taken whole), the rest is split by
// the C runtime's argument rules. Pure: file tests are injected.

struct CommandParts {
    QString program;       // the file to start; relative paths are relative to the caller
    QStringList argv;      // argv[0] is the program as written in the command text
    bool resolved = false; // false: nothing qualified and `program` is the first token as is
};

// Splits `text` into arguments: blanks (space, tab) separate; "..." groups; 2n backslashes
// before a quote give n backslashes and the quote toggles grouping; 2n+1 give n and a literal
// quote; other backslashes are literal; "" inside a group is a literal quote.
QStringList splitArguments(const QString& text);

// With an application name, that is the program (no search) and the whole command line is the
// argument vector (just the name when the command line is empty); a command line that begins
// with the name, followed by a blank or nothing, has the name whole as argv[0]. Without one, the
// program is taken from the start of `commandLine`: a name with "/" is tested as it stands, a bare
// name in each of `searchFolders` in order.
CommandParts splitCommand(const QString& applicationName, const QString& commandLine,
                          const QStringList& searchFolders,
                          const std::function<bool(const QString&)>& isExecutable);
