#include "run/ScoreReading.h"
#include "platform/Errors.h"
#include "results/Statistics.h"

#include <gtest/gtest.h>

namespace {

QStringList resultFile(const QString& scoreLine) {
    return {QStringLiteral("header 1"), QStringLiteral("header 2"), QStringLiteral("header 3"),
            scoreLine, QStringLiteral("a,b,99.9,d")};
}

TEST(ScoreReading, TakesTheThirdFieldOfTheFourthLine) {
    const struct {
        const char* line;
        const char* score;
    } cases[] = {
        {"a,b,61.23,d", "61.23"},
        {"a,b,61.23,d,e,f", "61.23"},
        {",,61.5,", "61.5"},
        {"a,b,,d", ""},
        {"a,b,61.23", ""}, // two commas only
        {"61.23", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadRunScore(resultFile(QString::fromLatin1(c.line))),
                  QString::fromLatin1(c.score))
            << c.line;
}

TEST(ScoreReading, FewerThanFourLinesHaveNoScoreLine) {
    EXPECT_EQ(ReadRunScore({}), std::nullopt);
    EXPECT_EQ(ReadRunScore({"x", "y", "a,b,61.23,d"}), std::nullopt);
    EXPECT_EQ(ReadRunScore({"x", "y", "z", "a,b,61.23,d"}), QStringLiteral("61.23"));
}

TEST(ScoreReading, SplitsTheResultFileAtAnyLineEnd) {
    EXPECT_EQ(TextFileLines("a\r\nb\nc\rd,e\r\n"), QStringList({"a", "b", "c", "d,e"}));
    EXPECT_EQ(TextFileLines("a\n\n"), QStringList({"a", ""}));
    EXPECT_EQ(TextFileLines(""), QStringList());
    EXPECT_EQ(ReadRunScore(TextFileLines("1\r\n2\r\n3\r\nx,y,45.5,z\r\n")), QStringLiteral("45.5"));
}

TEST(ScoreReading, ConvertsWithEitherSeparatorAndRoundsHalvesToEven) {
    const QLocale point = QLocale::c();
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const struct {
        const char* text;
        QLocale locale;
        std::optional<int> score;
    } cases[] = {
        {"61.23", german, 61}, // the point turns into a comma
        {"61,23", german, 61},
        {"61,5", point, 62}, // the comma turns into a point
        {"61,5", english, 62},
        {"61.5", english, 62},
        {"45.5", point, 46},
        {"44.5", point, 44},
        {"44,5", german, 44},
        {"-2.5", point, -2},
        {"0.49", point, 0},
        {"120", german, 120},
        {"1,000.5", english, std::nullopt}, // no thousands separators, in either form
        {"1.000,5", german, std::nullopt},
        {"", point, std::nullopt},
        {"abc", point, std::nullopt},
        {"nan", point, std::nullopt},
        {"1e12", point, std::nullopt}, // beyond any score
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertScore(QString::fromLatin1(c.text), c.locale), c.score)
            << c.text << " in " << c.locale.name().toStdString();
}

TEST(ResultCsv, FieldsQuotesAndLineEnds) {
    using Records = QList<QStringList>;
    const struct {
        const char* name;
        QString text;
        std::optional<Records> records;
    } cases[] = {
        {"plain", "a,b\nc,d\n", Records{{"a", "b"}, {"c", "d"}}},
        {"CR LF and no last line end", "a,b\r\nc,d", Records{{"a", "b"}, {"c", "d"}}},
        {"quoted commas and doubled quotes", "\"x, y\",\"say \"\"hi\"\"\",z\n",
         Records{{"x, y", "say \"hi\"", "z"}}},
        {"a line end inside quotes", "\"one\ntwo\",3\n", Records{{"one\ntwo", "3"}}},
        {"empty fields", ",,\n\"\"\n", Records{{"", "", ""}, {""}}},
        {"a blank line", "a\n\nb\n", Records{{"a"}, {}, {"b"}}},
        {"nothing", "", Records{}},
        {"an unclosed quote", "a,\"b\nc\n", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvRecords(c.text), c.records) << c.name;

    // A quote left open takes its field and all after it; what came before is kept.
    const struct {
        const char* name;
        QString text;
        Records records;
    } broken[] = {
        {"in the last field", "h,fps\nd,50,\"a b\n", Records{{"h", "fps"}, {"d", "50"}}},
        {"in the middle of a field", "d,50,-x \"a,b,c\n", Records{{"d", "50"}}},
        {"in the first field", "a,b\n\"c,d\ne,f\n", Records{{"a", "b"}}},
        {"a closed one before it", "\"x,y\",1,\"z\n", Records{{"x,y", "1"}}},
    };
    for (const auto& c : broken)
        EXPECT_EQ(CsvRecords(c.text, 4096, CsvBrokenQuote::KeepFieldsBefore), c.records) << c.name;
    EXPECT_TRUE(CsvRecords(QString(",").repeated(10), 11).has_value());
    EXPECT_FALSE(CsvRecords(QString(",").repeated(11), 11).has_value()) << "too many fields";
}

const QByteArray TodaysHeader = "demofile,fps,framerate variability,totaltime,numframes,width,"
                                "height,windowed,vsync,MSAA,Aniso,dxlevel,cmdline\n";

TEST(ResultCsv, TodaysEngineGivesTheFpsColumnOfTheLastRow) {
    const struct {
        const char* name;
        QByteArray file;
        std::optional<QString> score;
    } cases[] = {
        {"one run",
         TodaysHeader + "rovdemo1,187.53,2.1,28.8,5400,1280,1024,0,0,0,0,95,\"/g/hl2_linux "
                        "-w, -h\"\n",
         QStringLiteral("187.53")},
        {"the last of two rows",
         TodaysHeader + "d,50.5,1,1,1,640,480,0,0,0,0,95,\"a\"\r\nd,61.25,1,1,1,640,480,0,0,0,0,95,"
                        "\"b\"\r\n\r\n",
         QStringLiteral("61.25")},
        {"a quoted field before fps", "cmdline,fps\n\"/x, y/hl2_linux, -w\",77.7\n",
         QStringLiteral("77.7")},
        {"any case and blanks around the name", "demofile, FPS \nd, 99 \n", QStringLiteral("99")},
        {"a header and no row", TodaysHeader, std::nullopt},
        {"a row without the fps column", TodaysHeader + "rovdemo1\n", std::nullopt},
        {"an fps that is no number", TodaysHeader + "d,fast,1,1,1,640,480\n", std::nullopt},
        {"an empty fps", TodaysHeader + "d,,1,1,1,640,480\n", std::nullopt},
        {"an fps that is not a number", TodaysHeader + "d,nan,1,1,1,640,480\n", std::nullopt},
        {"a lone quote in the command line", TodaysHeader + "d,50,1,1,1,640,480,0,0,0,0,95,\"a\n",
         QStringLiteral("50")},
        {"a lone quote inside the command line of the last of two rows",
         TodaysHeader + "d,40,1,1,1,640,480,0,0,0,0,95,/g/hl2\nd,61.5,1,1,1,640,480,0,0,0,0,95,"
                        "/g/hl2_linux +map \"x -w 640\n",
         QStringLiteral("61.5")},
        {"a lone quote before the fps", "cmdline,fps\n\"/g/hl2_linux,77.7\n", std::nullopt},
        // Rows are lines: a quote left open in one row never reaches the next one's fields.
        {"a lone quote in an earlier row",
         TodaysHeader + "d,147.5,1,1,1,640,480,0,0,0,0,95,/g/hl2 \"x\nd,112.0,1,1,1,640,480,0,0,"
                        "0,0,95,/g/hl2\"\n",
         QStringLiteral("112.0")},
        {"a lone quote in the fps column's row above the last",
         "cmdline,fps\n\"a,147.5\n\"b\",112.0\n", QStringLiteral("112.0")},
        {"only blank lines after the header", TodaysHeader + " \r\n\r\n\n", std::nullopt},
        {"the system's own file", "h1\r\nh2\r\nh3\r\nrovdemo1,640x480,123.45,5400\r\n",
         QStringLiteral("123.45")},
        {"the system's own file, short", "h1\r\nh2\r\n", std::nullopt},
        {"a first line naming no fps", "fpsx,a\nb,c\nd,e\nf,g,h,i\n", QStringLiteral("h")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadRunResult(c.file).ScoreText, c.score) << c.name;

    QByteArray huge = "h1\nh2\nh3\na,b,1.5,d\n";
    EXPECT_EQ(ReadRunResult(huge).ScoreText, QStringLiteral("1.5"));
    huge += QByteArray(kMaxResultFileBytes, 'x');
    EXPECT_EQ(ReadRunResult(huge).ScoreText, std::nullopt) << "too large to be read";
}

TEST(ResultCsv, WhatTheRunPlayed) {
    RunResult r =
        ReadRunResult(TodaysHeader + "d,187.53,2.125,28.795,5400,1920,1080,0,0,0,0,95,\"x\"\n");
    EXPECT_EQ(r.Played.Width, 1920);
    EXPECT_EQ(r.Played.Height, 1080);
    EXPECT_EQ(r.Played.Frames, 5400);
    EXPECT_EQ(r.Played.Seconds, 28.795);
    EXPECT_EQ(r.Played.Variability, 2.125);

    r = ReadRunResult("fps,height,width\n60,768,wide\n");
    EXPECT_EQ(r.ScoreText, QStringLiteral("60"));
    EXPECT_EQ(r.Played.Width, std::nullopt) << "not a number";
    EXPECT_EQ(r.Played.Height, 768);
    EXPECT_EQ(r.Played.Frames, std::nullopt) << "no such column";

    r = ReadRunResult("fps,width,height\n60,1024\n");
    EXPECT_EQ(r.Played.Width, 1024);
    EXPECT_EQ(r.Played.Height, std::nullopt) << "a short row";

    r = ReadRunResult("h1\nh2\nh3\na,b,61.23,d\n");
    EXPECT_EQ(r.ScoreText, QStringLiteral("61.23"));
    EXPECT_FALSE(r.Played.Width || r.Played.Height || r.Played.Frames || r.Played.Seconds ||
                 r.Played.Variability)
        << "the system's own file says nothing of the kind";
    EXPECT_FALSE(ReadRunResult(TodaysHeader).Played.Width) << "no row";
}

TEST(ResultCsv, ANoteWhenTheGamePlayedAnotherSize) {
    PlayedRun played;
    played.Width = 1920;
    played.Height = 1080;
    EXPECT_EQ(PlayedSizeNote(played, "1280", "1024"),
              QStringLiteral("The game ran at 1920 x 1080 instead of 1280 x 1024: Steam may have "
                             "dropped the launch options."));
    EXPECT_EQ(PlayedSizeNote(played, "1920", "1080"), std::nullopt);
    EXPECT_EQ(PlayedSizeNote(played, "1920", ""), std::nullopt) << "an empty custom size";
    played.Height.reset();
    EXPECT_EQ(PlayedSizeNote(played, "640", "480"), std::nullopt) << "the game did not say";
    EXPECT_EQ(PlayedSizeNote(PlayedRun{}, "640", "480"), std::nullopt);
}

TEST(ScoreReading, AverageTruncatesTowardZero) {
    EXPECT_EQ(AverageScore(61 + 62 + 62, 3), 61);
    EXPECT_EQ(AverageScore(123, 2), 61);
    EXPECT_EQ(AverageScore(-7, 2), -3);
    EXPECT_EQ(AverageScore(60, 1), 60);
    // Two of the largest scores a run can have: their sum is past that range.
    EXPECT_EQ(AverageScore(qint64(2147483647) * 2, 2), 2147483647);
    EXPECT_EQ(AverageScore(qint64(2147483646) + 2147483647, 2), 2147483646);
    EXPECT_THROW(AverageScore(10, 0), AppError);
}

} // namespace
