#include "platform/Clock.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#define VARNHOLT_HAS_TSC 1
#endif

namespace platform {

namespace {

constexpr qint64 CounterHz = 10000000; // one count every 100 ns

class NativeCounters final : public SpeedCounters {
public:
    std::optional<qint64> CounterFrequency() override {
        timespec ts{};
        if (clock_getres(CLOCK_MONOTONIC_RAW, &ts) != 0)
            return std::nullopt;
        return CounterHz;
    }

    qint64 Counter() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
        return qint64(ts.tv_sec) * CounterHz + ts.tv_nsec / 100;
    }

    qint64 Stamp() override {
#ifdef VARNHOLT_HAS_TSC
        return qint64(__rdtsc());
#else
        return 0;
#endif
    }

    std::optional<ThreadScheduling> ReadPriority() override {
        int policy = 0;
        sched_param param{};
        if (pthread_getschedparam(pthread_self(), &policy, &param) != 0)
            return std::nullopt;
        return ThreadScheduling{policy, param.sched_priority};
    }

    void RaiseToTimeCritical() override {
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_FIFO);
        // Refused without the right to real-time scheduling; the thread then stays as it is.
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }

    void RestorePriority(const ThreadScheduling& saved) override {
        sched_param param{};
        param.sched_priority = saved.priority;
        pthread_setschedparam(pthread_self(), saved.policy, &param);
    }
};

} // namespace

SpeedCounters& SystemCounters() {
    static NativeCounters counters;
    return counters;
}

} // namespace platform
