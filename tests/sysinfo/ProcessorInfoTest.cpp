#include "sysinfo/ProcessorInfo.h"
#include "Fakes.h"
#include "TestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr quint32 TscFlag = 0x10;
const QString Registered = QStringLiteral("\u00AE");
const QString Trademark = QStringLiteral("\u2122");

TEST(RoundFrequency, SnapsToTheUsualClockEndings) {
    const std::vector<std::pair<quint32, quint32>> cases = {
        {2993, 2990}, {1999, 2000}, {1995, 2000}, {1985, 1990}, {2166, 2166},
        {1833, 1833}, {3000, 3000}, {2010, 2020}, {2040, 2033}, {3199, 3200},
        {0, 0},       {2026, 2020}, {2027, 2033}, {2063, 2066}, {2073, 2080},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(RoundFrequency(in), out) << in;
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    const std::vector<std::pair<double, qint64>> cases = {
        {2.5, 2}, {3.5, 4}, {2.4999, 2}, {2.5001, 3}, {-2.5, -2}, {-3.5, -4}, {0.0, 0}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(RoundHalfEven(in), out) << in;
    EXPECT_EQ(RoundHalfEven(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

struct NameCase {
    CpuVendor vendor;
    int family;
    int model;
    int cache;
    int brand;
    QString name;
};

TEST(FixedProcessorName, NamesEachVendorFamilyAndModel) {
    const std::vector<NameCase> cases = {
        {CpuVendor::Intel, 4, 1, 0, 0, QStringLiteral("Intel 486DX Processor")},
        {CpuVendor::Intel, 4, 7, 0, 0, QStringLiteral("Write-Back Enhanced Intel DX2 Processor")},
        {CpuVendor::Intel, 4, 8, 0, 0, QStringLiteral("Intel DX4 Processor")},
        {CpuVendor::Intel, 4, 4, 0, 0, QStringLiteral("Intel 486 Processor")},
        {CpuVendor::Intel, 5, 2, 0, 0, QStringLiteral("Pentium")},
        {CpuVendor::Intel, 6, 1, 0, 0, QStringLiteral("Pentium Pro")},
        {CpuVendor::Intel, 6, 5, 0, 0, QStringLiteral("Celeron")},
        {CpuVendor::Intel, 6, 5, 2048, 0, QStringLiteral("Pentium II Xeon")},
        {CpuVendor::Intel, 6, 5, 512, 0, QStringLiteral("Pentium II")},
        {CpuVendor::Intel, 6, 6, 128, 0, QStringLiteral("Celeron")},
        {CpuVendor::Intel, 6, 6, 256, 0, QStringLiteral("Pentium II")},
        {CpuVendor::Intel, 6, 7, 1024, 0, QStringLiteral("Pentium III Xeon")},
        {CpuVendor::Intel, 6, 7, 512, 0, QStringLiteral("Pentium III")},
        {CpuVendor::Intel, 6, 8, 0, 1, QStringLiteral("Celeron")},
        {CpuVendor::Intel, 6, 8, 0, 3, QStringLiteral("Pentium III Xeon")},
        {CpuVendor::Intel, 6, 8, 0, 2, QStringLiteral("Pentium III")},
        {CpuVendor::Intel, 6, 10, 0, 0, QStringLiteral("Pentium III Xeon")},
        {CpuVendor::Intel, 6, 11, 0, 0, QStringLiteral("Pentium III")},
        {CpuVendor::Intel, 6, 13, 0, 0, QStringLiteral("P6 (Model 13)")},
        {CpuVendor::Intel, 15, 2, 0, 1, QStringLiteral("Celeron")},
        {CpuVendor::Intel, 15, 2, 0, 14, QStringLiteral("Xeon")},
        {CpuVendor::Intel, 15, 2, 0, 9, QStringLiteral("Pentium 4")},
        {CpuVendor::Intel, 7, 0, 0, 0, QStringLiteral("P7")},
        {CpuVendor::AMD, 4, 3, 0, 0, QStringLiteral("Am486(R) or Am5x86")},
        {CpuVendor::AMD, 5, 3, 0, 0, QStringLiteral("AMD-K5 (Model 3)")},
        {CpuVendor::AMD, 5, 6, 0, 0, QStringLiteral("AMD-K6") + Registered + " (Model 6)"},
        {CpuVendor::AMD, 5, 8, 0, 0, QStringLiteral("AMD-K6") + Registered + "-2 (Model 8)"},
        {CpuVendor::AMD, 5, 9, 0, 0, QStringLiteral("AMD-K6") + Registered + "-III (Model 9)"},
        {CpuVendor::AMD, 5, 5, 0, 0, QStringLiteral("Unknown AMD (Model 5)")},
        {CpuVendor::AMD, 6, 4, 0, 0, QStringLiteral("AMD Athlon") + Trademark + " (Model 4)"},
        {CpuVendor::AMD, 6, 7, 0, 0, QStringLiteral("AMD Duron") + Trademark + " (Model 7)"},
        {CpuVendor::AMD, 6, 10, 0, 0, QStringLiteral("AMD Athlon") + Trademark + " XP (Model 10)"},
        {CpuVendor::AMD, 6, 9, 0, 0, QStringLiteral("Unknown AMD (Model 9)")},
        {CpuVendor::AMD, 8, 0, 0, 0, QString()},
        {CpuVendor::AMD, 15, 0, 0, 0, QStringLiteral("Unknown AMD Chip")},
        {CpuVendor::Cyrix, 4, 0, 0, 0, QStringLiteral("Cyrix MediaGX")},
        {CpuVendor::Cyrix, 5, 2, 0, 0, QStringLiteral("Cyrix 6x86")},
        {CpuVendor::Cyrix, 5, 4, 0, 0, QStringLiteral("Cyrix GXm")},
        {CpuVendor::Cyrix, 5, 3, 0, 0, QString()},
        {CpuVendor::Cyrix, 6, 0, 0, 0, QStringLiteral("6x86MX")},
        {CpuVendor::Cyrix, 7, 0, 0, 0, QStringLiteral("7x86")},
        {CpuVendor::Centaur, 6, 9, 0, 0, QStringLiteral("C3")},
        {CpuVendor::Transmeta, 5, 4, 0, 0, QStringLiteral("Crusoe")},
        {CpuVendor::Unknown, 6, 0, 0, 0, QString()},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(FixedProcessorName(c.vendor, c.family, c.model, c.cache, c.brand), c.name)
            << "family " << c.family << " model " << c.model;
    }
}

// Leaf 1 with family, model and the time-stamp counter's flag.
platform::CpuIdRegisters leaf1(int family, int model, int brandIndex = 0, quint32 edx = TscFlag) {
    return {quint32(family << 8 | model << 4 | 1), quint32(brandIndex), 0, edx};
}

struct IdentifyCase {
    const char* what;
    std::function<void(RecordedCpuId&)> record;
    QString name;
    int l2 = 0;
};

TEST(IdentifyProcessor, FollowsEachVendorsRules) {
    const QByteArray p4Brand = "              Intel(R) Pentium(R) 4 CPU 2.80GHz";
    const std::vector<IdentifyCase> cases = {
        {"brand string keeps its leading blanks",
         [&](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel")).set(1, leaf1(15, 2));
             c.set(0x80000000, {0x80000004, 0, 0, 0});
             setBrand(c, p4Brand);
         },
         QString::fromLatin1(p4Brand)},
        {"a brand leaf is read only when the highest extended leaf is above the one before",
         [&](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel")).set(1, leaf1(15, 2));
             c.set(0x80000000, {0x80000002, 0, 0, 0});
             setBrand(c, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
         },
         QStringLiteral("Intel(R) Core(TM")},
        {"Intel without extended leaves: table with the leaf-2 cache",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel", 2)).set(1, leaf1(6, 7));
             c.set(0x80000000, {0x03020101, 0, 0, 0}); // no extended leaves: leaf 2 echoed
             c.set(2, {0x03020101, 0, 0, 0x0C040844});
         },
         QStringLiteral("Pentium III Xeon"), 1024},
        {"Intel leaf-2 descriptor 0x43 is a 512 KB cache",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel", 2)).set(1, leaf1(6, 7));
             c.set(2, {0x03020101, 0, 0, 0x0C040843});
         },
         QStringLiteral("Pentium III"), 512},
        {"Intel descriptor 0x40: no second-level cache",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel", 2)).set(1, leaf1(6, 5));
             c.set(2, {0x00000001, 0, 0, 0x00000040});
         },
         QStringLiteral("Celeron"), 0},
        {"Intel descriptor 0xFF sends the size to leaf 4",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel", 4)).set(1, leaf1(6, 7));
             c.set(2, {0x00FF0001, 0, 0, 0});
             // Level-1 data cache, then a unified level-2 cache of 8 ways x 64 B x 4096 sets.
             c.set(4, {0x21, (7u << 22) | 63, 63, 0}, 0);
             c.set(4, {0x43, (7u << 22) | 63, 4095, 0}, 1);
         },
         QStringLiteral("Pentium III Xeon"), 2048},
        {"register with bit 31 set holds no descriptors",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineIntel", 2)).set(1, leaf1(6, 7));
             c.set(2, {0x00000001, 0, 0, 0x80000044});
         },
         QStringLiteral("Pentium III"), 0},
        {"AMD without extended leaves: table with the registered sign",
         [](RecordedCpuId& c) { c.set(0, vendorLeaf("AuthenticAMD")).set(1, leaf1(5, 8)); },
         QStringLiteral("AMD-K6") + Registered + QStringLiteral("-2 (Model 8)")},
        {"AMD with extended leaves but no brand leaves: empty",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("AuthenticAMD")).set(1, leaf1(6, 2));
             c.set(0x80000000, {0x80000001, 0, 0, 0});
             setBrand(c, "never read");
         },
         QString()},
        {"AMD brand string",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("AuthenticAMD")).set(1, leaf1(15, 1));
             c.set(0x80000000, {0x80000008, 0, 0, 0});
             setBrand(c, "AMD EPYC 7B13 64-Core Processor");
         },
         QStringLiteral("AMD EPYC 7B13 64-Core Processor")},
        {"Centaur with no leaf above 0x80000000 uses the table",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("CentaurHauls")).set(1, leaf1(6, 9));
             c.set(0x80000000, {0x80000000, 0, 0, 0});
         },
         QStringLiteral("C3")},
        {"Centaur brand string",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("CentaurHauls")).set(1, leaf1(6, 9));
             c.set(0x80000000, {0x80000004, 0, 0, 0});
             setBrand(c, "VIA Nehemiah");
         },
         QStringLiteral("VIA Nehemiah")},
        {"Cyrix table",
         [](RecordedCpuId& c) { c.set(0, vendorLeaf("CyrixInstead")).set(1, leaf1(5, 4)); },
         QStringLiteral("Cyrix GXm")},
        {"Transmeta without brand leaves keeps the extended vendor text",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("GenuineTMx86")).set(1, leaf1(5, 4));
             c.set(0x80000000, {0x80000001, chars("Tran"), chars("aCPU"), chars("smet")});
         },
         QStringLiteral("TransmetaCPU")},
        {"Transmeta without extended leaves",
         [](RecordedCpuId& c) { c.set(0, vendorLeaf("GenuineTMx86")).set(1, leaf1(5, 4)); },
         QStringLiteral("Crusoe")},
        {"another vendor is unknown, brand string or not",
         [](RecordedCpuId& c) {
             c.set(0, vendorLeaf("HygonGenuine")).set(1, leaf1(15, 0));
             c.set(0x80000000, {0x80000008, 0, 0, 0});
             setBrand(c, "Hygon C86 3185");
         },
         QStringLiteral("Unknown")},
        {"no identification instruction", [](RecordedCpuId& c) { c.available = false; },
         QStringLiteral("Unknown")},
    };
    for (const IdentifyCase& c : cases) {
        RecordedCpuId cpu;
        c.record(cpu);
        ScriptedCounters counters({2600});
        const CpuIdentity info = IdentifyProcessor(cpu, counters);
        EXPECT_EQ(info.Name(), c.name) << c.what;
        EXPECT_EQ(info.L2CacheKB, c.l2) << c.what;
    }
}

TEST(IdentifyProcessor, MeasuresOnlyWithATimeStampCounter) {
    RecordedCpuId cpu;
    cpu.set(0, vendorLeaf("AuthenticAMD")).set(1, leaf1(6, 2));
    ScriptedCounters counters({1400});
    EXPECT_EQ(IdentifyProcessor(cpu, counters).FrequencyInfo.NominalMhz, 1400u);

    cpu.set(1, leaf1(6, 2, 0, 0x0F)); // every flag but the counter's
    ScriptedCounters unused({1400});
    const CpuIdentity info = IdentifyProcessor(cpu, unused);
    EXPECT_EQ(info.FrequencyInfo.NominalMhz, 0u);
    EXPECT_EQ(unused.tries, 0);

    RecordedCpuId none;
    none.available = false;
    const CpuIdentity old = IdentifyProcessor(none, unused);
    EXPECT_EQ(old.Family, 4);
    EXPECT_EQ(old.FrequencyInfo.NominalMhz, 0u);
    EXPECT_TRUE(none.asked.empty());
}

struct MeasureCase {
    const char* what;
    std::vector<double> mhz;
    int tries;
    quint32 raw;
    quint32 norm;
};

TEST(CpuSpeedMeasure, TriesUntilThreeAgreeAndNormalises) {
    const std::vector<MeasureCase> cases = {
        {"steady clock: three tries", {2600}, 3, 2600, 2600},
        {"within 1 of the mean: three tries", {2600, 2602, 2601}, 3, 2601, 2600},
        {"4 from the sum: one more try; 2601.5 rounds to even", {2600, 2602, 2602}, 4, 2602, 2600},
        {"settles after a wild start", {1000, 3000, 2600}, 5, 2360, 2360},
        {"scattered: twenty tries",
         {2600, 2700, 2600, 2700, 2600, 2700, 2600, 2700, 2600, 2700, 2600,
          2700, 2600, 2700, 2600, 2700, 2600, 2700, 2600, 2700, 2600},
         20,
         2650,
         2650},
        {"fraction rounds, then the hundred snaps", {1994.6}, 3, 1995, 2000},
        {"down to the nearest ending", {2992.4}, 3, 2992, 2990},
    };
    for (const MeasureCase& c : cases) {
        ScriptedCounters counters(c.mhz);
        const ClockMeasurement info = CpuSpeedMeasure(counters);
        EXPECT_EQ(counters.tries, c.tries) << c.what;
        EXPECT_EQ(info.RawMhz, c.raw) << c.what;
        EXPECT_EQ(info.NominalMhz, c.norm) << c.what;
        EXPECT_EQ(info.ElapsedUs, 100 * c.tries) << c.what; // 1000 counts of 10 MHz per try
        EXPECT_EQ(counters.raises, c.tries) << c.what;
        EXPECT_EQ(counters.restores, c.tries) << c.what;
        EXPECT_FALSE(counters.nestedRaise) << c.what;
        EXPECT_FALSE(counters.raised) << c.what;
        EXPECT_EQ(counters.restoredPolicy, 7) << c.what;
    }
}

TEST(CpuSpeedMeasure, PriorityAndCounterAbsence) {
    ScriptedCounters unreadable({2400});
    unreadable.priorityReadable = false;
    EXPECT_EQ(CpuSpeedMeasure(unreadable).NominalMhz, 2400u);
    EXPECT_EQ(unreadable.raises, 0);
    EXPECT_EQ(unreadable.restores, 0);

    ScriptedCounters noCounter({2400});
    noCounter.frequency = std::nullopt;
    const ClockMeasurement zero = CpuSpeedMeasure(noCounter);
    EXPECT_EQ(zero.RawMhz, 0u);
    EXPECT_EQ(zero.NominalMhz, 0u);
    EXPECT_EQ(zero.ElapsedUs, 0);
    EXPECT_EQ(noCounter.tries, 0);

    // A counter of another rate: 1000 counts of 3.579545 MHz take about 279.4 us.
    ScriptedCounters acpi({0});
    acpi.frequency = 3579545;
    const ClockMeasurement slow = CpuSpeedMeasure(acpi);
    EXPECT_EQ(slow.ElapsedUs, RoundHalfEven(3 * 1000 * 100000.0 / (3579545 / 10.0)));
}

} // namespace
