#pragma once

#include "platform/AdapterAccess.h"
#include "platform/Clock.h"
#include "platform/CpuId.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

// A processor that answers from recorded registers; unrecorded leaves answer zeros.
class RecordedCpuId : public platform::CpuIdSource {
public:
    bool available = true;
    std::map<std::pair<quint32, quint32>, platform::CpuIdRegisters> leaves;

    bool Available() override { return available; }
    platform::CpuIdRegisters Query(quint32 leaf, quint32 subleaf) override {
        asked.push_back(leaf);
        const auto it = leaves.find({leaf, subleaf});
        return it == leaves.end() ? platform::CpuIdRegisters{} : it->second;
    }

    RecordedCpuId& set(quint32 leaf, platform::CpuIdRegisters r, quint32 subleaf = 0) {
        leaves[{leaf, subleaf}] = r;
        return *this;
    }

    std::vector<quint32> asked;
};

// Four characters of text as one register, in the order the processor stores them.
inline quint32 chars(const char* four) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(static_cast<unsigned char>(four[i])) << (8 * i);
    return value;
}

// Leaf 0 for a vendor text of 12 characters (EBX, EDX, ECX).
inline platform::CpuIdRegisters vendorLeaf(const char* vendor, quint32 highest = 2) {
    return {highest, chars(vendor), chars(vendor + 8), chars(vendor + 4)};
}

// Leaves 0x80000002-4 holding a brand text, zero-padded to 48 bytes.
inline void setBrand(RecordedCpuId& cpu, const QByteArray& brand) {
    QByteArray padded = brand;
    padded.resize(48, '\0');
    for (quint32 n = 0; n < 3; ++n) {
        const char* p = padded.constData() + 16 * n;
        cpu.set(0x80000002 + n, {chars(p), chars(p + 4), chars(p + 8), chars(p + 12)});
    }
}

// A 10 MHz counter that moves ten counts per reading, and a stamp that runs at the clock
// scripted for the current try (the last one repeats): whole MHz give whole cycle counts. Tries are
// counted by the priority reads, which every try makes whether or not the priority can be read.
class ScriptedCounters : public platform::SpeedCounters {
public:
    explicit ScriptedCounters(std::vector<double> mhzPerTry) : mhz_(std::move(mhzPerTry)) {}

    std::optional<qint64> frequency = 10000000;
    bool priorityReadable = true;
    int tries = 0;
    int raises = 0;
    int restores = 0;
    bool raised = false;
    bool nestedRaise = false;
    int restoredPolicy = -1;

    std::optional<qint64> CounterFrequency() override { return frequency; }
    qint64 Counter() override {
        last_ = next_;
        next_ += 10;
        return last_;
    }
    qint64 Stamp() override {
        const double mhz = mhz_[std::min<std::size_t>(tries, mhz_.size()) - 1];
        // Cycles per count of a 10 MHz counter.
        return std::llround(double(last_) * mhz / 10.0);
    }
    std::optional<platform::ThreadScheduling> ReadPriority() override {
        ++tries;
        if (!priorityReadable)
            return std::nullopt;
        return platform::ThreadScheduling{7, 3};
    }
    void RaiseToTimeCritical() override {
        nestedRaise = nestedRaise || raised;
        raised = true;
        ++raises;
    }
    void RestorePriority(const platform::ThreadScheduling& saved) override {
        raised = false;
        ++restores;
        restoredPolicy = saved.policy;
    }

private:
    std::vector<double> mhz_;
    qint64 next_ = 1000;
    qint64 last_ = 0;
};

// A display driver that knows the escapes, with answers set by the test; every question is
// written down.
class ScriptedAdapter : public platform::AdapterAccess {
public:
    std::optional<platform::RadeonClockAnswer> radeonClocks;
    bool radeonMemory = false;
    std::vector<platform::DisplayDeviceRecord> devices;
    std::vector<std::optional<platform::SlotClockAnswer>> slotClocks =
        std::vector<std::optional<platform::SlotClockAnswer>>(6);
    QMap<QString, QMap<QString, QString>> keys;
    QStringList asked;

    std::optional<platform::RadeonClockAnswer> RadeonClockQuery() override {
        asked << QStringLiteral("clocks");
        return radeonClocks;
    }
    bool RadeonMemoryQuery() override {
        asked << QStringLiteral("memory");
        return radeonMemory;
    }
    std::optional<platform::DisplayDeviceRecord> DisplayDevice(int index) override {
        asked << QStringLiteral("device %1").arg(index);
        if (index < 0 || std::size_t(index) >= devices.size())
            return std::nullopt;
        return devices[std::size_t(index)];
    }
    std::optional<platform::SlotClockAnswer> DriverClockQuery(int slot) override {
        asked << QStringLiteral("slot %1").arg(slot);
        return slotClocks[std::size_t(slot)];
    }
    std::optional<QMap<QString, QString>> AdapterKey(const QString& path) override {
        asked << path;
        if (!keys.contains(path))
            return std::nullopt;
        return keys.value(path);
    }
};
