#include "game/VideoSettings.h"

#include "game/GameDiscovery.h"
#include "platform/Registry.h"

#include <array>

namespace {

struct FilteringRow {
    qint32 forceAniso;
    qint32 trilinear;
};

// By item of the filtering box; "From System" (6) has no row.
constexpr std::array<FilteringRow, 6> kFiltering{{
    {1, 0},  // Bilinear
    {1, 1},  // Trilinear
    {2, 0},  // Anisotropic 2x
    {4, 0},  // Anisotropic 4x
    {8, 0},  // Anisotropic 8x
    {16, 0}, // Anisotropic 16x
}};

struct AntialiasingRow {
    qint32 quality; // mat_aaquality and ScreenMSAAQuality
    qint32 samples; // mat_antialias and ScreenMSAA; "None" is one sample, not zero
};

// By item of the antialiasing box; "From System" (7) has no row.
constexpr std::array<AntialiasingRow, 7> kAntialiasing{{
    {0, 1}, // None
    {0, 2}, // 2x MSAA
    {0, 4}, // 4x MSAA
    {2, 4}, // 8x CSAA
    {4, 4}, // 16x CSAA
    {0, 8}, // 8x MSAA
    {2, 8}, // 16xQ CSAA
}};

template <typename Table> bool hasRow(const Table& table, std::optional<int> index) {
    return index && *index >= 0 && size_t(*index) < table.size();
}

} // namespace

GameValueWrites FilteringWrites(std::optional<int> filteringMode) {
    if (!hasRow(kFiltering, filteringMode))
        return {};
    const FilteringRow& row = kFiltering[size_t(*filteringMode)];
    return {{QStringLiteral("mat_forceaniso"), row.forceAniso},
            {QStringLiteral("mat_trilinear"), row.trilinear}};
}

GameValueWrites AntialiasingWrites(std::optional<int> antialiasingMode) {
    if (!hasRow(kAntialiasing, antialiasingMode))
        return {};
    const AntialiasingRow& row = kAntialiasing[size_t(*antialiasingMode)];
    return {{QStringLiteral("mat_aaquality"), row.quality},
            {QStringLiteral("mat_antialias"), row.samples},
            {QStringLiteral("ScreenMSAA"), row.samples},
            {QStringLiteral("ScreenMSAAQuality"), row.quality}};
}

GameValueWrites FilterSettingsWrites(const BenchmarkSettings& settings) {
    GameValueWrites writes = FilteringWrites(settings.FilteringMode);
    const GameValueWrites aa = AntialiasingWrites(settings.AntialiasingMode);
    writes.insert(writes.end(), aa.begin(), aa.end());
    return writes;
}

bool WriteGameValues(const QString& userSid, const GameValueWrites& writes,
                     const QString& registryDirectory) {
    Registry registry(RegRoot::Users, registryDirectory);
    // An empty identifier makes a path with an empty part, which never opens.
    if (userSid.isEmpty() || !registry.openKey(GameSettingsKey(userSid), false))
        return false;
    for (const auto& [name, value] : writes)
        registry.writeInteger(name, value);
    return true;
}

void ApplyFilterSettings(const BenchmarkSettings& settings, const QString& userSid,
                         const QString& registryDirectory) {
    WriteGameValues(userSid, FilterSettingsWrites(settings), registryDirectory);
}
