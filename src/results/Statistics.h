#pragma once

#include <QtGlobal>
#include <optional>
#include <vector>

// Figures over the runs of one resolution row. Runs without a result are left out of every
// figure but still count for the report's average, which divides by the run count.
struct RowStatistics {
    int Count = 0;              // runs with a result
    std::optional<double> Mean; // exact; nothing without a result
    std::optional<double> Min;
    std::optional<double> Max;
    std::optional<double> StdDev; // sample standard deviation; needs two results
};

RowStatistics ComputeStatistics(const std::vector<std::optional<double>>& fps);

// The row's average: the sum divided by the run count, truncated toward zero (the sum of a
// row's scores can pass the range of one score). Raises AppError for a run count below 1.
int AverageScore(qint64 sum, int runCount);

// The integer average the report shows for a row: the rounded scores summed and divided by
// the run count, truncated. Nothing where the report shows none: a series of one run per row,
// or a row whose last run left no result.
std::optional<int> ReportAverage(const std::vector<std::optional<int>>& roundedScores,
                                 int runCount);

// How much `value` is above (positive) or below `reference`, in per cent of the reference.
// Nothing when the reference is not positive.
std::optional<double> PercentDifference(double value, double reference);
