// The logs of a run on one clock, the demo's frames found on it, the sensors of the demo, and
// when the frame recording cuts a log written only when logging stops.
#include "TestSupport.h"

#include "game/MangoHudConfig.h"
#include "results/SensorFigures.h"
#include "run/FrameRecording.h"
#include "run/MangoHudLog.h"
#include "run/RunTimeline.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A log of `ms` frames (each one row), the first ending `firstAt` seconds after logging started.
QByteArray logOf(const std::vector<double>& ms, double firstAt = 0.01) {
    QByteArray text = "os,cpu\na,b\nfps,frametime,gpu_core_clock,elapsed\n";
    double at = firstAt - ms.front() / 1000;
    for (const double m : ms) {
        at += m / 1000;
        text += "1," + QByteArray::number(qint64(m * 1000)) + ",1500," +
                QByteArray::number(qint64(std::llround(at * 1e9))) + '\n';
    }
    return text;
}

std::vector<double> repeat(double ms, int n) {
    return std::vector<double>(static_cast<std::size_t>(n), ms);
}

TEST(RunTimeline, LogsArePutOnTheRunsClockByTheirFileTimes) {
    RunTimeline timeline;
    // A log written when logging stopped, 2.0 s into the run: 10 frames of 10 ms.
    AddLogFile(timeline, ReadMangoHudLog(logOf(repeat(10, 10))), 2.0);
    // Two logs appended to one file, the file last changed 5.0 s into the run.
    AddLogFile(timeline, ReadMangoHudLog(logOf(repeat(20, 5)) + logOf(repeat(20, 10))), 5.0);
    OrderTimeline(timeline);
    ASSERT_EQ(timeline.Frames.size(), 25u);
    EXPECT_NEAR(timeline.Frames[9].AtSeconds, 2.0, 1e-5);
    EXPECT_NEAR(timeline.Frames[0].AtSeconds, 2.0 - 0.09, 1e-5);
    // The file's last log ends with its change; the one before ends where it starts.
    EXPECT_NEAR(timeline.Frames.back().AtSeconds, 5.0, 1e-5);
    const double secondStart = 5.0 - 0.19;
    EXPECT_NEAR(timeline.Frames[14].AtSeconds, secondStart, 1e-5);
    ASSERT_EQ(timeline.Covered.size(), 3u);
    EXPECT_NEAR(timeline.Covered[0].first, 2.0 - 0.1, 1e-5);
    EXPECT_FALSE(timeline.NewerColumns);
    ASSERT_EQ(timeline.Sensors.size(), 3u); // the first row of each log
    EXPECT_NEAR(timeline.Sensors[0].AtSeconds, 2.0 - 0.09, 1e-5);
}

TEST(RunTimeline, TheDemoIsItsOwnFrameCountWhenTheLogsCoverIt) {
    // Loading frames of 50 ms for a second, then 200 frames of the demo: the log ends as the
    // demo does, 3.0 s into the run.
    std::vector<double> ms = repeat(50, 20);
    const std::vector<double> demo = repeat(10, 200);
    ms.insert(ms.end(), demo.begin(), demo.end());
    ms[25] = 40; // a spike in the demo, which now plays 2.03 s
    RunTimeline timeline;
    AddLogFile(timeline, ReadMangoHudLog(logOf(ms, 0.05)), 3.0);
    OrderTimeline(timeline);
    const DemoFrames whole = TimelineDemoFrames(timeline, 3.0, 2.03, 200);
    EXPECT_FALSE(whole.Partial);
    EXPECT_EQ(whole.Share, 1.0);
    ASSERT_EQ(whole.FrameMs.size(), 200u);
    EXPECT_EQ(*std::max_element(whole.FrameMs.begin(), whole.FrameMs.end()), 40.0f);
    // The game counting a frame more than MangoHud logged: still no loading frame.
    const DemoFrames more = TimelineDemoFrames(timeline, 3.0, 2.03, 201);
    EXPECT_EQ(more.FrameMs.size(), 200u);
    EXPECT_EQ(*std::max_element(more.FrameMs.begin(), more.FrameMs.end()), 40.0f);
    // Without the count: the frames that ended within it, less the start's uncertainty.
    const DemoFrames byTime = TimelineDemoFrames(timeline, 3.0, 2.03, std::nullopt);
    EXPECT_EQ(*std::max_element(byTime.FrameMs.begin(), byTime.FrameMs.end()), 40.0f);
    EXPECT_GE(byTime.FrameMs.size(), 194u);
}

TEST(RunTimeline, PiecesWithAGapAndNoEndArePartial) {
    RunTimeline timeline;
    // The demo plays from 1.0 s to 3.0 s; pieces cover 0.5-1.5 s and 1.8-2.5 s.
    AddLogFile(timeline, ReadMangoHudLog(logOf(repeat(10, 100))), 1.5);
    AddLogFile(timeline, ReadMangoHudLog(logOf(repeat(10, 70))), 2.5);
    OrderTimeline(timeline);
    const DemoFrames demo = TimelineDemoFrames(timeline, 3.0, 2.0, 200);
    EXPECT_TRUE(demo.Partial);
    EXPECT_NEAR(demo.Share, (0.5 + 0.7) / 2.0, 1e-3);
    EXPECT_NEAR(static_cast<double>(demo.FrameMs.size()), 45 + 70, 2);
}

TEST(SensorFigures, ColumnsOfZerosOrNothingAreNoSensor) {
    const float none = std::nanf("");
    const std::vector<float> clock{1500, 1700, none, 1800};
    const std::optional<SensorFigure> f = SensorFigureOf("gpu_core_clock", clock);
    ASSERT_TRUE(f);
    EXPECT_DOUBLE_EQ(f->Mean, 5000.0 / 3);
    EXPECT_DOUBLE_EQ(f->Peak, 1800);
    EXPECT_FALSE(SensorFigureOf("gpu_temp", std::vector<float>{0, 0, 0}));
    EXPECT_FALSE(SensorFigureOf("cpu_power", std::vector<float>{none, none}));
    EXPECT_FALSE(SensorFigureOf("cpu_power", std::vector<float>{}));
}

TEST(SensorFigures, TheClockFellWhenItStaysLowForMoreThanASecond) {
    struct Case {
        const char* name;
        std::vector<float> clock; // a sample every 0.25 s
        bool fell;
    };
    const std::vector<float> steady(20, 1800);
    const auto dip = [&](std::size_t from, std::size_t count, float value) {
        std::vector<float> c = steady;
        for (std::size_t i = from; i < from + count; ++i)
            c[i] = value;
        return c;
    };
    const Case cases[] = {
        {"steady", steady, false},
        {"1.25 s at 80 %", dip(5, 5, 1440), true},
        {"1.0 s at 80 %", dip(5, 4, 1440), false},
        {"long at 91 %", dip(5, 10, 1639), false},
        {"low until the end", dip(14, 6, 1000), true},
        {"a single low sample", dip(3, 1, 100), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<float> seconds;
        for (std::size_t i = 0; i < c.clock.size(); ++i)
            seconds.push_back(0.25f * static_cast<float>(i));
        EXPECT_EQ(ClockFell(seconds, c.clock), c.fell);
    }
}

TEST(FrameRecordingCuts, TheLastCutComesASecondBeforeTheDemoEndTheRunBeforeSaw) {
    EXPECT_EQ(FinalCutMs(9000), 8000);
    EXPECT_EQ(FinalCutMs(std::nullopt), std::nullopt);
    EXPECT_EQ(FinalCutMs(2000), std::nullopt) << "too early to cut apart from the start";
}

TEST(FrameRecordingCuts, OnlyARunWithAResultTeachesTheNextItsLastCut) {
    QTemporaryDir home;
    FrameRecording recording(home.path() + "/MangoHud/", home.path() + "/frames/", 60000);
    ASSERT_EQ(recording.Begin(), std::nullopt);
    const QDateTime start = QDateTime::currentDateTime();
    recording.BeforeRun(start);
    PlayedRun played;
    played.Seconds = 2.5;
    played.Frames = 250;
    recording.AfterRun(played, start.addMSecs(4000));
    EXPECT_EQ(recording.LearnedDemoEndMs(), 4000);

    // The next run cuts a second before that, though its interval is a minute.
    const QString config = home.path() + "/MangoHud/hl2_linux.conf";
    const QByteArray before = testsupport::readFile(config);
    QElapsedTimer clock;
    clock.start();
    recording.BeforeRun(QDateTime::currentDateTime());
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return testsupport::readFile(config) != before; }, 10000));
    EXPECT_GE(clock.elapsed(), 2900);
    EXPECT_LT(clock.elapsed(), 3900);
    EXPECT_EQ(recording.Cuts(), 1);
    EXPECT_TRUE(IsProgramMangoHudConfig(testsupport::readFile(config)));

    // A run without a result teaches nothing: the next has no last cut.
    recording.AfterRun(PlayedRun{}, std::nullopt);
    EXPECT_EQ(recording.LearnedDemoEndMs(), std::nullopt);
    recording.End();
}

TEST(FrameRecordingCuts, ALogThatGrowsIsNeverCut) {
    QTemporaryDir home;
    const QString logs = home.path() + "/frames/";
    FrameRecording recording(home.path() + "/MangoHud/", logs, 1500);
    ASSERT_EQ(recording.Begin(), std::nullopt);
    recording.BeforeRun(QDateTime::currentDateTime());
    // MangoHud appending as it logs: the file appears before any cut and grows.
    QFile log(logs + "hl2_linux_2026-01-01_10-00-00.csv");
    ASSERT_TRUE(log.open(QIODevice::WriteOnly | QIODevice::Append));
    log.write("os,cpu\na,b\nfps,frametime,elapsed\n");
    log.flush();
    QElapsedTimer clock;
    clock.start();
    testsupport::waitUntil(
        [&] {
            log.write("60,16000,1\n");
            log.flush();
            return clock.elapsed() > 3500;
        },
        10000);
    EXPECT_EQ(recording.Cuts(), 0);
    EXPECT_EQ(recording.Logging(), MangoHudLogging::Appending);
    recording.End();
}

} // namespace
