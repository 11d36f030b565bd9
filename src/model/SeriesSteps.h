#pragma once

#include "model/BenchmarkSettings.h"
#include "model/SystemFacts.h"

#include <QString>
#include <functional>
#include <optional>

// The game preparation of a series and its undoing, in the order the series calls them.
class GamePreparation {
public:
    virtual ~GamePreparation() = default;
    // A reason the chosen demo cannot be played, checked before anything is touched on disk.
    virtual std::optional<QString> CheckDemo(const BenchmarkSettings& settings) = 0;
    // Parks the user's own configuration script.
    virtual void BackupAutoexec() = 0;
    // Installs the chosen demo; DemoName and DemoCaption keep their values when no demo is
    // chosen.
    virtual void InstallDemo(const BenchmarkSettings& settings) = 0;
    virtual QString DemoName() const = 0;
    virtual QString DemoCaption() const = 0;
    virtual void ApplyFilterSettings(const BenchmarkSettings& settings) = 0;
    virtual void WriteGameSettings(const BenchmarkSettings& settings) = 0;
    virtual void WriteConfigScript() = 0;
    // Puts the user's script back; does nothing once the series has finished. `done` runs
    // when the restore is complete (it may wait a moment between its steps).
    virtual void RestoreGameConfig(bool seriesFinished, std::function<void()> done) = 0;
};

// Where the facts of the report come from.
class SystemFactsSource {
public:
    virtual ~SystemFactsSource() = default;
    // Fills the diagnostics facts (from the cache or a run of the diagnostics tool) and then
    // calls `prepareSeries` exactly once, at once or later from the event loop.
    virtual void DiagnosticsCapture(SystemFacts& facts, std::function<void()> prepareSeries) = 0;
    // Fills the processor, memory and operating system facts and runs the adapter probes,
    // just before the report head is written.
    virtual void ReportFacts(SystemFacts& facts) = 0;
};
