#include "TestSupport.h"

#include "app/SeriesArguments.h"

#include <gtest/gtest.h>

namespace {

TEST(SeriesArguments, WhatIsAskedOfTheCommandLine) {
    EXPECT_TRUE(IsCommandLineUse({"--run"}));
    EXPECT_TRUE(IsCommandLineUse({"--runs=3"}));
    EXPECT_TRUE(IsCommandLineUse({"-platform", "offscreen", "--version"}));
    EXPECT_FALSE(IsCommandLineUse({})) << "the window";
    EXPECT_FALSE(IsCommandLineUse({"/afterupgrade"})) << "a restart after an upgrade";
    EXPECT_FALSE(IsCommandLineUse({"/news", "/behind"}));
    // Anything else is the command line's to check, so a slip never opens the window.
    for (const QStringList& other : {QStringList{"-h"}, QStringList{"--bogus"}, QStringList{"help"},
                                     QStringList{"/afterupgrade", "-x"},
                                     QStringList{"-platform", "offscreen"}, QStringList{""}})
        EXPECT_TRUE(IsCommandLineUse(other)) << other.join(' ').toStdString();
    EXPECT_EQ(ParseSeriesArguments({"-h"}).Arguments->Do, SeriesArguments::Action::Help);
    EXPECT_EQ(ParseSeriesArguments({"help"}).Error, "unknown argument \"help\"");
    EXPECT_EQ(ParseSeriesArguments({"-H"}).Error, "unknown argument \"-H\"");
}

TEST(SeriesArguments, ScreenSizesFromOneToTheLargestSideAndNothingAround) {
    struct Case {
        QString text;
        std::optional<ScreenSizeArgument> size;
    } const cases[] = {
        {"1x1", ScreenSizeArgument{1, 1}},
        {"16384x16384", ScreenSizeArgument{16384, 16384}},
        {"16384x1", ScreenSizeArgument{16384, 1}},
        {"1X16384", ScreenSizeArgument{1, 16384}},
        {"640\u00D7480", ScreenSizeArgument{640, 480}},
        {"00640x0480", ScreenSizeArgument{640, 480}},
        {"0x480", std::nullopt},
        {"640x0", std::nullopt},
        {"16385x480", std::nullopt},
        {"640x16385", std::nullopt},
        {"99999x99999", std::nullopt},
        {"640x480\n", std::nullopt},
        {"640x480\r\n", std::nullopt},
        {"640x480 ", std::nullopt},
        {" 640x480", std::nullopt},
        {"640 x 480", std::nullopt},
        {"\n640x480", std::nullopt},
        {"640x480x", std::nullopt},
        {"-640x480", std::nullopt},
        {"640x", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.text).replace('\n', "\\n").replace('\r', "\\r").toStdString());
        const std::optional<ScreenSizeArgument> size = ParseScreenSize(c.text);
        EXPECT_EQ(size.has_value(), c.size.has_value());
        if (size && c.size) {
            EXPECT_EQ(*size, *c.size);
        }
        const ParsedArguments parsed = ParseSeriesArguments({"--run", "--resolution", c.text});
        EXPECT_EQ(parsed.Arguments.has_value(), c.size.has_value()) << parsed.Error.toStdString();
    }
}

TEST(SeriesArguments, AWholeSeriesLine) {
    const ParsedArguments parsed = ParseSeriesArguments(
        {"--run", "--resolution", "640x480", "--resolution=1366X768", "--runs", "3", "--demo",
         "my demo.dem", "--results=out", "--note", "a = b", "--start-steam"});
    ASSERT_TRUE(parsed.Arguments) << parsed.Error.toStdString();
    const SeriesArguments& a = *parsed.Arguments;
    EXPECT_EQ(a.Do, SeriesArguments::Action::Run);
    EXPECT_EQ(a.Resolutions, (std::vector<ScreenSizeArgument>{{640, 480}, {1366, 768}}));
    EXPECT_EQ(a.Runs, 3);
    EXPECT_EQ(a.Demo, "my demo.dem");
    EXPECT_EQ(a.Results, "out");
    EXPECT_EQ(a.Note, QString("a = b"));
    EXPECT_TRUE(a.StartSteam);

    const ParsedArguments bare = ParseSeriesArguments({"--run"});
    ASSERT_TRUE(bare.Arguments);
    EXPECT_TRUE(bare.Arguments->Resolutions.empty());
    EXPECT_FALSE(bare.Arguments->Runs);
    EXPECT_FALSE(bare.Arguments->Note) << "no note given";
    EXPECT_FALSE(bare.Arguments->StartSteam);
}

TEST(SeriesArguments, HelpAndVersionWinOverEverythingValid) {
    EXPECT_EQ(ParseSeriesArguments({"--run", "--help"}).Arguments->Do,
              SeriesArguments::Action::Help);
    EXPECT_EQ(ParseSeriesArguments({"--version"}).Arguments->Do, SeriesArguments::Action::Version);
    EXPECT_EQ(ParseSeriesArguments({"--help", "--version"}).Arguments->Do,
              SeriesArguments::Action::Help);
}

// The caps take their own number: one more is refused (above), the number itself is not.
TEST(SeriesArguments, TheCapsThemselvesAreAccepted) {
    EXPECT_TRUE(ParseSeriesArguments(QStringList(MaxArguments, "--run")).Arguments);
    EXPECT_TRUE(
        ParseSeriesArguments({"--run", "--results", QString(MaxArgumentLength, 'r')}).Arguments);
    EXPECT_TRUE(ParseSeriesArguments({"--run", "--demo", "My Demo.DEM"}).Arguments);
}

TEST(SeriesArguments, BadArgumentsAreRefusedWithTheReason) {
    struct Case {
        QStringList args;
        const char* error;
    } const cases[] = {
        {{}, "--run is missing"},
        {{"--resolution", "640x480"}, "--run is missing"},
        {{"--run", "--fast"}, "unknown argument \"--fast\""},
        {{"--run", "extra"}, "unknown argument \"extra\""},
        {{"--run", "--resolution"}, "--resolution needs a value"},
        {{"--run", "--resolution", "640*480"}, "\"640*480\" is not a screen size"},
        {{"--run", "--resolution", "0x480"}, "\"0x480\" is not a screen size"},
        {{"--run", "--resolution", "99999x480"}, "\"99999x480\" is not a screen size"},
        {{"--run", "--resolution", "640x480", "--resolution", "640x480"},
         "the size 640x480 is given twice"},
        {{"--run", "--resolution", "1366x768", "--resolution", "1440x900"},
         "only one size outside the table"},
        {{"--run", "--runs", "0"}, "--runs takes a number from 1 to 5"},
        {{"--run", "--runs", "6"}, "--runs takes a number from 1 to 5"},
        {{"--run", "--runs", "+3"}, "--runs takes a number from 1 to 5"},
        {{"--run", "--runs", "two"}, "--runs takes a number from 1 to 5"},
        {{"--run", "--note", QString(51, 'n')}, "the note has more than 50 characters"},
        {{"--run", "--demo="}, "--demo needs a file"},
        {{"--run=yes"}, "--run takes no value"},
        {{"--run", "--results", QString(5000, 'r')}, "an argument is longer than 4096"},
        {QStringList(300, "--run"), "too many arguments"},
        {QStringList(MaxArguments + 1, "--run"), "too many arguments"},
        {{"--run", "--results", QString(MaxArgumentLength + 1, 'r')},
         "an argument is longer than 4096"},
        {{"--run", "--demo", "notes.txt"}, "--demo takes a demo recording (.dem)"},
        {{"--run", "--demo=rovdemo1"}, "--demo takes a demo recording (.dem)"},
        {{"--version", "--run"}, "--version and --run do not go together"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').left(80).toStdString());
        const ParsedArguments parsed = ParseSeriesArguments(c.args);
        EXPECT_FALSE(parsed.Arguments);
        EXPECT_TRUE(parsed.Error.startsWith(QLatin1String(c.error))) << parsed.Error.toStdString();
    }
}

TEST(SeriesArguments, SizesReplaceTheStoredTicksAndTheRestOnlyWhereGiven) {
    BenchmarkSettings stored;
    stored.ResolutionChecked[1] = true;
    stored.CustomChecked = true;
    stored.CustomWidth = "1280";
    stored.CustomHeight = "720";
    stored.RunCount = 2;
    stored.Demo = DemoKind::Shipped;
    stored.Note = "stored";
    stored.ResultsFolder = "/stored/";

    SeriesArguments sizes;
    sizes.Resolutions = {{1920, 1080}, {1366, 768}, {640, 480}};
    const BenchmarkSettings s = WithArguments(stored, sizes, {}, {});
    std::array<bool, FixedSlotCount> ticks{};
    ticks[0] = ticks[7] = true;
    EXPECT_EQ(s.ResolutionChecked, ticks);
    EXPECT_TRUE(s.CustomChecked);
    EXPECT_EQ(s.CustomWidth, "1366");
    EXPECT_EQ(s.CustomHeight, "768");
    EXPECT_EQ(s.RunCount, 2);
    EXPECT_EQ(s.Demo, DemoKind::Shipped);
    EXPECT_EQ(s.Note, "") << "the window's note is not a script's";
    EXPECT_EQ(s.ResultsFolder, "/stored/");

    SeriesArguments tableOnly;
    tableOnly.Resolutions = {{800, 600}};
    tableOnly.Runs = 4;
    tableOnly.Note = QString();
    const BenchmarkSettings t = WithArguments(stored, tableOnly, "/demos/x.dem", "/out");
    EXPECT_FALSE(t.CustomChecked) << "the stored custom size is not run";
    EXPECT_TRUE(t.ResolutionChecked[1]);
    EXPECT_EQ(t.RunCount, 4);
    EXPECT_EQ(t.Demo, DemoKind::Custom);
    EXPECT_EQ(t.CustomDemoPath, "/demos/x.dem");
    EXPECT_EQ(t.ResultsFolder, "/out/");
    EXPECT_EQ(t.Note, "") << "an empty note given is an empty note";

    EXPECT_EQ(WithArguments(stored, SeriesArguments{}, {}, {}).ResolutionChecked,
              stored.ResolutionChecked)
        << "no size given: the stored ticks";
}

} // namespace

namespace {

// --help, the manual page and docs/command-line.md name every option, every exit status and
// the size limit.
TEST(SeriesArguments, EveryOptionAndExitStatusIsDocumented) {
    const QString usage = UsageText();
    const QString manual =
        QString::fromUtf8(testsupport::readFile(testsupport::sourceDir() + "/dist/varnholt.1.in"))
            .replace("\\-", "-");
    const QString page = QString::fromUtf8(
        testsupport::readFile(testsupport::sourceDir() + "/docs/command-line.md"));
    for (const char* word :
         {"--run", "--resolution", "--runs", "--demo", "--results", "--note", "--start-steam",
          "--frame-times", "--help", "--version", "129", "130", "131", "143", "16384"}) {
        SCOPED_TRACE(word);
        EXPECT_TRUE(manual.contains(QLatin1String(word)));
        EXPECT_TRUE(page.contains(QLatin1String(word)));
        EXPECT_TRUE(usage.contains(QLatin1String(word)));
    }
}

} // namespace
