#include "ExpectFigures.h"
#include "TestSupport.h"

#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

// Logs written by Debian 12's MangoHud 0.6.8 around glxgears under Xvfb.
QByteArray realLog(const char* name) {
    QFile file(QStringLiteral(VARNHOLT_SOURCE_DIR "/tests/frames/logs/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::vector<float> msOf(const std::vector<LoggedFrame>& frames) {
    std::vector<float> ms;
    for (const LoggedFrame& f : frames)
        ms.push_back(f.Ms);
    return ms;
}

TEST(MangoHudLog, RealLogsReadInFull) {
    struct Case {
        const char* file;
        std::size_t frames;
        float firstMs, firstAt, lastMs, lastAt;
    };
    const Case cases[] = {
        // One row per frame, logging stopped by log_duration=1.
        {"glxgears_every_frame_1s.csv", 206, 61.702f, 0.703961945f, 1.180f, 1.000930308f},
        // The first 500 frames of a two-second log.
        {"glxgears_every_frame_trimmed.csv", 500, 62.735f, 0.503793647f, 0.682f, 0.978252392f},
        // The default log_interval: one row per 100 ms, the first one odd.
        {"glxgears_interval_100ms.csv", 16, 482418.114f, 0.57181031f, 26.862f, 2.076053529f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray bytes = realLog(c.file);
        ASSERT_FALSE(bytes.isEmpty());
        const MangoHudLogRead read = ReadMangoHudLog(bytes);
        ASSERT_TRUE(read.Frames) << read.Problem.toStdString();
        EXPECT_TRUE(read.Problem.isEmpty());
        ASSERT_EQ(read.Frames->size(), c.frames);
        EXPECT_FLOAT_EQ(read.Frames->front().Ms, c.firstMs);
        EXPECT_FLOAT_EQ(read.Frames->front().AtSeconds, c.firstAt);
        EXPECT_FLOAT_EQ(read.Frames->back().Ms, c.lastMs);
        EXPECT_FLOAT_EQ(read.Frames->back().AtSeconds, c.lastAt);

        // Fed in pieces of every small size, the log reads the same.
        for (std::size_t piece : {1, 2, 7, 64, 4096}) {
            MangoHudLogParser parser;
            for (qsizetype at = 0; at < bytes.size(); at += static_cast<qsizetype>(piece))
                parser.Feed(
                    bytes.constData() + at,
                    std::min<std::size_t>(piece, static_cast<std::size_t>(bytes.size() - at)));
            const MangoHudLogRead pieces = parser.Finish();
            ASSERT_TRUE(pieces.Frames);
            ASSERT_EQ(pieces.Frames->size(), c.frames);
            for (std::size_t i = 0; i < c.frames; ++i) {
                ASSERT_EQ((*pieces.Frames)[i].Ms, (*read.Frames)[i].Ms);
                ASSERT_EQ((*pieces.Frames)[i].AtSeconds, (*read.Frames)[i].AtSeconds);
            }
        }
    }
}

TEST(MangoHudLog, RealLogsGiveTheFiguresOfTheirRows) {
    // Worked out from the rows with a separate script (sorted frame times, nearest rank).
    struct Case {
        const char* file;
        ExpectedFigures expected;
    };
    const Case cases[] = {
        {"glxgears_every_frame_1s.csv", 574.5379292648985, 177.43080198722498, 16.20693008330362,
         41.029007508308375, 16.20693008330362, 61.702, 1.0465, 28, 0.47794304265246884},
        {"glxgears_every_frame_trimmed.csv", 931.26864865469, 224.61814914645103,
         15.940065354267952, 55.69851507758803, 15.940065354267952, 62.735, 0.8465, 13,
         0.2079094508867542},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const MangoHudLogRead read = ReadMangoHudLog(realLog(c.file));
        ASSERT_TRUE(read.Frames);
        const std::optional<FrameFigures> f = ComputeFrameFigures(msOf(*read.Frames));
        ASSERT_TRUE(f);
        // Frame times are kept as floats: a few parts in ten million.
        expectFigures(*f, c.expected, 1e-4, 1e-6);
    }
}

TEST(MangoHudLog, LayoutsAndFaults) {
    const QByteArray system = "os,cpu,gpu\nDebian,AMD,\n";
    struct Case {
        const char* name;
        QByteArray bytes;
        bool readable;
        std::vector<LoggedFrame> frames;
    };
    const Case cases[] = {
        {"columns found by name, in any order",
         system + "cpu_load,elapsed,frametime,fps\n1,2000000000,16000,62.5\n",
         true,
         {{16.0f, 2.0f}}},
        {"CR LF, blanks and empty lines",
         system + "fps,frametime,elapsed\r\n60, 16500 ,1000000000\r\n\r\n60,17000,1017000000\r\n",
         true,
         {{16.5f, 1.0f}, {17.0f, 1.017f}}},
        {"the last line without its line end",
         system + "fps,frametime,elapsed\n60,16000,500000000",
         true,
         {{16.0f, 0.5f}}},
        {"frame times in fractions",
         system + "fps,frametime,elapsed\n60,16666.5,1e9\n",
         true,
         {{16.6665f, 1.0f}}},
        {"no elapsed column: the times add up",
         system + "fps,frametime\n50,20000\n25,40000\n",
         true,
         {{20.0f, 0.02f}, {40.0f, 0.06f}}},
        {"the column names alone: no frames", system + "fps,frametime,elapsed\n", true, {}},
        {"no frametime column", system + "fps,elapsed\n60,1000\n", false, {}},
        {"an empty file", "", false, {}},
        {"a frame time that is no number",
         system + "fps,frametime,elapsed\n60,fast,1000\n",
         false,
         {}},
        {"a negative frame time", system + "fps,frametime,elapsed\n60,-16000,1000\n", false, {}},
        {"a row that stops before the frame time",
         system + "fps,frametime,elapsed\n60\n",
         false,
         {}},
        {"a row that stops before the elapsed time",
         system + "fps,frametime,elapsed\n60,16000\n",
         false,
         {}},
        {"an elapsed time that is no number",
         system + "fps,frametime,elapsed\n60,16000,soon\n",
         false,
         {}},
        {"an infinite frame time", system + "fps,frametime,elapsed\n60,inf,1\n", false, {}},
        {"column names after the first lines",
         "a\nb\nc\nd\ne\nf\ng\nh\nfps,frametime,elapsed\n60,16000,1\n",
         false,
         {}},
        {"a line longer than a log's",
         system + "fps,frametime,elapsed\n60,16000," + QByteArray(kMaxMangoHudLogLine, '1') + "\n",
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MangoHudLogRead read = ReadMangoHudLog(c.bytes);
        ASSERT_EQ(read.Frames.has_value(), c.readable) << read.Problem.toStdString();
        EXPECT_EQ(read.Problem.isEmpty(), c.readable);
        if (!read.Frames)
            continue;
        ASSERT_EQ(read.Frames->size(), c.frames.size());
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_FLOAT_EQ((*read.Frames)[i].Ms, c.frames[i].Ms);
            EXPECT_FLOAT_EQ((*read.Frames)[i].AtSeconds, c.frames[i].AtSeconds);
        }
    }
}

TEST(MangoHudLog, AProblemNamesItsLine) {
    const MangoHudLogRead read =
        ReadMangoHudLog("os\nx\nfps,frametime,elapsed\n60,16000,1\n60,x,2\n");
    EXPECT_FALSE(read.Frames);
    EXPECT_EQ(read.Problem, QStringLiteral("line 5: the frame time is no number"));
}

} // namespace
