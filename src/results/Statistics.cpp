#include "results/Statistics.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cmath>

RowStatistics ComputeStatistics(const std::vector<std::optional<double>>& fps) {
    std::vector<double> values;
    for (const std::optional<double>& value : fps)
        if (value)
            values.push_back(*value);
    RowStatistics s;
    s.Count = static_cast<int>(values.size());
    if (values.empty())
        return s;
    double sum = 0;
    for (const double v : values)
        sum += v;
    const double mean = sum / static_cast<double>(values.size());
    s.Mean = mean;
    s.Min = *std::min_element(values.begin(), values.end());
    s.Max = *std::max_element(values.begin(), values.end());
    if (values.size() >= 2) {
        double squares = 0;
        for (const double v : values)
            squares += (v - mean) * (v - mean);
        s.StdDev = std::sqrt(squares / static_cast<double>(values.size() - 1));
    }
    return s;
}

std::optional<int> ReportAverage(const std::vector<std::optional<int>>& roundedScores,
                                 int runCount) {
    if (runCount < 2 || roundedScores.empty() || !roundedScores.back())
        return std::nullopt;
    qint64 sum = 0;
    for (const std::optional<int>& score : roundedScores)
        if (score)
            sum += *score;
    return AverageScore(sum, runCount);
}

std::optional<double> PercentDifference(double value, double reference) {
    if (!(reference > 0))
        return std::nullopt;
    return (value - reference) / reference * 100.0;
}

int AverageScore(qint64 sum, int runCount) {
    if (runCount < 1)
        throw AppError(QStringLiteral("Division by zero"));
    return static_cast<int>(sum / runCount);
}
