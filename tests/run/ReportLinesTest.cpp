#include "support/TestSupport.h"

#include "model/OptionLists.h"
#include "platform/Errors.h"
#include "results/Statistics.h"
#include "run/ReportLines.h"
#include "run/ScoreReading.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString MemoryStart = QStringLiteral("   <FONT size=2><b>System memory:</b> ");
const QString VgaHeading =
    QStringLiteral("   <align=\"left\"><span class=\"style4\">VGA Information</span><br>");

QString fact(const char* label, const char* value) {
    return QStringLiteral("   <FONT size=2><b>%1</b> %2</FONT><br>")
        .arg(QLatin1String(label), QLatin1String(value));
}

TEST(ReportLines, MemoryLineByNumberOfDigits) {
    const QLocale point = QLocale::c();
    const QLocale comma(QLocale::German, QLocale::Germany);
    const struct {
        quint64 bytes;
        QLocale locale;
        const char* rest; // nullptr: no line
    } cases[] = {
        {1073741824ull, point, "1.0 GB "},   {1073741824ull, comma, "1,0 GB "},
        {1342177280ull, point, "1.3 GB "}, // 1.25: a half rounds up
        {9999999999ull, point, "9.3 GB "},   {536870912ull, point, "512.00 MB "},
        {536870912ull, comma, "512,00 MB "}, {99999999ull, point, "95.37 MB "},
        {10000000ull, point, "9.54 MB "},    {17179869184ull, point, "16GB"},
        {10000000000ull, point, "9GB"}, // 11 digits: whole gigabytes, truncated
        {9999999ull, point, nullptr},        {0ull, point, nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> line = SystemMemoryLine(c.bytes, c.locale);
        if (c.rest == nullptr)
            EXPECT_EQ(line, std::nullopt) << c.bytes;
        else
            EXPECT_EQ(line, MemoryStart + QLatin1String(c.rest) + QStringLiteral("</FONT><br>"))
                << c.bytes;
    }
}

TEST(ReportLines, VgaBlocksFollowTheProbeFlags) {
    SystemFacts facts;
    facts.AdapterName = "Diag Adapter";
    facts.DisplayMemory = "256.0 MB";
    facts.DriverVersion = "6.14";
    facts.RadeonName = "Radeon X1950";
    facts.RadeonEngineClock = "648 MHz";
    facts.RadeonMemoryClock = "999 MHz";
    facts.DriverDescription = "Display Class Card";
    facts.GpuClock = "500 MHz";
    facts.MemoryClock = "700 MHz";

    const QStringList radeonStart = {VgaHeading, fact("Graphics card:", "Radeon X1950")};
    const QStringList radeonEnd = {
        fact("Memory:", "256.0 MB"), fact("Current VPU speed:", "648 MHz"),
        fact("Current memory speed:", "999 MHz"), fact("Driver version:", "6.14")};
    const QStringList classBlock = {VgaHeading,
                                    fact("Graphics card:", "Display Class Card"),
                                    fact("Memory:", "256.0 MB"),
                                    fact("Current GPU speed:", "500 MHz"),
                                    fact("Current memory speed:", "700 MHz"),
                                    fact("Driver version:", "6.14")};
    const QStringList diagBlock = {VgaHeading, fact("Graphics card:", "Diag Adapter"),
                                   fact("Memory:", "256.0 MB"), fact("Driver version:", "6.14")};

    const struct {
        const char* name;
        bool radeon, displayClass;
        const char *busType, *memoryType;
        QStringList expected;
    } cases[] = {
        {"both", true, true, "PCI Express", "GDDR3",
         radeonStart + QStringList{fact("Bustype:", "PCI Express")} + radeonEnd + classBlock},
        {"radeon with both types", true, false, "AGP", "DDR2",
         radeonStart + QStringList{fact("Bustype:", "AGP")} + radeonEnd},
        {"radeon without memory type", true, false, "AGP", "", radeonStart + radeonEnd},
        {"radeon without bus type", true, false, "", "DDR2", radeonStart + radeonEnd},
        {"display class only", false, true, "AGP", "DDR2", classBlock},
        {"neither", false, false, "AGP", "DDR2", diagBlock},
    };
    for (const auto& c : cases) {
        facts.RadeonFound = c.radeon;
        facts.DisplayClassFound = c.displayClass;
        facts.BusType = QString::fromLatin1(c.busType);
        facts.MemoryType = QString::fromLatin1(c.memoryType);
        EXPECT_EQ(VgaLines(facts), c.expected) << c.name;
        const QStringList head = ReportHead("now", facts, QString(), QLocale::c());
        EXPECT_EQ(head.mid(head.size() - 1 - c.expected.size()), c.expected + QStringList{"<hr>"})
            << c.name << ": the blocks close the head";
    }
}

TEST(ReportLines, HeadWithoutNoteOrMemoryLine) {
    SystemFacts facts;
    facts.TotalPhysicalMemory = 9999999;
    const QStringList head = ReportHead("now", facts, QString(), QLocale::c());
    // 24 fixed lines, no memory line, 3 more facts, the diagnostics block of 4, "<hr>".
    ASSERT_EQ(head.size(), 24 + 3 + 4 + 1);
    EXPECT_EQ(head.last(), "<hr>");
    EXPECT_EQ(head.at(head.size() - 2), fact("Driver version:", ""));
    EXPECT_EQ(head.at(24), fact("CPU:", "")) << "the CPU line follows the OS line directly";
    EXPECT_EQ(head.filter("Comment:").size(), 0);
}

TEST(ReportLines, RowBlockForTheCustomRowAndEmptyBoxes) {
    BenchmarkSettings settings;
    settings.CustomWidth = "1366";
    settings.CustomHeight = "768";
    const QStringList block =
        ReportRowBlock(CustomSlot("1366", "768"), settings, "Custom demo - d1");
    const QStringList expected = {
        QStringLiteral("<BR><B><FONT size=5>Resolution: 1366 \u00D7 768 (Custom)</FONT></B><BR>"),
        "<b>Demo:</b> Custom demo - d1<br>",
        "<b>Detail:</b> Maximum quality<br>",
        "<b>High Dynamic Range:</b> <br>",
        "<b>Heapsize:</b> <br>",
        "<b>Antialising mode:</b> <br>",
        "<b>Filtering mode:</b> <br>",
        "<b>Fast Z:</b> Disabled<br>",
        "<b>Color Correction:</b> Disabled<br>",
    };
    EXPECT_EQ(block, expected);
    settings.ColorCorrection = true;
    EXPECT_EQ(ReportRowBlock(FixedSlots()[0], settings, "Quillon demo").last(),
              "<b>Color Correction:</b> Enabled<br>");
}

TEST(ReportLines, SingleRunShowsTheScoreTextAsRead) {
    EXPECT_EQ(
        SingleRunScoreLines("61,23"),
        QStringList({"<span class=\"style5\"><b>Score = 61,23 FPS</b></span><br>", "<br><HR>"}));
}

TEST(ReportLines, StampAndFileName) {
    EXPECT_EQ(SeriesStamp("14.03.2008 21:05:09"), "14_03_2008_21_05_09");
    EXPECT_EQ(SeriesStamp("3/14/2008 9:05:09 PM"), "3_14_2008_9_05_09_PM");
    EXPECT_EQ(SeriesStamp("2008-03-14\\x"), "2008_03_14_x");
    EXPECT_EQ(ReportFilePath("/home/u/Benchmark/", "s_1"), "/home/u/Benchmark/result_s_1.htm");
    EXPECT_EQ(ReportFilePath(QString(), "s_1"), "result_s_1.htm");
}

TEST(ReportLines, EncodingKeepsLatin1AndReferencesTheRest) {
    const QByteArray bytes = EncodeReportLatin1(
        {QStringLiteral("a\u00D7b \u00E9"), QStringLiteral("\u03A9\u20AC"),
         QStringLiteral("\U0001F600!"), QString(QChar(0xD800)) + "x", QString()});
    EXPECT_EQ(bytes, QByteArray("a\xD7"
                                "b \xE9\r\n"
                                "&#937;&#8364;\r\n"
                                "&#128512;!\r\n"
                                "&#65533;x\r\n"
                                "\r\n"));
    EXPECT_EQ(EncodeReportLatin1({}), QByteArray());
}

class ReportFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QTemporaryDir tmp;
};

// The whole page of a two-row, two-run series against a page written by hand.
TEST_F(ReportFile, TwoRowsMatchTheHandWrittenPage) {
    SystemFacts facts;
    facts.OsProductName = "Debian GNU/Linux 12 (bookworm)";
    facts.TotalPhysicalMemory = 2147483648ull;
    facts.CpuName = "Intel(R) Core(TM)2 Duo CPU E6750 @ 2.66GHz";
    facts.CpuNormFreq = 2667;
    facts.SoundDevice = "HDA Intel PCH";
    facts.DisplayClassFound = true;
    facts.DriverDescription = "ATI Radeon HD 3870";
    facts.DisplayMemory = "512.0 MB";
    facts.GpuClock = "775 MHz";
    facts.MemoryClock = "1125 MHz";
    facts.DriverVersion = "8.452.0.0";
    facts.AdapterName = "not shown: a probe found the adapter";

    BenchmarkSettings settings;
    settings.HdrMode = 2;
    settings.HeapSize = 2;
    settings.AntialiasingMode = 1;
    settings.FilteringMode = 5;
    settings.FastZ = true;
    settings.RunCount = 2;
    settings.Note = QStringLiteral("\u03A9 room <i>quiet</i>, 2\u00D7 \U0001F600");
    const QString demo = DemoReportCaption(DemoKind::Shipped, QString());
    const QString started = "14.03.2008 21:05:09";

    QStringList report = ReportHead(started, facts, settings.Note, QLocale::c());
    const struct {
        int slot;
        const char *first, *second;
    } rows[] = {{0, "61.4", "62.5"}, {5, "30,2", "32.51"}};
    for (const auto& row : rows) {
        report << ReportRowBlock(FixedSlots()[row.slot], settings, demo);
        int sum = 0;
        for (const char* text : {row.first, row.second}) {
            const int score = ConvertScore(QString::fromLatin1(text), QLocale::c()).value();
            report << RunScoreLine(score);
            sum += score;
        }
        report << AverageScoreLines(AverageScore(sum, settings.RunCount));
    }
    report << ReportFooter();

    const QString path = ReportFilePath(tmp.path() + "/", SeriesStamp(started));
    SaveReport(report, path);
    EXPECT_TRUE(path.endsWith("/result_14_03_2008_21_05_09.htm"));
    EXPECT_EQ(testsupport::readFile(path),
              testsupport::readFile(testsupport::sourceDir() +
                                    "/tests/run/fixtures/report_two_rows.htm"));
}

TEST_F(ReportFile, SaveReplacesAnEarlierReportOfTheSameName) {
    const QString path = tmp.path() + "/result_same.htm";
    SaveReport({"first", "report", "longer than the second"}, path);
    SaveReport({"second"}, path);
    EXPECT_EQ(testsupport::readFile(path), "second\r\n");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"result_same.htm"});
}

TEST_F(ReportFile, FailedSaveRaisesWithPathAndReason) {
    const QString path = tmp.path() + "/missing folder/result_x.htm";
    try {
        SaveReport({"line"}, path);
        FAIL() << "a save into a missing folder must raise";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.message().contains(path)) << error.message().toStdString();
        EXPECT_TRUE(error.message().contains("No such file or directory"))
            << error.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
