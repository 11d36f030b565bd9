#pragma once

#include <QString>

// Where the program keeps what it writes into its own folder (the default results folder
// "Benchmark/" and the diagnostics report): the program folder itself when the user may write
// there and no package owns it, as on a program folder of the user's own; else the user's data
// folder "$XDG_DATA_HOME/varnholt/".

// The file a package puts into the program folder it owns: updates then come from the package
// manager and the folder is never written.
inline constexpr char PackageMarkerFile[] = "package-managed";

struct ProgramFolderFacts {
    bool packaged = false; // the package's marker lies in the program folder
    bool writable = true;  // the user may write into the program folder
    QString xdgDataHome;   // $XDG_DATA_HOME as set, possibly empty
    QString home;          // the user's home folder
};

// "$XDG_DATA_HOME/varnholt/", or "<home>/.local/share/varnholt/" when the variable is unset,
// empty or not an absolute path (as the XDG base directory rules say).
QString UserDataFolder(const QString& xdgDataHome, const QString& home);

// The folder by the rule above; `programFolder` ends with "/", so does the result.
QString WritableFolderByRule(const QString& programFolder, const ProgramFolderFacts& facts);

// The facts of this machine and user for the program folder.
ProgramFolderFacts ProgramFolderFactsOf(const QString& programFolder);

// WritableFolderByRule over this machine's facts.
QString WritableFolder(const QString& programFolder);

// Whether a package owns the program folder.
bool ProgramIsPackaged(const QString& programFolder);
