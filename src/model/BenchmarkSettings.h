#pragma once

#include <QString>
#include <array>
#include <optional>

enum class DemoKind { Shipped = 0, Custom = 1 };

constexpr int FixedSlotCount = 9;
constexpr int CustomSlotIndex = 9;
constexpr int NoteMaxLength = 50;

// Every option of one benchmark series, as the main window's controls edit it. An empty
// optional is a box that holds no chosen item.
struct BenchmarkSettings {
    std::array<bool, FixedSlotCount> ResolutionChecked{};
    bool CustomChecked = false;
    QString CustomWidth;
    QString CustomHeight;
    int DetailLevel = 0;
    std::optional<int> FilteringMode;    // 0..6
    std::optional<int> AntialiasingMode; // 0..7
    std::optional<int> HdrMode;          // 0..2
    std::optional<int> HeapSize;         // 0..4
    std::optional<int> RefreshRate;      // 0..3
    bool FastZ = false;
    bool ColorCorrection = false;
    int RunCount = 0; // 1..5 once chosen; 0 while the run count box holds no choice
    std::optional<DemoKind> Demo;
    QString CustomDemoPath;
    QString Note;
    QString ResultsFolder; // absolute, ends with "/"
};

// The run count a series uses: the chosen count, or 1 when none was ever chosen, so that a
// series always ends.
int SeriesRunCount(int runCount);

// A folder chosen by the user, as the program holds it: with a trailing "/" unless it
// already ends with one (the root "/").
QString ResultsFolderFromChosen(const QString& chosenPath);

// The default results folder below the program's own folder (which ends with "/").
QString DefaultResultsFolder(const QString& programFolder);
