#pragma once

#include "results/FrameFigures.h"

#include <gtest/gtest.h>

// The figures a run is expected to give.
struct ExpectedFigures {
    double averageFps, p1, p01, avg1, avg01, slowest, median;
    int stutters;
    double share;
};

// Every figure within `tolerance`, the stutters' share of the time within `shareTolerance`.
inline void expectFigures(const FrameFigures& f, const ExpectedFigures& e, double tolerance,
                          double shareTolerance) {
    EXPECT_NEAR(f.AverageFps, e.averageFps, tolerance);
    EXPECT_NEAR(f.Percentile1LowFps, e.p1, tolerance);
    EXPECT_NEAR(f.Percentile01LowFps, e.p01, tolerance);
    EXPECT_NEAR(f.Average1LowFps, e.avg1, tolerance);
    EXPECT_NEAR(f.Average01LowFps, e.avg01, tolerance);
    EXPECT_NEAR(f.SlowestFrameMs, e.slowest, tolerance);
    EXPECT_NEAR(f.MedianFrameMs, e.median, tolerance);
    EXPECT_EQ(f.Stutters, e.stutters);
    EXPECT_NEAR(f.StutterTimeShare, e.share, shareTolerance);
}
