#include "run/ScoreReading.h"
#include "platform/Errors.h"

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
