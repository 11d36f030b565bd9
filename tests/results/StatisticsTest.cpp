#include "TestSupport.h"

#include "results/Statistics.h"
#include "run/ScoreReading.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using Fps = std::vector<std::optional<double>>;
constexpr auto none = std::nullopt;

struct StatsCase {
    const char* name;
    Fps fps;
    int count;
    std::optional<double> mean, min, max, stddev;
};

TEST(Statistics, RowFiguresFromKnownFrameRates) {
    const StatsCase cases[] = {
        {"one run", {61.23}, 1, 61.23, 61.23, 61.23, none},
        {"three runs", {60.0, 62.0, 64.0}, 3, 62.0, 60.0, 64.0, 2.0},
        {"unordered, exact mean",
         {61.5, 59.25, 60.25},
         3,
         60.333333333333336,
         59.25,
         61.5,
         std::sqrt(61.0 / 48.0)},
        {"runs without result are left out",
         {none, 50.0, none, 54.0},
         2,
         52.0,
         50.0,
         54.0,
         2.8284271247461903},
        {"all runs without result", {none, none}, 0, none, none, none, none},
        {"no runs", {}, 0, none, none, none, none},
        {"equal runs spread nothing", {45.0, 45.0}, 2, 45.0, 45.0, 45.0, 0.0},
    };
    for (const StatsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RowStatistics s = ComputeStatistics(c.fps);
        EXPECT_EQ(s.Count, c.count);
        for (const auto& [got, want] : {std::pair{s.Mean, c.mean}, std::pair{s.Min, c.min},
                                        std::pair{s.Max, c.max}, std::pair{s.StdDev, c.stddev}}) {
            ASSERT_EQ(got.has_value(), want.has_value());
            if (want) {
                EXPECT_NEAR(*got, *want, 1e-12);
            }
        }
    }
}

TEST(Statistics, ReportAverageIsWhatTheReportShows) {
    struct Case {
        const char* name;
        std::vector<std::optional<int>> scores;
        int runCount;
        std::optional<int> average;
    } const cases[] = {
        {"truncated, as the report divides", {61, 62, 62}, 3, 61},
        {"one run per row shows no average", {61}, 1, none},
        {"a middle run without result still divides by the count", {60, none, 60}, 3, 40},
        {"a last run without result writes no average", {60, 60, none}, 3, none},
        {"all runs without result", {none, none}, 2, none},
        {"truncated toward zero", {1, 0}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReportAverage(c.scores, c.runCount), c.average);
    }
}

// The data files and the report must agree on which texts are numbers: every text the report
// rounds, the data files read, and to the same value before rounding.
TEST(Statistics, ScoreNumberReadsWhatTheReportRounds) {
    struct Case {
        const char* text;
        const char* locale;
        std::optional<double> value;
    } const cases[] = {
        {"61.23", "en_US", 61.23}, {"61,23", "en_US", 61.23},  {"61.5", "de_DE", 61.5},
        {"61,5", "de_DE", 61.5},   {"44.5", "C", 44.5},        {"", "en_US", none},
        {"abc", "de_DE", none},    {"1,000.5", "en_US", none}, {"inf", "C", none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QLocale locale(QString::fromLatin1(c.locale));
        const std::optional<double> value = ScoreNumber(QString::fromLatin1(c.text), locale);
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.value);
        }
        const std::optional<int> rounded = ConvertScore(QString::fromLatin1(c.text), locale);
        EXPECT_EQ(rounded.has_value(), value.has_value());
        if (rounded && value) {
            EXPECT_LE(std::fabs(*rounded - *value), 0.5);
        }
    }
}

TEST(Statistics, PercentDifferenceAgainstTheReference) {
    EXPECT_DOUBLE_EQ(*PercentDifference(110.0, 100.0), 10.0);
    EXPECT_DOUBLE_EQ(*PercentDifference(75.0, 100.0), -25.0);
    EXPECT_EQ(PercentDifference(10.0, 0.0), std::nullopt);
    EXPECT_EQ(PercentDifference(10.0, -5.0), std::nullopt);
}

} // namespace
