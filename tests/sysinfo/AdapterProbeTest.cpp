#include "sysinfo/AdapterProbe.h"
#include "Fakes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

const QString AsicKey = QStringLiteral("\\SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\ASIC");
const QString MemoryKey = QStringLiteral("\\SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\Memory");
const QString ClassKey = QStringLiteral(
    "\\SYSTEM\\ControlSet001\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000");

TEST(AdapterTexts, CutsClocksAndVendor) {
    const std::vector<std::pair<QString, QString>> cuts = {{"AGP 8x (AGP 3.0)", "AGP 8x "},
                                                           {"PCI Express", "PCI Express"},
                                                           {"(x)", ""},
                                                           {"", ""},
                                                           {"DDR (a) (b)", "DDR "}};
    for (const auto& [in, out] : cuts)
        EXPECT_EQ(CutBeforeBracket(in), out) << in.toStdString();

    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(RadeonClockText(41200 / 100.0, us), "412.00 MHz");
    EXPECT_EQ(RadeonClockText(41257 / 100.0, de), "412,57 MHz");
    EXPECT_EQ(RadeonClockText(123456 / 100.0, us), "1234.56 MHz"); // no grouping
    EXPECT_EQ(RadeonClockText(0, de), "0,00 MHz");

    EXPECT_TRUE(IsAtiDeviceId("PCI\\VEN_1002&DEV_4E48&SUBSYS_00021002"));
    EXPECT_FALSE(IsAtiDeviceId("PCI\\VEN_10DE&DEV_0040"));
    EXPECT_FALSE(IsAtiDeviceId("PCI\\VEN_100"));
    EXPECT_FALSE(IsAtiDeviceId(""));

    const std::vector<std::pair<quint32, QString>> clocks = {
        {0, "0"},       {499999, "0"},  {500000, "1"},      {1500000, "2"},
        {2500000, "3"}, {2499999, "2"}, {400000000, "400"}, {0xFFFFFFFF, "4295"}};
    for (const auto& [hz, text] : clocks)
        EXPECT_EQ(ClockListText(hz), text) << hz;
}

constexpr quint32 MHz = 1000000;

struct ClockCase {
    const char* what;
    std::array<quint32, 12> hz;
    DisplayClassClockFacts expected;
};

TEST(DisplayClassClocks, NeedsExactlySixClocks) {
    const DisplayClassClockFacts earlier{true, "1 MHz", "2 MHz"};
    const std::vector<ClockCase> cases = {
        {"driver ignores the escape", {}, {false, "1 MHz", "2 MHz"}},
        {"six clocks: third and sixth",
         {100 * MHz, 200 * MHz, 400 * MHz, 0, 0, 0, 300 * MHz, 500 * MHz, 700 * MHz, 0, 0, 0},
         {true, "400 MHz", "700 MHz"}},
        {"a clock under half a MHz is left out",
         {100 * MHz, 499999, 200 * MHz, 400 * MHz, 0, 0, 300 * MHz, 500 * MHz, 700 * MHz},
         {true, "400 MHz", "700 MHz"}},
        {"half a MHz stays in and makes seven",
         {100 * MHz, 500000, 200 * MHz, 400 * MHz, 0, 0, 300 * MHz, 500 * MHz, 700 * MHz},
         {false, "1 MHz", "2 MHz"}},
        {"five clocks",
         {100 * MHz, 200 * MHz, 400 * MHz, 0, 0, 0, 300 * MHz, 500 * MHz},
         {false, "1 MHz", "2 MHz"}},
    };
    for (const ClockCase& c : cases) {
        const DisplayClassClockFacts got = DisplayClassClocks(c.hz, earlier);
        EXPECT_EQ(got.DisplayClassFound, c.expected.DisplayClassFound) << c.what;
        EXPECT_EQ(got.GpuClock, c.expected.GpuClock) << c.what;
        EXPECT_EQ(got.MemoryClock, c.expected.MemoryClock) << c.what;
    }
}

// An ATI card as the primary display, with its keys.
ScriptedAdapter radeon() {
    ScriptedAdapter a;
    a.radeonClocks = platform::RadeonClockAnswer{35000, 41250};
    a.radeonMemory = true;
    a.devices = {{"\\\\.\\DISPLAY1", "RADEON 9800 PRO", "PCI\\VEN_1002&DEV_4E48&SUBSYS_0002"},
                 {"\\\\.\\DISPLAY2", "RADEON 9800 PRO Secondary", "PCI\\VEN_1002&DEV_4E68"}};
    a.keys[AsicKey] = {{"Bus Type", "AGP 8x (AGP 3.0)"}};
    a.keys[MemoryKey] = {{"Type", "DDR SDRAM (128 bit)"}};
    return a;
}

SystemFacts earlierFacts() {
    SystemFacts f;
    f.RadeonFound = true;
    f.RadeonName = "earlier";
    f.BusType = "earlier bus";
    f.MemoryType = "earlier memory";
    f.DriverDescription = "earlier description";
    return f;
}

TEST(RadeonProbe, ReadsTheDriverAndAtiKeys) {
    ScriptedAdapter a = radeon();
    SystemFacts facts = earlierFacts();
    RadeonProbe(facts, a, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(facts.RadeonFound);
    EXPECT_EQ(facts.RadeonName, "RADEON 9800 PRO");
    EXPECT_EQ(facts.RadeonEngineClock, "412,50 MHz");
    EXPECT_EQ(facts.RadeonMemoryClock, "350,00 MHz");
    EXPECT_EQ(facts.BusType, "AGP 8x ");
    EXPECT_EQ(facts.MemoryType, "DDR SDRAM ");
    // The enumeration stops at the primary display.
    EXPECT_EQ(a.asked, QStringList({"clocks", "memory", "device 0", AsicKey, MemoryKey}));
}

TEST(RadeonProbe, KeysAndValuesThatAreMissing) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    {
        ScriptedAdapter a = radeon();
        a.keys.remove(AsicKey);
        SystemFacts facts = earlierFacts();
        RadeonProbe(facts, a, us);
        EXPECT_TRUE(facts.RadeonFound);
        EXPECT_EQ(facts.BusType, "earlier bus");
        EXPECT_EQ(facts.MemoryType, "earlier memory");
        EXPECT_FALSE(a.asked.contains(MemoryKey));
    }
    {
        ScriptedAdapter a = radeon();
        a.keys[AsicKey] = {};
        a.keys.remove(MemoryKey);
        SystemFacts facts = earlierFacts();
        RadeonProbe(facts, a, us);
        EXPECT_EQ(facts.BusType, "");
        EXPECT_EQ(facts.MemoryType, "earlier memory");
    }
    {
        ScriptedAdapter a = radeon();
        a.keys[MemoryKey] = {};
        SystemFacts facts = earlierFacts();
        RadeonProbe(facts, a, us);
        EXPECT_EQ(facts.MemoryType, "");
    }
}

TEST(RadeonProbe, DetectStopsAtTheFirstFailure) {
    struct Case {
        const char* what;
        std::function<void(ScriptedAdapter&)> change;
        QStringList asked;
    };
    const std::vector<Case> cases = {
        {"clock escape unknown", [](ScriptedAdapter& a) { a.radeonClocks.reset(); }, {"clocks"}},
        {"memory escape unknown",
         [](ScriptedAdapter& a) { a.radeonMemory = false; },
         {"clocks", "memory"}},
        {"not ATI: the keys are not read",
         [](ScriptedAdapter& a) {
             a.devices = {{"\\\\.\\DISPLAY1", "GeForce", "PCI\\VEN_10DE&DEV_0040"}};
         },
         {"clocks", "memory", "device 0"}},
        {"no display device at all",
         [](ScriptedAdapter& a) { a.devices.clear(); },
         {"clocks", "memory", "device 0"}},
    };
    for (const Case& c : cases) {
        ScriptedAdapter a = radeon();
        c.change(a);
        SystemFacts facts = earlierFacts();
        RadeonProbe(facts, a, QLocale::c());
        EXPECT_FALSE(facts.RadeonFound) << c.what;
        EXPECT_EQ(facts.RadeonName, "earlier") << c.what;
        EXPECT_EQ(facts.BusType, "earlier bus") << c.what;
        EXPECT_EQ(a.asked, c.asked) << c.what;
    }
}

TEST(RadeonProbe, WithoutPrimaryDisplayTheLastDeviceDecides) {
    ScriptedAdapter a = radeon();
    a.devices = {{"\\\\.\\DISPLAY2", "secondary", "PCI\\VEN_10DE&DEV_0040"},
                 {"\\\\.\\DISPLAY3", "third", "PCI\\VEN_1002&DEV_4E68"}};
    RadeonDriverQuery info(a);
    EXPECT_TRUE(info.FindPrimaryAdapter());
    EXPECT_EQ(info.AdapterName, "");
    a.devices = {{"\\\\.\\DISPLAY2", "secondary", "PCI\\VEN_1002&DEV_4E68"},
                 {"\\\\.\\DISPLAY3", "third", "PCI\\VEN_10DE&DEV_0040"}};
    EXPECT_FALSE(RadeonDriverQuery(a).FindPrimaryAdapter());
}

TEST(DisplayClassProbe, ClassKeyAndClockList) {
    ScriptedAdapter a;
    a.keys[ClassKey] = {{"DriverDesc", "RADEON X800 XT"}};
    a.slotClocks = {platform::SlotClockAnswer{100 * MHz, 300 * MHz},
                    platform::SlotClockAnswer{200 * MHz, 500 * MHz},
                    platform::SlotClockAnswer{520 * MHz, 560 * MHz},
                    std::nullopt,
                    std::nullopt,
                    platform::SlotClockAnswer{0, 0}};
    SystemFacts facts;
    DisplayClassProbe(facts, a);
    EXPECT_TRUE(facts.DisplayClassFound);
    EXPECT_EQ(facts.DriverDescription, "RADEON X800 XT");
    EXPECT_EQ(facts.GpuClock, "520 MHz");
    EXPECT_EQ(facts.MemoryClock, "560 MHz");

    // A driver that ignores the clock escape: the description is still taken.
    ScriptedAdapter silent;
    silent.keys[ClassKey] = {};
    SystemFacts quiet = earlierFacts();
    quiet.DisplayClassFound = true;
    DisplayClassProbe(quiet, silent);
    EXPECT_FALSE(quiet.DisplayClassFound);
    EXPECT_EQ(quiet.DriverDescription, "");

    ScriptedAdapter none;
    SystemFacts kept = earlierFacts();
    kept.DisplayClassFound = true;
    DisplayClassProbe(kept, none);
    EXPECT_FALSE(kept.DisplayClassFound);
    EXPECT_EQ(kept.DriverDescription, "earlier description");
    EXPECT_EQ(none.asked, QStringList{ClassKey});
}

TEST(AdapterProbes, ThisPlatformHasNeitherEscapesNorKeys) {
    SystemFacts facts = earlierFacts();
    facts.DisplayClassFound = true;
    RadeonProbe(facts, platform::SystemAdapterAccess(), QLocale());
    DisplayClassProbe(facts, platform::SystemAdapterAccess());
    EXPECT_FALSE(facts.RadeonFound);
    EXPECT_FALSE(facts.DisplayClassFound);
    EXPECT_EQ(facts.RadeonName, "earlier");
    EXPECT_EQ(facts.DriverDescription, "earlier description");
}

} // namespace
