#pragma once

#include <QString>

// The game's result file in its episodic folder. The system's game writes "sourcebench.csv";
// today's engine writes the name in a letter case that is not confirmed on Linux, where the
// case matters, so every variant counts.

// Whether a file name is the result file's, letter case ignored.
bool IsResultFileName(const QString& name);

// The result file there is: "sourcebench.csv" itself when present, else the first other variant
// in name order; empty when there is none.
QString FindResultFile(const QString& episodicFolder);

// Deletes every variant there is.
void RemoveResultFiles(const QString& episodicFolder);
