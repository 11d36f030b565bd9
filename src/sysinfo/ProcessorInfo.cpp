#include "sysinfo/ProcessorInfo.h"

#include "sysinfo/AnsiText.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr quint32 TimeStampCounterFlag = 0x10;
constexpr quint32 ExtendedBase = 0x80000000;

QByteArray registerBytes(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

void writeName(CpuIdentity& info, qsizetype offset, const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size() && offset + i < info.CpuName.size(); ++i)
        info.CpuName[offset + i] = bytes[i];
}

QString intelName(int family, int model, int cache, int brand) {
    switch (family) {
    case 4: {
        switch (model) {
        case 1:
            return QStringLiteral("Intel 486DX Processor");
        case 2:
            return QStringLiteral("Intel 486SX Processor");
        case 3:
            return QStringLiteral("Intel DX2 Processor");
        case 5:
            return QStringLiteral("Intel SX2 Processor");
        case 7:
            return QStringLiteral("Write-Back Enhanced Intel DX2 Processor");
        case 8:
            return QStringLiteral("Intel DX4 Processor");
        default:
            return QStringLiteral("Intel 486 Processor");
        }
    }
    case 5:
        return QStringLiteral("Pentium");
    case 6:
        switch (model) {
        case 1:
            return QStringLiteral("Pentium Pro");
        case 3:
            return QStringLiteral("Pentium II");
        case 5:
            if (cache == 0)
                return QStringLiteral("Celeron");
            if (cache == 1024 || cache == 2048)
                return QStringLiteral("Pentium II Xeon");
            return QStringLiteral("Pentium II");
        case 6:
            if (cache == 0 || cache == 128)
                return QStringLiteral("Celeron");
            return QStringLiteral("Pentium II");
        case 7:
            if (cache == 1024 || cache == 2048)
                return QStringLiteral("Pentium III Xeon");
            return QStringLiteral("Pentium III");
        case 8:
            if (brand == 1)
                return QStringLiteral("Celeron");
            if (brand == 3)
                return QStringLiteral("Pentium III Xeon");
            return QStringLiteral("Pentium III");
        case 10:
            return QStringLiteral("Pentium III Xeon");
        case 11:
            return QStringLiteral("Pentium III");
        default:
            return QStringLiteral("P6 (Model %1)").arg(model);
        }
    case 15:
        if (brand == 1)
            return QStringLiteral("Celeron");
        if (brand == 14)
            return QStringLiteral("Xeon");
        return QStringLiteral("Pentium 4");
    default:
        return QStringLiteral("P%1").arg(family);
    }
}

QString amdName(int family, int model) {
    const QString registered = QStringLiteral("\u00AE");
    const QString trademark = QStringLiteral("\u2122");
    switch (family) {
    case 4:
        return QStringLiteral("Am486(R) or Am5x86");
    case 5:
        switch (model) {
        case 0:
        case 1:
        case 2:
        case 3:
            return QStringLiteral("AMD-K5 (Model %1)").arg(model);
        case 6:
        case 7:
            return QStringLiteral("AMD-K6") + registered + QStringLiteral(" (Model %1)").arg(model);
        case 8:
            return QStringLiteral("AMD-K6") + registered + QStringLiteral("-2 (Model 8)");
        case 9:
            return QStringLiteral("AMD-K6") + registered + QStringLiteral("-III (Model 9)");
        default:
            return QStringLiteral("Unknown AMD (Model %1)").arg(model);
        }
    case 6:
        switch (model) {
        case 1:
        case 2:
        case 4:
            return QStringLiteral("AMD Athlon") + trademark +
                   QStringLiteral(" (Model %1)").arg(model);
        case 3:
        case 7:
            return QStringLiteral("AMD Duron") + trademark +
                   QStringLiteral(" (Model %1)").arg(model);
        case 6:
        case 8:
        case 10:
            return QStringLiteral("AMD Athlon") + trademark +
                   QStringLiteral(" XP (Model %1)").arg(model);
        default:
            return QStringLiteral("Unknown AMD (Model %1)").arg(model);
        }
    case 8:
        return {};
    default:
        return QStringLiteral("Unknown AMD Chip");
    }
}

QString cyrixName(int family, int model) {
    switch (family) {
    case 4:
        return QStringLiteral("Cyrix MediaGX");
    case 5:
        if (model == 2)
            return QStringLiteral("Cyrix 6x86");
        if (model == 4)
            return QStringLiteral("Cyrix GXm");
        return {};
    case 6:
        return QStringLiteral("6x86MX");
    default:
        return QStringLiteral("%1x86").arg(family);
    }
}

CpuVendor vendorOf(const QByteArray& text) {
    if (text == "GenuineIntel")
        return CpuVendor::Intel;
    if (text == "AuthenticAMD")
        return CpuVendor::AMD;
    if (text == "CyrixInstead")
        return CpuVendor::Cyrix;
    if (text == "CentaurHauls")
        return CpuVendor::Centaur;
    if (text == "GenuineTMx86")
        return CpuVendor::Transmeta;
    return CpuVendor::Unknown;
}

// Whether the vendor's rule trusts the extended leaves, from the highest one reported.
bool hasExtendedLeaves(CpuVendor vendor, quint32 highestExtended) {
    switch (vendor) {
    case CpuVendor::Intel:
    case CpuVendor::Centaur:
        return highestExtended > ExtendedBase;
    case CpuVendor::AMD:
    case CpuVendor::Cyrix:
    case CpuVendor::Transmeta:
        return highestExtended != 0;
    case CpuVendor::Unknown:
        break;
    }
    return false;
}

// Wrapping 64-bit arithmetic: the sentinel frequencies may not overflow into undefined
// behaviour.
qint64 wrapAdd(qint64 a, qint64 b) {
    return qint64(quint64(a) + quint64(b));
}

qint64 wrapMul(qint64 a, qint64 b) {
    return qint64(quint64(a) * quint64(b));
}

quint64 distance(qint64 a, qint64 b) {
    const qint64 d = qint64(quint64(a) - quint64(b));
    return d < 0 ? 0 - quint64(d) : quint64(d);
}

// Puts the thread's priority back however the try ends.
class PriorityRaise {
public:
    explicit PriorityRaise(platform::SpeedCounters& counters)
        : counters_(counters), saved_(counters.ReadPriority()) {
        if (saved_)
            counters_.RaiseToTimeCritical();
    }
    ~PriorityRaise() {
        if (saved_)
            counters_.RestorePriority(*saved_);
    }
    PriorityRaise(const PriorityRaise&) = delete;
    PriorityRaise& operator=(const PriorityRaise&) = delete;

private:
    platform::SpeedCounters& counters_;
    std::optional<platform::ThreadScheduling> saved_;
};

} // namespace

QString CpuIdentity::Name() const {
    const qsizetype end = CpuName.indexOf('\0');
    return FromAnsi(end >= 0 ? CpuName.left(end) : CpuName);
}

QString FixedProcessorName(CpuVendor vendor, int family, int model, int l2CacheKB, int brandIndex) {
    switch (vendor) {
    case CpuVendor::Intel:
        return intelName(family, model, l2CacheKB, brandIndex);
    case CpuVendor::AMD:
        return amdName(family, model);
    case CpuVendor::Cyrix:
        return cyrixName(family, model);
    case CpuVendor::Centaur:
        return QStringLiteral("C3");
    case CpuVendor::Transmeta:
        return QStringLiteral("Crusoe");
    case CpuVendor::Unknown:
        break;
    }
    return {};
}

int SecondLevelCacheOfDescriptor(quint8 descriptor) {
    switch (descriptor) {
    case 0x40: // no second-level cache
        return 0;
    case 0x39:
    case 0x3B:
    case 0x41:
    case 0x79:
        return 128;
    case 0x3A:
        return 192;
    case 0x3C:
    case 0x42:
    case 0x7A:
    case 0x82:
        return 256;
    case 0x3D:
        return 384;
    case 0x3E:
    case 0x43:
    case 0x7B:
    case 0x7F:
    case 0x80:
    case 0x83:
    case 0x86:
        return 512;
    case 0x44:
    case 0x78:
    case 0x7C:
    case 0x84:
    case 0x87:
        return 1024;
    case 0x45:
    case 0x7D:
    case 0x85:
        return 2048;
    case 0x48:
        return 3072;
    case 0x4E:
        return 6144;
    default:
        return -1;
    }
}

int SecondLevelCacheKB(platform::CpuIdSource& cpuid, quint32 highestLeaf) {
    if (highestLeaf < 2)
        return 0;
    int found = 0;
    bool useLeaf4 = false;
    int rounds = 1;
    for (int round = 0; round < rounds && round < 16; ++round) {
        const platform::CpuIdRegisters r = cpuid.Query(2);
        if (round == 0)
            rounds = int(r.eax & 0xFF);
        const std::array<quint32, 4> regs = {r.eax, r.ebx, r.ecx, r.edx};
        for (int i = 0; i < 4; ++i) {
            if (regs[i] & 0x80000000u)
                continue; // this register holds no descriptors
            for (int b = (i == 0 ? 1 : 0); b < 4; ++b) {
                const auto descriptor = quint8((regs[i] >> (8 * b)) & 0xFF);
                if (descriptor == 0xFF)
                    useLeaf4 = true;
                found = std::max(found, SecondLevelCacheOfDescriptor(descriptor));
            }
        }
    }
    if (!useLeaf4 || highestLeaf < 4)
        return found;
    for (quint32 index = 0; index < 16; ++index) {
        const platform::CpuIdRegisters r = cpuid.Query(4, index);
        const quint32 type = r.eax & 0x1F;
        if (type == 0)
            break;
        const quint32 level = (r.eax >> 5) & 0x7;
        if (level != 2 || type == 2) // instruction caches do not count
            continue;
        const quint64 ways = ((r.ebx >> 22) & 0x3FF) + 1;
        const quint64 partitions = ((r.ebx >> 12) & 0x3FF) + 1;
        const quint64 lineSize = (r.ebx & 0xFFF) + 1;
        const quint64 sets = quint64(r.ecx) + 1;
        found = std::max(found, int(ways * partitions * lineSize * sets / 1024));
    }
    return found;
}

CpuIdentity IdentifyProcessor(platform::CpuIdSource& cpuid, platform::SpeedCounters& counters) {
    CpuIdentity info;
    if (!cpuid.Available()) {
        info.Family = 4;
        writeName(info, 0, "Unknown");
        return info;
    }
    info.HasInstruction = true;

    const platform::CpuIdRegisters leaf0 = cpuid.Query(0);
    info.VendorIDString =
        registerBytes(leaf0.ebx) + registerBytes(leaf0.edx) + registerBytes(leaf0.ecx);
    info.Vendor = vendorOf(info.VendorIDString);

    const platform::CpuIdRegisters leaf1 = cpuid.Query(1);
    info.Family = int((leaf1.eax >> 8) & 0xF);
    info.Model = int((leaf1.eax >> 4) & 0xF);
    info.Stepping = int(leaf1.eax & 0xF);
    info.Features = leaf1.edx;
    info.BrandIndex = int(leaf1.ebx & 0xFF);
    const platform::CpuIdRegisters extended = cpuid.Query(ExtendedBase);
    const quint32 highestExtended = extended.eax;

    if (info.Vendor == CpuVendor::Unknown) {
        writeName(info, 0, "Unknown");
    } else if (hasExtendedLeaves(info.Vendor, highestExtended)) {
        if (info.Vendor == CpuVendor::Transmeta) {
            writeName(info, 0,
                      registerBytes(extended.ebx) + registerBytes(extended.edx) +
                          registerBytes(extended.ecx));
        }
        for (quint32 n = 0; n < 3; ++n) {
            const quint32 leaf = ExtendedBase + 2 + n;
            if (highestExtended <= leaf - 1)
                continue;
            const platform::CpuIdRegisters r = cpuid.Query(leaf);
            writeName(info, 16 * n,
                      registerBytes(r.eax) + registerBytes(r.ebx) + registerBytes(r.ecx) +
                          registerBytes(r.edx));
        }
    } else {
        if (info.Vendor == CpuVendor::Intel)
            info.L2CacheKB = SecondLevelCacheKB(cpuid, leaf0.eax);
        writeName(info, 0,
                  ToAnsi(FixedProcessorName(info.Vendor, info.Family, info.Model, info.L2CacheKB,
                                            info.BrandIndex)));
    }

    if (info.Features & TimeStampCounterFlag)
        info.FrequencyInfo = CpuSpeedMeasure(counters);
    return info;
}

qint64 RoundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    if (value <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (whole >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    return qint64(whole);
}

ClockMeasurement CpuSpeedMeasure(platform::SpeedCounters& counters) {
    ClockMeasurement record;
    const std::optional<qint64> frequency = counters.CounterFrequency();
    if (!frequency)
        return record;
    const qint64 F = *frequency;

    int tries = 0;
    qint64 freq = 0, freq2 = 0, freq3 = 0, total = 0;
    qint64 totalCycles = 0;
    double totalTicks = 0.0;
    const auto scattered = [&] {
        for (const qint64 f : {freq, freq2, freq3}) {
            if (distance(wrapMul(f, 3), total) > 3)
                return true;
        }
        return false;
    };
    while (tries < 3 || (tries < 20 && scattered())) {
        ++tries;
        freq3 = freq2;
        freq2 = freq;
        qint64 t0 = counters.Counter();
        qint64 t1 = t0;
        qint64 stamp0 = 0, stamp1 = 0;
        {
            PriorityRaise raise(counters);
            do {
                t1 = counters.Counter();
                stamp0 = counters.Stamp();
            } while (t1 - t0 < 50);
            t0 = t1;
            do {
                t1 = counters.Counter();
                stamp1 = counters.Stamp();
            } while (t1 - t0 < 1000);
        }
        const qint64 cycles = qint64(quint64(stamp1) - quint64(stamp0));
        const double ticks =
            F == 0 ? 9223372036854775808.0 : double(t1 - t0) * 100000.0 / (double(F) / 10.0);
        totalTicks += ticks;
        totalCycles = wrapAdd(totalCycles, cycles);
        freq = ticks == 0.0 ? std::numeric_limits<qint64>::max() : RoundHalfEven(cycles / ticks);
        total = wrapAdd(wrapAdd(freq, freq2), freq3);
    }

    qint64 tenths = RoundHalfEven(double(totalCycles) * 10 / totalTicks);
    const qint64 hundredths = RoundHalfEven(double(totalCycles) * 100 / totalTicks);
    record.RawMhz = quint32(RoundHalfEven(double(totalCycles) / totalTicks));
    record.NominalMhz = record.RawMhz;
    if (qint64(quint64(hundredths) - quint64(wrapMul(10, tenths))) >= 6)
        tenths = wrapAdd(tenths, 1);
    if (qint64(quint64(tenths) - quint64(wrapMul(10, record.RawMhz))) >= 6)
        ++record.NominalMhz;
    record.Cycles = quint32(quint64(totalCycles) & 0xFFFFFFFFu);
    record.ElapsedUs = RoundHalfEven(totalTicks);
    record.NominalMhz = RoundFrequency(record.NominalMhz);
    return record;
}

quint32 RoundFrequency(quint32 mhz) {
    static constexpr std::array<quint32, 9> steps = {0, 20, 33, 50, 60, 66, 80, 90, 100};
    const quint32 r = mhz % 100;
    std::size_t i = 1;
    while (steps[i] <= r)
        ++i;
    const quint32 upper = steps[i];
    const quint32 lower = steps[i - 1];
    if (r - lower < upper - r)
        return mhz - (r - lower);
    return mhz + (upper - r);
}
