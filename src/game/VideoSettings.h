#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <utility>
#include <vector>

// The game's per-user video settings: 32-bit integers named after its console variables.
using GameValueWrite = std::pair<QString, qint32>;
using GameValueWrites = std::vector<GameValueWrite>;

// "mat_forceaniso" and "mat_trilinear" for a filtering item; nothing for "From System" or no
// choice.
GameValueWrites FilteringWrites(std::optional<int> filteringMode);
// "mat_aaquality", "mat_antialias", "ScreenMSAA", "ScreenMSAAQuality" for an antialiasing
// item; nothing for "From System" or no choice.
GameValueWrites AntialiasingWrites(std::optional<int> antialiasingMode);
// The filtering writes, then the antialiasing writes.
GameValueWrites FilterSettingsWrites(const BenchmarkSettings& settings);

// Writes the values in order into HKEY_USERS + GameSettingsKey(userSid), opened without
// creating it. Returns false, having written nothing, when the key does not exist (also for
// an empty identifier). A failed write raises RegistryError.
bool WriteGameValues(const QString& userSid, const GameValueWrites& writes,
                     const QString& registryDirectory);

void ApplyFilterSettings(const BenchmarkSettings& settings, const QString& userSid,
                         const QString& registryDirectory);
