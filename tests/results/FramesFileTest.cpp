#include "TestSupport.h"

#include "results/DataFiles.h"
#include "results/FramesFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RunRecord framesRun(std::vector<float> ms) {
    RunRecord r;
    r.Fps = 60;
    r.Frames = RunFrames{};
    r.Frames->FrameMs = std::move(ms);
    return r;
}

RowRecord row(const QString& caption, std::vector<RunRecord> runs) {
    RowRecord r;
    r.Caption = caption;
    r.Runs = std::move(runs);
    return r;
}

// Three rows as a series writes them: a first run without frames, captions that need quoting.
std::vector<RowRecord> sampleRows() {
    RunRecord learning;
    learning.Fps = 61;
    learning.Frames = RunFrames{};
    return {
        row(QStringLiteral("800 \u00D7 600"),
            {learning, framesRun({10, 10.5f, 40, 16.666f}), framesRun({9, 11})}),
        row(QStringLiteral("1280 \u00D7 720, \"wide\" (Custom)"), {framesRun({20, 1e-5f, 0})}),
        row(QStringLiteral("1024 \u00D7 768"), {framesRun({30})}),
    };
}

// As many runs as a data file's rows and runs may hold are read; one more is refused.
TEST(FramesFile, TheRunCapIsTheDataFilesRowsAndRuns) {
    const auto withRuns = [](int runs) {
        QByteArray bytes = "resolution,run,frame,ms\r\n";
        for (int run = 1; run <= runs; ++run)
            bytes += "640 x 480," + QByteArray::number(run) + ",1,10\r\n";
        return bytes;
    };
    const FramesFileRead full = ReadFramesFile(withRuns(kMaxFramesFileRuns),
                                               QStringLiteral("640 x 480"), kMaxFramesFileRuns);
    ASSERT_TRUE(full.Ok) << full.Problem.toStdString();
    EXPECT_EQ(full.FrameMs, std::vector<float>{10});
    const FramesFileRead over =
        ReadFramesFile(withRuns(kMaxFramesFileRuns + 1), QStringLiteral("640 x 480"), 1);
    EXPECT_FALSE(over.Ok);
    EXPECT_EQ(over.Problem, QStringLiteral("more than %1 runs").arg(kMaxFramesFileRuns));
}

TEST(FramesFile, ReadsBackTheRunAskedForAsDataFilesWriteIt) {
    const QByteArray bytes = FramesCsvBytes(sampleRows());
    const struct {
        QString caption;
        int run;
        std::vector<float> frames;
    } cases[] = {
        {QStringLiteral("800 \u00D7 600"), 2, {10, 10.5f, 40, 16.666f}},
        {QStringLiteral("800 \u00D7 600"), 3, {9, 11}},
        {QStringLiteral("1280 \u00D7 720, \"wide\" (Custom)"), 1, {20, 1e-5f, 0}},
        {QStringLiteral("1024 \u00D7 768"), 1, {30}},
        // The learning run wrote no frames; neither did an unknown row.
        {QStringLiteral("800 \u00D7 600"), 1, {}},
        {QStringLiteral("640 \u00D7 480"), 1, {}},
        {QStringLiteral("1280 \u00D7 720"), 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption.toStdString() + " run " + std::to_string(c.run));
        const FramesFileRead whole = ReadFramesFile(bytes, c.caption, c.run);
        ASSERT_TRUE(whole.Ok) << whole.Problem.toStdString();
        EXPECT_TRUE(whole.Problem.isEmpty());
        EXPECT_EQ(whole.FrameMs, c.frames) << "every float read back exactly";
        // Fed a byte at a time, it reads the same.
        FramesFileParser parser(c.caption, c.run);
        for (const char byte : bytes)
            parser.Feed(&byte, 1);
        EXPECT_EQ(parser.Finish().FrameMs, c.frames);
    }
    // LF alone and no line end after the last line read the same.
    QByteArray lf = bytes;
    lf.replace("\r\n", "\n");
    lf.chop(1);
    EXPECT_EQ(ReadFramesFile(lf, QStringLiteral("1024 \u00D7 768"), 1).FrameMs,
              std::vector<float>{30});
}

TEST(FramesFile, ALineNotAsWrittenRefusesTheWholeFileNamingTheLine) {
    const QByteArray head = "resolution,run,frame,ms\r\n640 \xC3\x97 480,1,1,10\r\n";
    const struct {
        QByteArray bytes;
        const char* problem;
    } cases[] = {
        {"", "empty"},
        {"resolution,run,fps\r\n", "not a frames file (line 1 is not \"resolution,run,frame,ms\")"},
        {head + "640 \xC3\x97 480,1,2\r\n", "line 3: not four fields"},
        {head + "640,1,2,10\r\n640 \xC3\x97 480,1,2,10\r\n",
         "line 3: a run does not start at its first frame"},
        {head + "640 \xC3\x97 480,1,3,10\r\n", "line 3: the frames do not follow each other"},
        {head + "640 \xC3\x97 480,1,2,ten\r\n", "line 3: the milliseconds are no frame time"},
        {head + "640 \xC3\x97 480,1,2,-1\r\n", "line 3: the milliseconds are no frame time"},
        {head + "640 \xC3\x97 480,1,2,inf\r\n", "line 3: the milliseconds are no frame time"},
        {head + "640 \xC3\x97 480,1,2,1e300\r\n", "line 3: the milliseconds are no frame time"},
        {head + "640 \xC3\x97 480,1,2, 10\r\n", "line 3: the milliseconds are no frame time"},
        {head + "640 \xC3\x97 480,0,1,10\r\n", "line 3: the run is no number"},
        {head + "640 \xC3\x97 480,1,x,10\r\n", "line 3: the frame is no number"},
        {head + "\r\n", "line 3: not four fields"},
        {head + "a,b,1,1,10\r\n", "line 3: more than four fields"},
        {head + "\"a\"b\"c,1,1,10\r\n", "line 3: the caption is not a field"},
        {head + "\"open,1,1,10\r\n", "line 3: the caption is not a field"},
        {head + "1024,1,1,10\r\n640 \xC3\x97 480,1,1,10\r\n",
         "line 4: the run's frames stand in two places"},
        {head + QByteArray(2000, 'x') + ",1,1,10\r\n", "line 3 is too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.left(80).toStdString());
        const FramesFileRead read = ReadFramesFile(c.bytes, QStringLiteral("640 \u00D7 480"), 1);
        EXPECT_FALSE(read.Ok);
        EXPECT_EQ(read.Problem, QString::fromUtf8(c.problem));
        EXPECT_TRUE(read.FrameMs.empty()) << "nothing of a refused file is kept";
    }
    // Whichever run is asked for: every line is checked.
    EXPECT_FALSE(ReadFramesFile(head + "9,1,1,x\r\n", QStringLiteral("640 \u00D7 480"), 1).Ok);
}

class FramesFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString path(const char* name) const { return tmp.path() + "/" + name; }
    QTemporaryDir tmp;
};

TEST_F(FramesFileOnDisk, ReadsARegularFileAndRefusesWhatIsNone) {
    WriteDataFiles(
        [] {
            SeriesResult r;
            r.Rows = sampleRows();
            return r;
        }(),
        path("result_x.htm"));
    const FramesFileRead read =
        ReadFramesFileAt(path("result_x.frames.csv"), QStringLiteral("800 \u00D7 600"), 3);
    ASSERT_TRUE(read.Ok) << read.Problem.toStdString();
    EXPECT_EQ(read.FrameMs, (std::vector<float>{9, 11}));

    const FramesFileRead missing = ReadFramesFileAt(path("nothing.csv"), "800", 1);
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Problem, "No such file or directory");

    // A FIFO is refused at once, never waited on; a link is not followed.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    EXPECT_EQ(ReadFramesFileAt(path("fifo"), "800", 1).Problem, "not a regular file");
    ASSERT_TRUE(QFile::link(path("result_x.frames.csv"), path("link.csv")));
    EXPECT_FALSE(ReadFramesFileAt(path("link.csv"), QStringLiteral("800 \u00D7 600"), 3).Ok);

    // Too large: refused by its size, without reading it (the file is sparse).
    const int fd = ::open(QFile::encodeName(path("huge.csv")).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(kMaxFramesFileBytes) + 1), 0);
    ::close(fd);
    EXPECT_EQ(ReadFramesFileAt(path("huge.csv"), "800", 1).Problem,
              QStringLiteral("larger than %1 bytes").arg(kMaxFramesFileBytes));

    // A stop asked for ends the reading.
    const std::atomic<bool> stop{true};
    EXPECT_EQ(
        ReadFramesFileAt(path("result_x.frames.csv"), QStringLiteral("800 \u00D7 600"), 3, &stop)
            .Problem,
        "stopped");
}

} // namespace
