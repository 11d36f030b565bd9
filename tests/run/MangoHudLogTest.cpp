#include "ExpectFigures.h"
#include "TestSupport.h"

#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string_view>

namespace {

// Logs written by Debian 12's MangoHud 0.6.8 around glxgears under Xvfb.
QByteArray realLog(const char* name) {
    QFile file(QStringLiteral(VARNHOLT_SOURCE_DIR "/tests/run/logs/") + QLatin1String(name));
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
        {"column names with blanks around them",
         system + "fps , frametime ,\telapsed\n60,16000,2000000000\n",
         true,
         {{16.0f, 2.0f}}},
        {"a second log appended to the file: its own clock",
         system + "fps,frametime,elapsed\n60,16000,16000000\n" + system +
             "fps,elapsed,frametime\n50,5000000,20000\n",
         true,
         {{16.0f, 0.016f}, {20.0f, 0.005f}}},
        {"a second log whose columns never come",
         system + "fps,frametime,elapsed\n60,16000,1\nos,cpu\na\nb\nc\nd\ne\nf\ng\n",
         false,
         {}},
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

// Logs as MangoHud's source at its release tags writes them (logging.cpp, writeFileHeaders and
// writeToFile): added columns, the log_versioning lines, two logs started in the same second
// appended to one file.
TEST(MangoHudLog, NewerVersionsLayoutsReadByTheirColumnNames) {
    struct Case {
        const char* file;
        std::vector<std::size_t> parts; // frames of each log in the file
        bool newerColumns;
        bool cpuPower, cpuMhz;
    };
    const Case cases[] = {
        {"mangohud_0.7.0.csv", {10}, true, false, false},
        {"mangohud_0.8.0.csv", {10}, true, true, false},
        {"mangohud_0.8.4_versioning.csv", {10}, true, true, true},
        {"mangohud_0.7.0_two_logs.csv", {6, 4}, true, false, false},
        {"glxgears_every_frame_1s.csv", {206}, false, false, false},
    };
    const auto column = [](const char* name) {
        return static_cast<std::size_t>(
            std::find_if(std::begin(kSensorColumns), std::end(kSensorColumns),
                         [&](const char* c) { return std::string_view(c) == name; }) -
            std::begin(kSensorColumns));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const MangoHudLogRead read = ReadMangoHudLog(realLog(c.file));
        ASSERT_TRUE(read.Frames) << read.Problem.toStdString();
        EXPECT_EQ(read.NewerColumns, c.newerColumns);
        ASSERT_EQ(read.Parts.size(), c.parts.size());
        std::size_t first = 0;
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            EXPECT_EQ(read.Parts[i].First, first);
            EXPECT_EQ(read.Parts[i].Count, c.parts[i]);
            // Each log's times count from its own start.
            EXPECT_LT((*read.Frames)[first].AtSeconds, 0.8f);
            first += c.parts[i];
        }
        EXPECT_EQ(read.Frames->size(), first);
        if (!c.newerColumns)
            continue;
        // The first row of each log is sampled for its sensors, found by name.
        ASSERT_EQ(read.Sensors.size(), c.parts.size());
        const SensorSample& s = read.Sensors[0];
        EXPECT_FLOAT_EQ(s.Values[column("gpu_core_clock")], 2105);
        EXPECT_FLOAT_EQ(s.Values[column("cpu_load")], 37.5f);
        EXPECT_FLOAT_EQ(s.Values[column("gpu_load")], 91);
        EXPECT_FLOAT_EQ(s.Values[column("process_rss")], 1.25f);
        EXPECT_EQ(std::isnan(s.Values[column("cpu_power")]), !c.cpuPower);
        EXPECT_EQ(std::isnan(s.Values[column("cpu_mhz")]), !c.cpuMhz);
        EXPECT_EQ(read.Sensors.back().Part, c.parts.size() - 1);
        EXPECT_FLOAT_EQ((*read.Frames)[0].Ms, 20.0f);
        EXPECT_FLOAT_EQ((*read.Frames)[1].AtSeconds, 0.036f);
    }
}

TEST(MangoHudLog, SensorsAreSampledAtMostEveryQuarterSecond) {
    QByteArray log = "os\nx\nfps,frametime,gpu_core_clock,elapsed\n";
    for (int i = 1; i <= 100; ++i) // 10 ms frames for a second
        log += "100,10000," + QByteArray::number(1000 + i) + ',' +
               QByteArray::number(qint64(i) * 10'000'000) + '\n';
    const MangoHudLogRead read = ReadMangoHudLog(log);
    ASSERT_TRUE(read.Frames);
    ASSERT_EQ(read.Sensors.size(), 4u);
    EXPECT_FLOAT_EQ(read.Sensors[0].AtSeconds, 0.01f);
    for (std::size_t i = 1; i < read.Sensors.size(); ++i) {
        const float gap = read.Sensors[i].AtSeconds - read.Sensors[i - 1].AtSeconds;
        EXPECT_GE(gap, 0.25f - 1e-6f);
        EXPECT_LE(gap, 0.26f + 1e-6f);
        // The row's own values: the clock counts the frames.
        EXPECT_FLOAT_EQ(read.Sensors[i].Values[5],
                        1000 + std::round(read.Sensors[i].AtSeconds * 100));
    }
}

// The reader takes the forms MangoHud writes without std::from_chars; every field must still
// read as from_chars reads it (blanks around it aside): the same double, or no number.
std::optional<double> fromChars(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.remove_suffix(1);
    double value = 0;
    const auto [stop, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || stop != field.data() + field.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

TEST(MangoHudLog, NumbersReadAsFromCharsReadsThem) {
    // Around the steps of eight digits read at once, and the decimal forms.
    const char* fields[] = {"0",
                            "7",
                            "16000",
                            "1234567",
                            "12345678",
                            "123456789",
                            "1234567890123456",
                            "12345678901234567",
                            "123456789012345678",
                            "1234567890123456789",
                            "99999999999999999999",
                            "9007199254740993",
                            "18446744073709551615",
                            "00000000000000016000",
                            "1234567:",
                            "12345/78",
                            "1234567890123:56",
                            "123456789012345/7",
                            " 16000",
                            "16000 ",
                            "\t8",
                            "16666.5",
                            "0.1",
                            "0.000001",
                            "2.5e3",
                            "1e9",
                            "-0",
                            "-12.25",
                            "1.",
                            ".5",
                            "1.2.3",
                            "+1",
                            "0x10",
                            "12345678901234.5678",
                            "0.1234567890123456789012",
                            "45.2164",
                            "0.0117188",
                            "9.61523",
                            "",
                            "-",
                            "nan",
                            "inf",
                            "1e400",
                            "4.9e-324"};
    for (const char* field : fields) {
        SCOPED_TRACE(field);
        const std::optional<double> expected = fromChars(field);
        // As both times of a frame.
        const QByteArray log = QByteArray("os\nx\nfps,frametime,cpu_load,elapsed\n60,") + field +
                               ',' + field + ',' + field + '\n';
        const MangoHudLogRead read = ReadMangoHudLog(log);
        if (expected && *expected >= 0) {
            ASSERT_TRUE(read.Frames) << read.Problem.toStdString();
            ASSERT_EQ(read.Frames->size(), 1u);
            EXPECT_EQ((*read.Frames)[0].Ms, static_cast<float>(*expected / 1000.0));
            EXPECT_EQ((*read.Frames)[0].AtSeconds, static_cast<float>(*expected / 1e9));
        } else {
            EXPECT_FALSE(read.Frames);
        }
        // As a sensor, which may be negative and is NaN when it is no number.
        const MangoHudLogRead sensor = ReadMangoHudLog(
            QByteArray("os\nx\nfps,frametime,cpu_load,elapsed\n60,1000,") + field + ",1\n");
        ASSERT_TRUE(sensor.Frames);
        ASSERT_EQ(sensor.Sensors.size(), 1u);
        const float value = sensor.Sensors[0].Values[0];
        if (expected) {
            EXPECT_EQ(value, static_cast<float>(*expected));
            EXPECT_EQ(std::signbit(value), std::signbit(*expected));
        } else {
            EXPECT_TRUE(std::isnan(value));
        }
    }
}

// Room for the frames is judged from the file's size and its first rows; however wrong that
// turns out (rows that get shorter, a file that grew after its size was taken), every frame is
// read.
TEST(MangoHudLog, EveryFrameIsReadWhateverTheRoomJudgedForThem) {
    QByteArray log = "os\nx\nfps,frametime,cpu_load,elapsed\n";
    for (int i = 1; i <= 20000; ++i) {
        // Long rows first, then short ones.
        const QByteArray load = i <= 5000 ? QByteArray(40, '1') : QByteArray("1");
        log += "60," + QByteArray::number(1000 + i % 7) + ',' + load + ',' +
               QByteArray::number(qint64(i) * 1'000'000) + '\n';
    }
    const MangoHudLogRead whole = ReadMangoHudLog(log);
    ASSERT_TRUE(whole.Frames);
    ASSERT_EQ(whole.Frames->size(), 20000u);
    const auto size = static_cast<std::size_t>(log.size());
    for (const std::size_t expected : {std::size_t(1), size / 10, size, size * 50}) {
        SCOPED_TRACE(expected);
        MangoHudLogParser parser;
        parser.ExpectBytes(expected);
        for (qsizetype at = 0; at < log.size(); at += 4096)
            parser.Feed(log.constData() + at,
                        static_cast<std::size_t>(std::min<qsizetype>(4096, log.size() - at)));
        const MangoHudLogRead read = parser.Finish();
        ASSERT_TRUE(read.Frames);
        ASSERT_EQ(read.Frames->size(), whole.Frames->size());
        for (std::size_t i = 0; i < read.Frames->size(); ++i) {
            ASSERT_EQ((*read.Frames)[i].Ms, (*whole.Frames)[i].Ms);
            ASSERT_EQ((*read.Frames)[i].AtSeconds, (*whole.Frames)[i].AtSeconds);
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
