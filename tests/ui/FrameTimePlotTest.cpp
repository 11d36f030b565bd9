#include "TestSupport.h"

#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"
#include "ui/FrameTimePlot.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

std::vector<float> realFrames() {
    const MangoHudLogRead read = ReadMangoHudLogFile(
        testsupport::sourceDir() + "/tests/run/logs/glxgears_every_frame_trimmed.csv");
    std::vector<float> ms;
    if (read.Frames)
        for (const LoggedFrame& frame : *read.Frames)
            ms.push_back(frame.Ms);
    return ms;
}

// How many pixels of one row of the image have (nearly) this colour.
int pixelsInRow(const QImage& image, int row, QColor colour) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, row);
        if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
            std::abs(c.blue() - colour.blue()) < 40)
            ++count;
    }
    return count;
}

TEST(FrameTimePlot, TheScaleHoldsTheRunAndItsSlowestFrame) {
    const PlotScale scale = ScaleFor({10.0f, 30.0f, 10.0f});
    EXPECT_DOUBLE_EQ(scale.Seconds, 0.05);
    EXPECT_NEAR(scale.TopMs, 33.0, 1e-5);
    EXPECT_DOUBLE_EQ(ScaleFor({}).Seconds, 1.0);
}

// A real MangoHud log of glxgears: the frames and both lows' lines are drawn where the scale
// puts them.
TEST(FrameTimePlot, ARealLogIsDrawnWithItsLows) {
    const std::vector<float> frames = realFrames();
    ASSERT_EQ(frames.size(), 500u);
    const std::optional<FrameFigures> figures = ComputeFrameFigures(frames);
    ASSERT_TRUE(figures);
    FrameTimePlot plot;
    plot.SetRun("glxgears under MangoHud 0.6.8", frames, figures);
    const QImage image = plot.Render({800, 360});
    if (const QByteArray dir = qgetenv("VARNHOLT_SCREENSHOT_DIR"); !dir.isEmpty())
        image.save(QString::fromLocal8Bit(dir) + "/frametimes.png");

    // Both lows are dashed lines across the plot: many pixels of their colour in some row.
    for (const QColor colour : {Low1Colour(), Low01Colour()}) {
        int best = 0;
        for (int row = 0; row < image.height(); ++row)
            best = std::max(best, pixelsInRow(image, row, colour));
        EXPECT_GT(best, 200) << colour.name().toStdString();
    }
    // The 0.1 % low (the slowest frame of 500) is near the top, the 1 % low far below it.
    const auto rowOf = [&](QColor colour) {
        int best = 0, at = -1;
        for (int row = 0; row < image.height(); ++row)
            if (const int n = pixelsInRow(image, row, colour); n > best) {
                best = n;
                at = row;
            }
        return at;
    };
    EXPECT_LT(rowOf(Low01Colour()), rowOf(Low1Colour()) - 100);
}

// The line of the figures does not fit a narrow plot: its end goes above the plot instead.
TEST(FrameTimePlot, ANarrowPlotKeepsItsFiguresWhole) {
    const std::vector<float> frames = realFrames();
    FrameTimePlot plot;
    plot.SetRun("glxgears", frames, ComputeFrameFigures(frames));
    const int line = QFontMetrics(plot.font()).height();
    // Dark pixels in the band between the title and the plot, right of the axis labels.
    const auto darkAbove = [&](int width) {
        const QImage image = plot.Render({width, 360});
        int dark = 0;
        for (int y = line + 3; y < 2 * line + 3; ++y)
            for (int x = width / 2; x < width; ++x)
                dark += image.pixelColor(x, y).lightness() < 100;
        return dark;
    };
    EXPECT_EQ(darkAbove(1000), 0) << "wide enough: all on the line below";
    EXPECT_GT(darkAbove(450), 20);
}

TEST(FrameTimePlot, NoFramesSaySo) {
    FrameTimePlot plot;
    plot.SetRun("empty", {}, std::nullopt);
    const QImage image = plot.Render({400, 200});
    // Only text: no line of the lows' colours.
    for (int row = 0; row < image.height(); ++row)
        EXPECT_EQ(pixelsInRow(image, row, Low01Colour()), 0);
}

} // namespace
