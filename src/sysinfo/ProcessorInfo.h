#pragma once

#include "platform/Clock.h"
#include "platform/CpuId.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Processor identification through the identification instruction, and the measurement of
// the processor's clock against the high-resolution counter.

enum class CpuVendor { Unknown, Intel, AMD, Cyrix, Centaur, Transmeta };

// The clock measurement's record; all zero when no measurement ran.
struct ClockMeasurement {
    quint32 RawMhz = 0;     // MHz
    quint32 NominalMhz = 0; // MHz, rounded to the clocks processors are sold at
    quint32 Cycles = 0;     // cycles counted, low 32 bits
    qint64 ElapsedUs = 0;   // microseconds elapsed, rounded
};

struct CpuIdentity {
    bool HasInstruction = false;
    QByteArray VendorIDString; // 12 characters
    CpuVendor Vendor = CpuVendor::Unknown;
    int Family = 0;
    int Model = 0;
    int Stepping = 0;
    quint32 Features = 0; // leaf 1, EDX
    int BrandIndex = 0;   // leaf 1, EBX bits 0-7
    int L2CacheKB = 0;
    QByteArray CpuName = QByteArray(48, '\0'); // 8-bit, zero-filled
    ClockMeasurement FrequencyInfo;

    // The 48-byte name up to its first zero byte, leading blanks kept.
    QString Name() const;
};

// The name a vendor's fixed table gives when the processor tells none; empty where the table
// names no entry. The signs 0xAE and 0x99 of the 8-bit names are "®" and "™".
QString FixedProcessorName(CpuVendor vendor, int family, int model, int l2CacheKB, int brandIndex);

// Second-level cache size in KB of one leaf-2 cache descriptor; -1 for a descriptor that says
// nothing about the second-level cache (0x40 says there is none: 0).
int SecondLevelCacheOfDescriptor(quint8 descriptor);
// The second-level cache the processor reports through its leaf-2 descriptors, or through
// leaf 4 when a descriptor sends it there; 0 when nothing is reported.
int SecondLevelCacheKB(platform::CpuIdSource& cpuid, quint32 highestLeaf);

// Clears the record, identifies the processor and, when it has a time-stamp counter,
// measures its clock.
CpuIdentity IdentifyProcessor(platform::CpuIdSource& cpuid, platform::SpeedCounters& counters);

// Counts stamp cycles over 1000 counts of the high-resolution counter, at least three times
// and up to twenty until the last three agree, at time-critical priority for each try.
ClockMeasurement CpuSpeedMeasure(platform::SpeedCounters& counters);

// The nearest of the usual clock endings (.00, .20, .33, .50, .60, .66, .80, .90 of a hundred
// MHz); a tie goes up.
quint32 RoundFrequency(quint32 mhz);

// Round to nearest, ties to even, clamped to the 64-bit range (NaN gives 0).
qint64 RoundHalfEven(double value);
