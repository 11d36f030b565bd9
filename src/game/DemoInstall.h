#pragma once

#include "game/FileOperation.h"
#include "game/GamePaths.h"
#include "model/BenchmarkSettings.h"

#include <QString>
#include <optional>

// What the launch command and the report take from the installed demo. Both keep their
// values when no demo is chosen (empty before the first series).
struct InstalledDemo {
    QString DemoName;    // played after "+timedemoquit"
    QString DemoCaption; // the demo line of the report
};

// Why the chosen demo cannot be installed, as the status line shows it; nullopt when it can.
// Looked at before a series touches any file: the game folder must have been found, and a
// custom demo must be a chosen, existing regular file whose name ends in ".dem" (any case).
std::optional<QString> CheckDemo(const BenchmarkSettings& settings, const GamePaths& paths);

// Installs the chosen demo into the episodic folder: the shipped demo's last copy
// "rovdemo1.dem" is removed first whichever demo is chosen, then the chosen file is copied
// afresh, a custom demo as its name + ".dem" (the name the game looks for). A custom demo that
// already is that file in the episodic folder is played where it is and never removed. Raises
// AppError with CheckDemo's text, before touching anything, when the demo cannot be installed. A
// failed copy is shown to the user and the series goes on.
void InstallDemo(const GamePaths& paths, const BenchmarkSettings& settings, FileOperation& fileOp,
                 InstalledDemo& demo);
