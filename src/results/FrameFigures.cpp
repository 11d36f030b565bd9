#include "results/FrameFigures.h"

#include "platform/LargePages.h"
#include "results/FrameLimits.h"

#include <QLocale>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The nearest-rank percentile of n values: the value at rank ceil(p / 100 * n), counted from 1.
std::size_t nearestRank(double percent, std::size_t n) {
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(n) - 1e-9);
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::max(rank, 1.0)), 1, n);
}

// Order statistics of frame times without sorting them or copying them all: a count of the
// values by their top 16 bits (for floats that are not negative, the bits order as the values
// do) finds the group each rank asked for falls in; one pass over the values then copies the
// members of those groups (in the values' order) and sums the values above them, and each rank
// is found by ordering its group alone.
class Ranks {
public:
    explicit Ranks(std::span<const float> values) : counts_(std::size_t(1) << 16) {
        for (const float v : values)
            ++counts_[key(v)];
    }

    // The value at `index` (from 0) in ascending order; the sum of the values from `index` on
    // in ascending order (the largest ones). Each gives the number of its answer.
    std::size_t AskAt(std::size_t index) { return ask(index, false); }
    std::size_t AskSumFrom(std::size_t index) { return ask(index, true); }

    // Answers every question asked, over the values counted.
    void Answer(std::span<const float> values) {
        locateGroups();
        // The groups asked for, each with a slot for its members.
        std::vector<std::uint8_t> slotOf(counts_.size(), 0);
        std::vector<std::vector<float>> members;
        std::vector<int> users;
        for (Question& q : questions_) {
            if (slotOf[q.Group] == 0) {
                members.emplace_back().reserve(counts_[q.Group]);
                users.push_back(0);
                slotOf[q.Group] = static_cast<std::uint8_t>(members.size());
            }
            q.Slot = slotOf[q.Group] - 1;
            ++users[static_cast<std::size_t>(q.Slot)];
        }
        std::vector<Question*> sums;
        for (Question& q : questions_)
            if (q.Sum)
                sums.push_back(&q);
        for (const float v : values) {
            const std::uint32_t k = key(v);
            if (const std::uint8_t slot = slotOf[k])
                members[slot - 1u].push_back(v);
            for (Question* q : sums)
                if (k > q->Group)
                    q->Answer += v;
        }
        for (Question& q : questions_) {
            const auto slot = static_cast<std::size_t>(q.Slot);
            // A group asked for again is ordered in a copy: each question orders it from the
            // values' order.
            std::vector<float> group = --users[slot] > 0 ? members[slot] : std::move(members[slot]);
            const auto nth = group.begin() + static_cast<std::ptrdiff_t>(q.Index - q.Below);
            std::nth_element(group.begin(), nth, group.end());
            if (!q.Sum) {
                q.Answer = *nth;
                continue;
            }
            for (auto it = nth; it != group.end(); ++it)
                q.Answer += *it;
        }
    }

    double Answer(std::size_t question) const { return questions_[question].Answer; }

private:
    struct Question {
        std::size_t Index = 0;
        bool Sum = false;
        std::uint32_t Group = 0; // the group holding the value at Index
        std::size_t Below = 0;   // how many values lie in lower groups
        int Slot = 0;
        double Answer = 0;
    };

    static std::uint32_t key(float v) { return v == 0 ? 0 : std::bit_cast<std::uint32_t>(v) >> 16; }

    std::size_t ask(std::size_t index, bool sum) {
        questions_.push_back({index, sum});
        return questions_.size() - 1;
    }

    void locateGroups() {
        for (Question& q : questions_) {
            std::size_t below = 0;
            for (std::uint32_t group = 0;; ++group) {
                if (below + counts_[group] > q.Index) {
                    q.Group = group;
                    q.Below = below;
                    break;
                }
                below += counts_[group];
            }
        }
    }

    std::vector<std::uint32_t> counts_;
    std::vector<Question> questions_;
};

} // namespace

std::optional<FrameFigures> ComputeFrameFigures(std::span<const float> frameMs) {
    const std::size_t n = frameMs.size();
    if (n == 0)
        return std::nullopt;
    double total = 0;
    float slowest = 0;
    for (const float ms : frameMs) {
        if (!(ms >= 0) || !std::isfinite(ms))
            return std::nullopt;
        total += ms;
        slowest = std::max(slowest, ms);
    }
    if (!(total > 0) || !std::isfinite(total))
        return std::nullopt;

    Ranks ranks(frameMs);
    const std::size_t slowest1 = std::max<std::size_t>(1, (n + 99) / 100);
    const std::size_t slowest01 = std::max<std::size_t>(1, (n + 999) / 1000);
    const std::size_t medianLow = ranks.AskAt((n - 1) / 2);
    const std::size_t medianHigh = ranks.AskAt(n / 2);
    const std::size_t p1 = ranks.AskAt(nearestRank(99.0, n) - 1);
    const std::size_t p01 = ranks.AskAt(nearestRank(99.9, n) - 1);
    const std::size_t sum1 = ranks.AskSumFrom(n - slowest1);
    const std::size_t sum01 = ranks.AskSumFrom(n - slowest01);
    ranks.Answer(frameMs);
    double median = static_cast<float>(ranks.Answer(medianLow));
    if (n % 2 == 0)
        median = (median + static_cast<float>(ranks.Answer(medianHigh))) / 2;

    FrameFigures f;
    f.Frames = static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max()));
    f.AverageFps = 1000.0 * static_cast<double>(n) / total;
    f.Percentile1LowFps = 1000.0 / static_cast<float>(ranks.Answer(p1));
    f.Percentile01LowFps = 1000.0 / static_cast<float>(ranks.Answer(p01));
    f.Average1LowFps = 1000.0 * static_cast<double>(slowest1) / ranks.Answer(sum1);
    f.Average01LowFps = 1000.0 * static_cast<double>(slowest01) / ranks.Answer(sum01);
    f.SlowestFrameMs = slowest;
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

RecordableFigures RecordableFrameFigures(std::span<const float> frameMs) {
    RecordableFigures r;
    if (frameMs.empty()) {
        r.Missing = QStringLiteral("no frames");
        return r;
    }
    if (frameMs.size() > kMaxFramesPerRun) {
        r.Missing = QStringLiteral("more than %1 frames").arg(kMaxFramesPerRun);
        return r;
    }
    for (const float ms : frameMs) {
        if (!(ms >= 0) || !(ms <= kMaxFrameMs)) {
            r.Missing = QStringLiteral("a frame time of %1 ms (not from 0 to one hour)")
                            .arg(QString::number(static_cast<double>(ms), 'g',
                                                 QLocale::FloatingPointShortest));
            return r;
        }
    }
    r.Figures = ComputeFrameFigures(frameMs);
    const FrameFigures* f = r.Figures ? &*r.Figures : nullptr;
    if (!f || !std::isfinite(f->AverageFps) || !std::isfinite(f->Percentile1LowFps) ||
        !std::isfinite(f->Percentile01LowFps) || !std::isfinite(f->Average1LowFps) ||
        !std::isfinite(f->Average01LowFps) || !std::isfinite(f->StutterTimeShare)) {
        r.Figures.reset();
        r.Missing = QStringLiteral("the frame times are (nearly) all zero");
    }
    return r;
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
                            double demoSeconds, std::optional<qint64> demoFrames) {
    DemoFrames demo;
    if (!(demoSeconds > 0))
        return demo;
    const double demoEnd = demoStartSeconds + demoSeconds;
    const double coveredFrom = demoStartSeconds;
    const double averageFrame =
        demoFrames && *demoFrames > 0 ? demoSeconds / static_cast<double>(*demoFrames) : 0;
    demoStartSeconds += std::max(kDemoStartUncertainty, averageFrame / 4);
    const auto inDemo = [&](const LoggedFrame& frame) {
        return frame.AtSeconds > demoStartSeconds && frame.AtSeconds <= demoEnd;
    };
    // Counted first: the frames are held once, not grown into.
    demo.FrameMs.reserve(static_cast<std::size_t>(std::count_if(log.begin(), log.end(), inDemo)));
    platform::AdviseLargePages(demo.FrameMs.data(), demo.FrameMs.capacity() * sizeof(float));
    double lastAt = coveredFrom;
    for (const LoggedFrame& frame : log) {
        if (!inDemo(frame))
            continue;
        demo.FrameMs.push_back(frame.Ms);
        lastAt = std::max<double>(lastAt, frame.AtSeconds);
    }
    // A log that goes on past the demo covered all of it.
    const bool reachesEnd = !log.empty() && log.back().AtSeconds >= demoEnd;
    demo.Share = reachesEnd ? 1.0 : std::clamp((lastAt - coveredFrom) / demoSeconds, 0.0, 1.0);
    demo.Partial = demo.Share < 1.0;
    return demo;
}
