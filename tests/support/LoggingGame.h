#pragma once

#include "FrameLog.h"
#include "SteamLayout.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

// For as long as it lives: the stand-in game of today's layout, started by a stand-in client
// started from here, plays through MangoHud (the behaviour of `mangoHud`, see
// testbed::kMangoHudVersionEnv) with the frames of `pattern` (see testbed::kFrameMsEnv) for
// `playMs` after loading for `loadMs` (one per start, see testbed::kLoadMsEnv), and the program
// finds MangoHud's configuration and its own frames folder below the layout's home. The
// environment is put back afterwards.
class LoggingGame {
public:
    LoggingGame(const testbed::ModernSteamLayout& today, const QByteArray& pattern, int playMs,
                const QByteArray& mangoHud = "0.6.8", const QByteArray& loadMs = "1000") {
        const std::pair<const char*, QByteArray> values[] = {
            {"HOME", today.home.toUtf8()},
            {"XDG_CONFIG_HOME", {}},
            {"XDG_STATE_HOME", {}},
            {"MANGOHUD", "1"},
            {testbed::kLoadMsEnv, loadMs},
            {testbed::kMangoHudVersionEnv, mangoHud},
            {testbed::kFrameMsEnv, pattern},
            {"VARNHOLT_TESTBED_PLAY_MS", QByteArray::number(playMs)},
        };
        for (const auto& [name, value] : values) {
            saved_.emplace_back(name, qgetenv(name));
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ~LoggingGame() {
        for (const auto& [name, value] : saved_) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    LoggingGame(const LoggingGame&) = delete;
    LoggingGame& operator=(const LoggingGame&) = delete;

private:
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

// The stand-in's MangoHud versions, and a first run that loads seconds longer than the others.
inline constexpr const char* kMangoHudVersions[] = {"0.6.8", "0.7", "0.8"};
inline constexpr char kSlowFirstLoad[] = "4000,1500";

// Frames of 10 ms, every fifth 20 ms and every 250th 40 ms. Whatever part of the demo a run's
// log covers (from 250 to 999 frames, from near its start), the 99th percentile frame is one
// of 20 ms and the 99.9th the slowest (a run of fewer than 1000 frames): lows of 50 and 25 fps.
inline constexpr char kKnownLowsPattern[] = "10,20,5,40,250";
inline constexpr double kKnownLow1 = 50;
inline constexpr double kKnownLow01 = 25;

// A row's expected 0.1% low: kKnownLow01 where the runs have the whole demo; where MangoHud's
// log comes in pieces (0.6.8) a run may miss both 40 ms frames (50 fps then), and the row's is
// the mean of its runs', each of which is one of the two.
inline double knownRowLow01(const QJsonObject& row, bool wholeRuns) {
    if (wholeRuns)
        return kKnownLow01;
    double sum = 0;
    int count = 0;
    for (const QJsonValue run : row["runs"].toArray()) {
        const QJsonValue times = run.toObject()["frame_times"];
        if (!times.isObject())
            continue;
        const double low = times.toObject()["low_01_percentile_fps"].toDouble();
        EXPECT_TRUE(low == kKnownLow01 || low == kKnownLow1) << low;
        sum += low;
        ++count;
    }
    return count ? sum / count : 0;
}
