#pragma once

#include <QString>
#include <QtGlobal>

// The machine facts of the report. Everything starts empty, clear or 0 and is overwritten only
// by the step that finds it out.
struct SystemFacts {
    // From the diagnostics report.
    QString AdapterName;
    QString DisplayMemory;
    QString DriverVersion;
    QString SoundDevice;
    // From the adapter probes.
    bool RadeonFound = false;
    bool DisplayClassFound = false;
    QString RadeonName;
    QString RadeonEngineClock;
    QString RadeonMemoryClock;
    QString BusType;
    QString MemoryType;
    QString DriverDescription;
    QString GpuClock;
    QString MemoryClock;
    // Processor, memory and operating system.
    QString OsProductName;
    quint64 TotalPhysicalMemory = 0; // bytes
    QString CpuName;
    quint32 CpuNormFreq = 0; // MHz
};
