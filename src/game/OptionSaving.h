#pragma once

#include "game/SettingsStore.h"
#include "model/BenchmarkSettings.h"

#include <QString>
#include <array>
#include <optional>

// The save triggers of the option controls, one per control and moment. Guarded writers do
// nothing while the program key is missing; the others raise the store's error then. A box
// or group with no item chosen writes nothing.
class OptionSaving {
public:
    explicit OptionSaving(SettingsStore& store) : store_(store) {}

    // The pointer leaves the resolution group: all nine values, disabled items included.
    void ResolutionGroupLeft(const std::array<bool, FixedSlotCount>& ticked);
    void CustomResolutionBoxLeft(bool ticked, const QString& width, const QString& height);
    void DemoGroupLeft(std::optional<DemoKind> chosen);
    void CustomDemoChosen(const QString& path);
    void FilteringChanged(std::optional<int> index);
    void AntialiasingChanged(std::optional<int> index);
    // Selection change of the run count box, and the press of "Run benchmark" while Steam
    // runs: returns the run count now in force (unchanged when nothing was written).
    int RunNumberSaved(std::optional<int> index, int runCount);
    void NoteChanged(const QString& text);
    void HeapSizeChanged(std::optional<int> index);
    void HeapSizeBoxLeft(std::optional<int> index);
    void RefreshChanged(std::optional<int> index);
    void RefreshBoxLeft(std::optional<int> index);
    void HdrChanged(std::optional<int> index);
    void HdrBoxLeft(std::optional<int> index);
    void FastZBoxLeft(bool ticked);
    void ColorCorrectionBoxLeft(bool ticked);
    // Focus leaves the results folder edit.
    void ResultsEditLeft(const QString& text);
    // A folder was chosen in the "Results folder" dialog; returns the folder as now held.
    QString ResultsFolderChosen(const QString& chosenPath);
    // The mode picker took a size.
    void CustomSizeTaken(const QString& width, const QString& height);
    // Closing through the system: the note, and the diagnostics cache emptied.
    void WindowClosing(const QString& note);

private:
    SettingsStore& store_;
};
