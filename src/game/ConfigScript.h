#pragma once

#include "game/VideoSettings.h"
#include "model/BenchmarkSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The benchmark's own configuration script and the game values written with it.

// The six lines every script starts with (the "Maximum quality" detail level, the only one).
QStringList ScriptTemplate();
// The template followed by the benchmark's eighteen lines: the whole script, 24 lines.
QStringList ConfigScriptLines();
// The file as written: ASCII, every line (the last one too) ended by CR LF.
QByteArray ConfigScriptBytes();

// True when the file exists and holds exactly the program's script. Only such a file is ever
// deleted or replaced by the program; anything else in its place belongs to the user.
bool IsProgramScript(const QString& path);

// The twelve game values of a series, in the order they are written (eleven when the HDR
// box holds no choice).
GameValueWrites GameSettingsWrites(const BenchmarkSettings& settings);

// Writes the game values into the user's game settings key; a missing key writes nothing.
// A failed write raises RegistryError.
void WriteGameSettings(const BenchmarkSettings& settings, const QString& userSid,
                       const QString& registryDirectory);

// Writes cfgFolder + "autoexec.cfg" through a temporary file that replaces it in one step.
// Refuses (AppError) to replace a file that is not the program's script: that is the user's,
// which should have been parked, and would otherwise be lost. A failed write (a full disk
// included) raises AppError "Cannot create file ..." and leaves no script behind.
void WriteConfigScript(const QString& cfgFolder);
