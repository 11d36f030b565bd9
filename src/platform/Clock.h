#pragma once

#include <QtGlobal>
#include <optional>

// The counters the processor clock measurement reads, and the priority it runs at, behind an
// interface so that the measurement can be run against a scripted clock.
namespace platform {

// A thread's scheduling as read, to be put back later.
struct ThreadScheduling {
    int policy = 0;
    int priority = 0;
};

class SpeedCounters {
public:
    virtual ~SpeedCounters() = default;
    // Counts per second of the high-resolution counter; nothing when there is none.
    virtual std::optional<qint64> CounterFrequency() = 0;
    virtual qint64 Counter() = 0;
    // The processor's time-stamp counter.
    virtual qint64 Stamp() = 0;
    // The calling thread's scheduling; nothing when it cannot be read.
    virtual std::optional<ThreadScheduling> ReadPriority() = 0;
    // Raises the calling thread as far as it may go for a short busy measurement.
    virtual void RaiseToTimeCritical() = 0;
    virtual void RestorePriority(const ThreadScheduling& saved) = 0;
};

// The monotonic raw clock read as a counter of 10 MHz, the time-stamp counter on x86 (0
// elsewhere), and the thread's real scheduling: time-critical is SCHED_FIFO at its highest
// priority where we are permitted, else the thread is left as it is.
SpeedCounters& SystemCounters();

} // namespace platform
