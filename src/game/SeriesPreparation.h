#pragma once

#include "game/DemoInstall.h"
#include "game/FileOperation.h"
#include "game/GameConfigBackup.h"
#include "game/GamePaths.h"
#include "game/SettingsStore.h"
#include "model/SeriesSteps.h"
#include "model/Timings.h"
#include "platform/Dialogs.h"

// The game preparation of a series and its undoing, over the folders found at start-up, the
// program's registry store (whose folder also holds the game's settings), the dialogs and the
// file operation component of the window.
// The refusal of a series with no demo chosen and none played before.
inline constexpr char NoDemoChosenMessage[] =
    "Please choose a demo on the \"Filters & demos\" page.";

class SeriesPreparation : public GamePreparation {
public:
    SeriesPreparation(SettingsStore& store, Dialogs& dialogs, FileOperation& fileOp,
                      Timings timings = {});

    // The folders and the user's identifier; set once start-up has found them.
    void SetPaths(const GamePaths& paths) { paths_ = paths; }
    const GamePaths& Paths() const { return paths_; }

    // The start-up recovery, with the folders start-up has just found (which it keeps).
    void CheckLeftoverConfig(const GamePaths& paths);

    std::optional<QString> CheckDemo(const BenchmarkSettings& settings) override;
    void BackupAutoexec() override;
    void InstallDemo(const BenchmarkSettings& settings) override;
    QString DemoName() const override { return demo_.DemoName; }
    QString DemoCaption() const override { return demo_.DemoCaption; }
    void ApplyFilterSettings(const BenchmarkSettings& settings) override;
    void WriteGameSettings(const BenchmarkSettings& settings) override;
    void WriteConfigScript() override;
    // Destroyed during the wait, it puts the script back at once and drops `done`.
    void RestoreGameConfig(bool seriesFinished, std::function<void()> done) override;

private:
    SettingsStore& store_;
    FileOperation& fileOp_;
    GameConfigBackup backup_;
    GamePaths paths_;
    InstalledDemo demo_;
};
