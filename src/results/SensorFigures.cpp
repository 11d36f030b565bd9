#include "results/SensorFigures.h"

#include <algorithm>
#include <cmath>

std::optional<SensorFigure> SensorFigureOf(const QString& name, std::span<const float> values) {
    double sum = 0;
    double peak = 0;
    std::size_t count = 0;
    bool nonZero = false;
    for (const float v : values) {
        if (!std::isfinite(v))
            continue;
        sum += v;
        peak = count == 0 ? v : std::max<double>(peak, v);
        ++count;
        nonZero = nonZero || v != 0;
    }
    if (count == 0 || !nonZero)
        return std::nullopt;
    return SensorFigure{name, sum / static_cast<double>(count), peak};
}

bool ClockFell(std::span<const float> seconds, std::span<const float> clock) {
    const std::size_t n = std::min(seconds.size(), clock.size());
    std::vector<float> known;
    for (std::size_t i = 0; i < n; ++i)
        if (std::isfinite(clock[i]) && clock[i] > 0)
            known.push_back(clock[i]);
    if (known.empty())
        return false;
    const auto middle = known.begin() + static_cast<std::ptrdiff_t>(known.size() / 2);
    std::nth_element(known.begin(), middle, known.end());
    double median = *middle;
    if (known.size() % 2 == 0)
        median = (median + *std::max_element(known.begin(), middle)) / 2;
    const double floor = kClockFallShare * median;
    std::optional<float> fellAt;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(clock[i]))
            continue;
        if (clock[i] < floor) {
            if (!fellAt)
                fellAt = seconds[i];
            continue;
        }
        if (fellAt && seconds[i] - *fellAt > kClockFallSeconds)
            return true;
        fellAt.reset();
    }
    return fellAt && n > 0 && seconds[n - 1] - *fellAt > kClockFallSeconds;
}

SensorTrace ThinnedTrace(SensorTrace trace) {
    const std::size_t n = trace.Seconds.size();
    if (n <= kMaxSensorTracePoints)
        return trace;
    const std::size_t step = (n + kMaxSensorTracePoints - 1) / kMaxSensorTracePoints;
    SensorTrace thin;
    for (std::size_t i = 0; i < n; i += step) {
        thin.Seconds.push_back(trace.Seconds[i]);
        thin.GpuClock.push_back(trace.GpuClock[i]);
        thin.CpuLoad.push_back(trace.CpuLoad[i]);
        thin.GpuLoad.push_back(trace.GpuLoad[i]);
    }
    return thin;
}
