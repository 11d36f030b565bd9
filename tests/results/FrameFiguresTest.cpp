#include "ExpectFigures.h"
#include "TestSupport.h"

#include "results/FrameFigures.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

namespace {

std::vector<float> repeated(std::initializer_list<std::pair<int, float>> blocks) {
    std::vector<float> frames;
    for (const auto& [count, ms] : blocks)
        frames.insert(frames.end(), static_cast<std::size_t>(count), ms);
    return frames;
}

// 990 frames of 10 ms and ten spikes of 20, 22 ... 38 ms.
std::vector<float> thousandWithTenSpikes() {
    std::vector<float> frames = repeated({{990, 10.0f}});
    for (int i = 0; i < 10; ++i)
        frames.push_back(20.0f + 2.0f * static_cast<float>(i));
    return frames;
}

struct FiguresCase {
    const char* name;
    std::vector<float> frames;
    int count;
    ExpectedFigures expected;
};

TEST(FrameFigures, KnownFramesGiveKnownFigures) {
    std::vector<float> shuffled = thousandWithTenSpikes();
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 337, shuffled.end());

    const FiguresCase cases[] = {
        {"one frame", {10.0f}, 1, 100, 100, 100, 100, 100, 10, 10, 0, 0},
        {"equal frames", repeated({{1000, 5.0f}}), 1000, 200, 200, 200, 200, 200, 5, 5, 0, 0},
        // The 99th percentile of 100 frames is the 99th slowest but one: the spike is only in
        // the 99.9th and in the slowest 1 %.
        {"one spike in 100", repeated({{99, 10.0f}, {1, 50.0f}}), 100, 100000.0 / 1040, 100, 20, 20,
         20, 50, 10, 1, 50.0 / 1040},
        {"fewer than 100 frames: the slowest 1 % is one frame", repeated({{49, 10.0f}, {1, 40.0f}}),
         50, 50000.0 / 530, 25, 25, 25, 25, 40, 10, 1, 40.0 / 530},
        {"fewer than 1000 frames: the slowest 0.1 % is one frame",
         repeated({{495, 4.0f}, {2, 12.0f}, {2, 20.0f}, {1, 36.0f}}), 500,
         500000.0 / (1980 + 24 + 40 + 36), 1000.0 / 4, 1000.0 / 36, 1000.0 / 20, 1000.0 / 36, 36, 4,
         5, 100.0 / 2080},
        // The slowest 0.1 % of 1500 frames are two frames (1.5 rounded up), of 1 % fifteen.
        {"1500 frames: the slowest 0.1 % rounds up",
         repeated({{1497, 10.0f}, {1, 30.0f}, {1, 40.0f}, {1, 60.0f}}), 1500, 1500000.0 / 15100,
         100, 25, 15000.0 / 250, 20, 60, 10, 3, 130.0 / 15100},
        // Twice the median is 20 ms: the 20 ms frame is no stutter.
        {"ten spikes in 1000", thousandWithTenSpikes(), 1000, 1e6 / 10190, 100, 1000.0 / 36,
         1000.0 / 29, 1000.0 / 38, 38, 10, 9, 270.0 / 10190},
        {"unsorted input", shuffled, 1000, 1e6 / 10190, 100, 1000.0 / 36, 1000.0 / 29, 1000.0 / 38,
         38, 10, 9, 270.0 / 10190},
        {"an even count's median lies between the middle two",
         {10.0f, 1.0f, 3.0f, 1.0f},
         4,
         4000.0 / 15,
         100,
         100,
         100,
         100,
         10,
         2,
         1,
         10.0 / 15},
    };
    for (const FiguresCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<FrameFigures> f = ComputeFrameFigures(c.frames);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->Frames, c.count);
        expectFigures(*f, c.expected, 1e-6, 1e-9);
    }
}

TEST(FrameFigures, NoFiguresWithoutTime) {
    EXPECT_FALSE(ComputeFrameFigures(std::vector<float>{}));
    EXPECT_FALSE(ComputeFrameFigures(std::vector<float>{0.0f, 0.0f}));
}

// What the data files cannot hold has no figures, and says why: the writer leaves it out.
TEST(FrameFigures, OnlyFramesTheDataFilesHoldAreRecorded) {
    const struct {
        const char* name;
        std::vector<float> frames;
        const char* missing; // empty: recorded
    } cases[] = {
        {"usual frames", thousandWithTenSpikes(), ""},
        {"a frame of exactly an hour", repeated({{99, 10.0f}, {1, 3'600'000.0f}}), ""},
        {"a frame longer than an hour (a suspend)", repeated({{99, 10.0f}, {1, 3'600'001.0f}}),
         "a frame time of 3600001 ms (not from 0 to one hour)"},
        // The 1 % low of 0 ms frames is infinite: JSON has no number for it.
        {"frame times nearly all zero", repeated({{1999, 0.0f}, {1, 10.0f}}),
         "the frame times are (nearly) all zero"},
        {"all zero", repeated({{10, 0.0f}}), "the frame times are (nearly) all zero"},
        {"no frames", {}, "no frames"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RecordableFigures r = RecordableFrameFigures(c.frames);
        EXPECT_EQ(r.Missing, QString::fromUtf8(c.missing));
        EXPECT_EQ(r.Figures.has_value(), *c.missing == 0);
    }
}

TEST(FrameFigures, RowIsTheMeanOfItsRunsWithFigures) {
    FrameFigures a;
    a.Frames = 100;
    a.AverageFps = 60;
    a.Percentile1LowFps = 40;
    a.Percentile01LowFps = 30;
    a.Average1LowFps = 35;
    a.Average01LowFps = 25;
    a.SlowestFrameMs = 50;
    a.MedianFrameMs = 16;
    a.Stutters = 3;
    a.StutterTimeShare = 0.1;
    FrameFigures b = a;
    b.Frames = 201;
    b.AverageFps = 80;
    b.Percentile1LowFps = 60;
    b.Percentile01LowFps = 50;
    b.Average1LowFps = 45;
    b.Average01LowFps = 35;
    b.SlowestFrameMs = 30;
    b.MedianFrameMs = 12;
    b.Stutters = 0;
    b.StutterTimeShare = 0.0;

    const std::optional<FrameFigures> row = MeanFrameFigures({a, std::nullopt, b});
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Frames, 151); // 150.5 rounds away from zero
    EXPECT_DOUBLE_EQ(row->AverageFps, 70);
    EXPECT_DOUBLE_EQ(row->Percentile1LowFps, 50);
    EXPECT_DOUBLE_EQ(row->Percentile01LowFps, 40);
    EXPECT_DOUBLE_EQ(row->Average1LowFps, 40);
    EXPECT_DOUBLE_EQ(row->Average01LowFps, 30);
    EXPECT_DOUBLE_EQ(row->SlowestFrameMs, 40);
    EXPECT_DOUBLE_EQ(row->MedianFrameMs, 14);
    EXPECT_EQ(row->Stutters, 2); // 1.5
    EXPECT_DOUBLE_EQ(row->StutterTimeShare, 0.05);

    EXPECT_FALSE(MeanFrameFigures({std::nullopt, std::nullopt}));
    EXPECT_FALSE(MeanFrameFigures({}));
}

TEST(FrameFigures, DemoFramesAreTheLogsFramesInTheDemosTime) {
    // A frame every 0.1 s from 0.1 to 10 s, each as long as its index in ms.
    std::vector<LoggedFrame> log;
    for (int i = 1; i <= 100; ++i)
        log.push_back({static_cast<float>(i), static_cast<float>(i) / 10.0f});

    struct Case {
        const char* name;
        std::size_t frames; // how much of the log is there
        double start, length;
        std::size_t selected;
        float first;
        bool partial;
        double share;
    };
    const Case cases[] = {
        {"the demo inside the log", 100, 2.0, 5.0, 50, 21, false, 1.0},
        {"the log stops half-way through the demo", 45, 2.0, 5.0, 25, 21, true, 0.5},
        {"the log ends exactly with the demo", 70, 2.0, 5.0, 50, 21, false, 1.0},
        {"a frame right after the start is taken for loading", 100, 1.96, 5.0, 49, 21, false, 1.0},
        {"the log stops before the demo", 15, 2.0, 5.0, 0, 0, true, 0.0},
        {"no demo time", 100, 2.0, 0.0, 0, 0, false, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DemoFrames demo = SelectDemoFrames(std::span(log).first(c.frames), c.start, c.length);
        EXPECT_EQ(demo.FrameMs.size(), c.selected);
        if (!demo.FrameMs.empty()) {
            EXPECT_EQ(demo.FrameMs.front(), c.first);
        }
        EXPECT_EQ(demo.Partial, c.partial);
        EXPECT_NEAR(demo.Share, c.share, 1e-6);
    }

    // Long demo frames widen the margin to a quarter frame: 10 frames in 5 s, 0.5 s each.
    EXPECT_EQ(SelectDemoFrames(log, 1.9, 5.0).FrameMs.front(), 20.0f);
    EXPECT_EQ(SelectDemoFrames(log, 1.9, 5.0, 10).FrameMs.front(), 21.0f);
}

} // namespace
