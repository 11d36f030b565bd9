#include "game/SeriesPreparation.h"

#include "game/ConfigScript.h"
#include "game/MangoHudConfig.h"
#include "game/VideoSettings.h"

SeriesPreparation::SeriesPreparation(SettingsStore& store, Dialogs& dialogs, FileOperation& fileOp,
                                     Timings timings)
    : store_(store), fileOp_(fileOp), backup_(fileOp, dialogs, timings) {}

void SeriesPreparation::CheckLeftoverConfig(const GamePaths& paths) {
    paths_ = paths;
    backup_.CheckLeftoverConfig(paths_, store_);
    // MangoHud's configuration left by a series that never ended: the user's files come back.
    MangoHudConfigKeeper(DefaultMangoHudConfigFolder()).Restore();
}

std::optional<QString> SeriesPreparation::CheckDemo(const BenchmarkSettings& settings) {
    // Without a choice the series plays the demo of the last one; with none before, the game
    // would be started with no demo at all and every run would end without a result.
    if (!settings.Demo && demo_.DemoName.isEmpty())
        return QString::fromUtf8(NoDemoChosenMessage);
    return ::CheckDemo(settings, paths_);
}

void SeriesPreparation::BackupAutoexec() {
    backup_.BackupAutoexec(paths_.CfgFolder);
}

void SeriesPreparation::InstallDemo(const BenchmarkSettings& settings) {
    ::InstallDemo(paths_, settings, fileOp_, demo_);
}

void SeriesPreparation::ApplyFilterSettings(const BenchmarkSettings& settings) {
    ::ApplyFilterSettings(settings, paths_.UserSid, store_.registryDirectory());
}

void SeriesPreparation::WriteGameSettings(const BenchmarkSettings& settings) {
    ::WriteGameSettings(settings, paths_.UserSid, store_.registryDirectory());
}

void SeriesPreparation::WriteConfigScript() {
    ::WriteConfigScript(paths_.CfgFolder);
}

void SeriesPreparation::RestoreGameConfig(bool seriesFinished, std::function<void()> done) {
    backup_.RestoreGameConfig(paths_.CfgFolder, seriesFinished, std::move(done));
}
