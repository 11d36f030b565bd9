#include "results/Statistics.h"

#include <algorithm>
#include <cmath>

namespace {

std::optional<double> toNumber(const QString& text, QLocale locale) {
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

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
    long long sum = 0;
    for (const std::optional<int>& score : roundedScores)
        if (score)
            sum += *score;
    return static_cast<int>(sum / runCount);
}

std::optional<double> ScoreNumber(const QString& text, const QLocale& locale) {
    if (const std::optional<double> value = toNumber(text, locale))
        return value;
    QString other = text;
    const qsizetype comma = other.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        other[comma] = QLatin1Char('.');
    } else {
        const qsizetype point = other.indexOf(QLatin1Char('.'));
        if (point < 0)
            return std::nullopt;
        other[point] = QLatin1Char(',');
    }
    return toNumber(other, locale);
}

std::optional<double> PercentDifference(double value, double reference) {
    if (!(reference > 0))
        return std::nullopt;
    return (value - reference) / reference * 100.0;
}
