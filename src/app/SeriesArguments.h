#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The command line of a series run without the window:
//   varnholt --run [--resolution WxH]... [--runs N] [--demo PATH] [--results DIR]
//            [--note TEXT] [--start-steam] [--frame-times]
//   varnholt --help | --version
// Pure rules: nothing here looks at files.

struct ScreenSizeArgument {
    int Width = 0;
    int Height = 0;
    bool operator==(const ScreenSizeArgument&) const = default;
};

struct SeriesArguments {
    enum class Action { Run, Help, Version };
    Action Do = Action::Run;
    std::vector<ScreenSizeArgument> Resolutions; // in the order given; empty: as stored
    std::optional<int> Runs;                     // 1..5
    QString Demo;                                // a demo file; empty: as stored
    QString Results;                             // a folder; empty: as stored
    std::optional<QString> Note;
    bool StartSteam = false;
    bool FrameTimes = false; // frame times through MangoHud for this series
};

struct ParsedArguments {
    std::optional<SeriesArguments> Arguments;
    QString Error; // set exactly when Arguments is empty
};

inline constexpr int MaxArguments = 256;
inline constexpr int MaxArgumentLength = 4096;
inline constexpr int MaxScreenSide = 16384;

// Whether the arguments are for the command line rather than the window: any argument other
// than the program's own "/..." switches (the "/afterupgrade" of a restart) is, so that an
// unknown or misspelt one is refused with the usage instead of opening the window.
bool IsCommandLineUse(const QStringList& arguments);

// The arguments after the program's name. Options may be written "--name value" or
// "--name=value"; "-h" is "--help".
ParsedArguments ParseSeriesArguments(const QStringList& arguments);

// "WxH" with a width and a height of 1 to MaxScreenSide; "x", "X" or "×" between them, and
// nothing before or after.
std::optional<ScreenSizeArgument> ParseScreenSize(const QString& text);

// The stored options with the arguments' in their place: the sizes given replace the stored
// ticks (a table size ticks its row, another size becomes the custom resolution), and the run
// count, demo, results folder and note replace theirs. `demoPath` and `resultsFolder` are the
// arguments' paths made absolute; empty ones leave the stored choice.
BenchmarkSettings WithArguments(BenchmarkSettings stored, const SeriesArguments& arguments,
                                const QString& demoPath, const QString& resultsFolder);

QString UsageText();
