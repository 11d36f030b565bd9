#include "run/RunTimeline.h"

#include "platform/LargePages.h"

#include <algorithm>
#include <cmath>

namespace {

// How far a log may end before the demo's end or start after its start and still count as
// covering it: the file's time and the result's are a frame or two apart.
constexpr double kCoverSlack = 0.1;

} // namespace

void AddLogFile(RunTimeline& timeline, MangoHudLogRead read, double writtenSeconds) {
    if (!read.Frames || read.Frames->empty())
        return;
    timeline.NewerColumns = timeline.NewerColumns || read.NewerColumns;
    const std::vector<LoggedFrame>& frames = *read.Frames;
    // From the last log of the file back: each starts where its last frame says, and ends
    // where the next one starts.
    std::vector<double> starts(read.Parts.size(), 0);
    double end = writtenSeconds;
    for (std::size_t p = read.Parts.size(); p-- > 0;) {
        const MangoHudLogPart& part = read.Parts[p];
        if (part.Count == 0) {
            starts[p] = end;
            continue;
        }
        starts[p] = end - frames[part.First + part.Count - 1].AtSeconds;
        end = starts[p];
    }
    // The frames are moved onto the run's clock where they are: a long log is held once.
    std::vector<LoggedFrame>& moved = *read.Frames;
    for (std::size_t p = 0; p < read.Parts.size(); ++p) {
        const MangoHudLogPart& part = read.Parts[p];
        if (part.Count == 0)
            continue;
        const LoggedFrame& first = moved[part.First];
        const LoggedFrame& last = moved[part.First + part.Count - 1];
        timeline.Covered.emplace_back(starts[p] + first.AtSeconds - first.Ms / 1000.0,
                                      starts[p] + last.AtSeconds);
        for (std::size_t i = part.First; i < part.First + part.Count; ++i)
            moved[i].AtSeconds = static_cast<float>(starts[p] + moved[i].AtSeconds);
    }
    if (timeline.Frames.empty())
        timeline.Frames = std::move(moved);
    else
        timeline.Frames.insert(timeline.Frames.end(), moved.begin(), moved.end());
    // The samples too are moved onto the run's clock where they are.
    std::vector<SensorSample>& samples = read.Sensors;
    std::size_t kept = 0;
    for (SensorSample& sample : samples) {
        if (sample.Part >= starts.size())
            continue;
        sample.AtSeconds = static_cast<float>(starts[sample.Part] + sample.AtSeconds);
        sample.Part = 0;
        samples[kept++] = sample;
    }
    samples.resize(kept);
    if (timeline.Sensors.empty())
        timeline.Sensors = std::move(samples);
    else
        timeline.Sensors.insert(timeline.Sensors.end(), samples.begin(), samples.end());
}

void OrderTimeline(RunTimeline& timeline) {
    const auto byTime = [](const auto& a, const auto& b) { return a.AtSeconds < b.AtSeconds; };
    if (!std::is_sorted(timeline.Frames.begin(), timeline.Frames.end(), byTime))
        std::stable_sort(timeline.Frames.begin(), timeline.Frames.end(), byTime);
    if (!std::is_sorted(timeline.Sensors.begin(), timeline.Sensors.end(), byTime))
        std::stable_sort(timeline.Sensors.begin(), timeline.Sensors.end(), byTime);
    std::sort(timeline.Covered.begin(), timeline.Covered.end());
}

DemoFrames TimelineDemoFrames(const RunTimeline& timeline, double demoEndSeconds,
                              double demoSeconds, std::optional<qint64> demoFrames) {
    DemoFrames demo;
    if (!(demoSeconds > 0))
        return demo;
    const double demoStart = demoEndSeconds - demoSeconds;
    // The part of the demo the logs cover; near its edges counts as reaching them.
    double covered = 0;
    for (const auto& [from, to] : timeline.Covered) {
        const double a = std::max(from, demoStart);
        const double b = std::min(to, demoEndSeconds);
        if (b > a)
            covered += b - a;
    }
    const bool whole =
        std::any_of(timeline.Covered.begin(), timeline.Covered.end(), [&](const auto& span) {
            return span.first <= demoStart + kCoverSlack &&
                   span.second >= demoEndSeconds - kCoverSlack;
        });
    demo.Share = whole ? 1.0 : std::clamp(covered / demoSeconds, 0.0, 1.0);
    demo.Partial = !whole;

    const std::vector<LoggedFrame>& frames = timeline.Frames;
    if (whole && demoFrames && *demoFrames > 0) {
        // The demo's own count, back from its end: no loading frame, no demo frame left out.
        const auto after = std::upper_bound(
            frames.begin(), frames.end(), demoEndSeconds + kCoverSlack,
            [](double at, const LoggedFrame& frame) { return at < frame.AtSeconds; });
        const auto count = std::min<std::ptrdiff_t>(*demoFrames, after - frames.begin());
        auto first = after - count;
        // Should the two programs count a frame differently, none that ended before the demo
        // comes in (the result is written after MangoHud's last row: the log's times are, if
        // anything, a little early).
        while (first != after && first->AtSeconds <= demoStart + 1e-3)
            ++first;
        demo.FrameMs.reserve(static_cast<std::size_t>(after - first));
        platform::AdviseLargePages(demo.FrameMs.data(), demo.FrameMs.capacity() * sizeof(float));
        for (auto it = first; it != after; ++it)
            demo.FrameMs.push_back(it->Ms);
        return demo;
    }
    DemoFrames byTime = SelectDemoFrames(frames, demoStart, demoSeconds, demoFrames);
    demo.FrameMs = std::move(byTime.FrameMs);
    return demo;
}
