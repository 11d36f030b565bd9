#pragma once

#include "platform/Clock.h"
#include "platform/CpuId.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// The machine facts of the report's "System Information" block, in parts that are created on
// first use and kept. Nothing is cached between reads: every read asks the system again, and
// every processor read identifies the processor and measures its clock afresh.

// PRETTY_NAME of an os-release file, its shell quoting undone; empty when it has none.
QString OsReleasePrettyName(const QByteArray& osRelease);

// Where the parts read from; the defaults are the machine's own.
struct ComputerInfoSources {
    std::function<QByteArray()> osRelease;
    std::function<quint64()> physicalMemory;
    platform::CpuIdSource* cpuid = nullptr;
    platform::SpeedCounters* counters = nullptr;

    static ComputerInfoSources System();
};

class OsInfo {
public:
    explicit OsInfo(std::function<QByteArray()> osRelease) : osRelease_(std::move(osRelease)) {}
    QString ProductName() const;

private:
    std::function<QByteArray()> osRelease_;
};

class RamInfo {
public:
    explicit RamInfo(std::function<quint64()> physicalMemory)
        : physicalMemory_(std::move(physicalMemory)) {}
    // Bytes, the full 64-bit figure.
    quint64 TotalPhysicalMemory() const { return physicalMemory_(); }

private:
    std::function<quint64()> physicalMemory_;
};

class CpuInfo {
public:
    CpuInfo(platform::CpuIdSource& cpuid, platform::SpeedCounters& counters)
        : cpuid_(cpuid), counters_(counters) {}
    QString Name() const;
    quint32 NominalMhz() const; // MHz

private:
    platform::CpuIdSource& cpuid_;
    platform::SpeedCounters& counters_;
};

class ComputerInfo {
public:
    explicit ComputerInfo(ComputerInfoSources sources = ComputerInfoSources::System());
    ~ComputerInfo();

    OsInfo& OS();
    RamInfo& Memory();
    CpuInfo& CPU();

private:
    ComputerInfoSources sources_;
    std::unique_ptr<OsInfo> os_;
    std::unique_ptr<RamInfo> memory_;
    std::unique_ptr<CpuInfo> cpu_;
};
