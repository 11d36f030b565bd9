#include "results/FrameFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The nearest-rank percentile of n values: the value at rank ceil(p / 100 * n), counted from 1.
std::size_t nearestRank(double percent, std::size_t n) {
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(n) - 1e-9);
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::max(rank, 1.0)), 1, n);
}

// The mean of the values from `first` on.
double meanFrom(const std::vector<float>& values, std::size_t first) {
    double sum = 0;
    for (std::size_t i = first; i < values.size(); ++i)
        sum += values[i];
    return sum / static_cast<double>(values.size() - first);
}

} // namespace

std::optional<FrameFigures> ComputeFrameFigures(std::span<const float> frameMs) {
    const std::size_t n = frameMs.size();
    if (n == 0)
        return std::nullopt;
    double total = 0;
    for (const float ms : frameMs)
        total += ms;
    if (!(total > 0) || !std::isfinite(total))
        return std::nullopt;

    // One copy, ordered piece by piece: the slowest 1 % at the top, its rank in place.
    std::vector<float> v(frameMs.begin(), frameMs.end());
    const std::size_t rank99 = nearestRank(99.0, n);
    const std::size_t rank999 = nearestRank(99.9, n);
    const std::size_t slowest1 = std::max<std::size_t>(1, (n + 99) / 100);
    const std::size_t slowest01 = std::max<std::size_t>(1, (n + 999) / 1000);
    const std::size_t medianIndex = (n - 1) / 2;

    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(medianIndex), v.end());
    double median = v[medianIndex];
    if (n % 2 == 0)
        median = (median + *std::min_element(
                               v.begin() + static_cast<std::ptrdiff_t>(medianIndex) + 1, v.end())) /
                 2;
    // Everything from the 1 % boundary up is ordered: the ranks and the slowest frames.
    const std::size_t top = std::min(n - slowest1, rank99 - 1);
    std::nth_element(v.begin() + static_cast<std::ptrdiff_t>(medianIndex),
                     v.begin() + static_cast<std::ptrdiff_t>(top), v.end());
    std::sort(v.begin() + static_cast<std::ptrdiff_t>(top), v.end());

    FrameFigures f;
    f.Frames = static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
    f.AverageFps = 1000.0 * static_cast<double>(n) / total;
    f.Percentile1LowFps = 1000.0 / v[rank99 - 1];
    f.Percentile01LowFps = 1000.0 / v[rank999 - 1];
    f.Average1LowFps = 1000.0 / meanFrom(v, n - slowest1);
    f.Average01LowFps = 1000.0 / meanFrom(v, n - slowest01);
    f.SlowestFrameMs = v[n - 1];
    f.MedianFrameMs = median;
    double stutterTime = 0;
    for (const float ms : frameMs) {
        if (ms > 2 * median) {
            ++f.Stutters;
            stutterTime += ms;
        }
    }
    f.StutterTimeShare = stutterTime / total;
    return f;
}

std::optional<FrameFigures> MeanFrameFigures(const std::vector<std::optional<FrameFigures>>& runs) {
    FrameFigures sum;
    double frames = 0;
    double stutters = 0;
    int count = 0;
    for (const std::optional<FrameFigures>& run : runs) {
        if (!run)
            continue;
        ++count;
        frames += run->Frames;
        stutters += run->Stutters;
        sum.AverageFps += run->AverageFps;
        sum.Percentile1LowFps += run->Percentile1LowFps;
        sum.Percentile01LowFps += run->Percentile01LowFps;
        sum.Average1LowFps += run->Average1LowFps;
        sum.Average01LowFps += run->Average01LowFps;
        sum.SlowestFrameMs += run->SlowestFrameMs;
        sum.MedianFrameMs += run->MedianFrameMs;
        sum.StutterTimeShare += run->StutterTimeShare;
    }
    if (count == 0)
        return std::nullopt;
    const double c = count;
    FrameFigures mean;
    mean.Frames = static_cast<int>(std::lround(frames / c));
    mean.Stutters = static_cast<int>(std::lround(stutters / c));
    mean.AverageFps = sum.AverageFps / c;
    mean.Percentile1LowFps = sum.Percentile1LowFps / c;
    mean.Percentile01LowFps = sum.Percentile01LowFps / c;
    mean.Average1LowFps = sum.Average1LowFps / c;
    mean.Average01LowFps = sum.Average01LowFps / c;
    mean.SlowestFrameMs = sum.SlowestFrameMs / c;
    mean.MedianFrameMs = sum.MedianFrameMs / c;
    mean.StutterTimeShare = sum.StutterTimeShare / c;
    return mean;
}

DemoFrames SelectDemoFrames(std::span<const LoggedFrame> log, double demoStartSeconds,
                            double demoSeconds) {
    DemoFrames demo;
    if (!(demoSeconds > 0))
        return demo;
    const double demoEnd = demoStartSeconds + demoSeconds;
    double lastAt = demoStartSeconds;
    for (const LoggedFrame& frame : log) {
        if (frame.AtSeconds <= demoStartSeconds || frame.AtSeconds > demoEnd)
            continue;
        demo.FrameMs.push_back(frame.Ms);
        lastAt = std::max<double>(lastAt, frame.AtSeconds);
    }
    // A log that goes on past the demo covered all of it.
    const bool reachesEnd = !log.empty() && log.back().AtSeconds >= demoEnd;
    demo.Share = reachesEnd ? 1.0 : std::clamp((lastAt - demoStartSeconds) / demoSeconds, 0.0, 1.0);
    demo.Partial = demo.Share < 1.0;
    return demo;
}
