#include "sysinfo/ComputerInfo.h"
#include "Fakes.h"
#include "TestSupport.h"
#include "sysinfo/SystemInformation.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(OsReleasePrettyName, UndoesTheShellQuoting) {
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Fedora Linux 40 (Workstation Edition)'", "Fedora Linux 40 (Workstation "
                                                                "Edition)"},
        {"PRETTY_NAME=Alpine", "Alpine"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME \\\\ \\n\"", "Say \"hi\" $HOME \\ \\n"},
        {"PRETTY_NAME=\"Gentoo\" # a comment\n", "Gentoo"},
        {"PRETTY_NAME=\"Caf\xC3\xA9 OS\"", QStringLiteral("Caf\u00E9 OS")},
        {"#PRETTY_NAME=\"commented\"\nNAME=x\n", ""},
        {"PRETTY_NAME=\"first\"\nPRETTY_NAME=\"second\"", "second"},
        {"", ""},
    };
    for (const auto& [file, name] : cases)
        EXPECT_EQ(OsReleasePrettyName(file), name) << file.toStdString();
}

// A machine with recorded answers.
struct RecordedMachine {
    RecordedCpuId cpu;
    ScriptedCounters counters{{2993}};
    quint64 memoryReads = 0;

    ComputerInfoSources sources() {
        cpu.set(0, vendorLeaf("AuthenticAMD")).set(1, {0x0F11, 0, 0, 0x10});
        cpu.set(0x80000000, {0x80000004, 0, 0, 0});
        setBrand(cpu, "AMD Athlon(tm) 64 Processor 3200+");
        ComputerInfoSources s;
        s.osRelease = [] { return QByteArray("PRETTY_NAME=\"Test OS 1\"\n"); };
        s.physicalMemory = [this] {
            ++memoryReads;
            return quint64(6) << 30; // beyond what 32 bits can hold
        };
        s.cpuid = &cpu;
        s.counters = &counters;
        return s;
    }
};

TEST(ComputerInfoTest, PartsAreKeptAndEveryReadAsksAgain) {
    RecordedMachine machine;
    ComputerInfo info(machine.sources());
    EXPECT_EQ(&info.OS(), &info.OS());
    EXPECT_EQ(&info.CPU(), &info.CPU());
    EXPECT_EQ(info.Memory().TotalPhysicalMemory(), quint64(6) << 30);
    EXPECT_EQ(info.Memory().TotalPhysicalMemory(), quint64(6) << 30);
    EXPECT_EQ(machine.memoryReads, 2u);
    EXPECT_EQ(info.CPU().Name(), "AMD Athlon(tm) 64 Processor 3200+");
    EXPECT_EQ(info.CPU().NominalMhz(), 2990u);
    EXPECT_EQ(machine.counters.tries, 6); // a fresh measurement for the name and the clock
}

TEST(FillReportFacts, ProcessorMemoryOsAndBothProbes) {
    RecordedMachine machine;
    ComputerInfo info(machine.sources());
    ScriptedAdapter none;
    SystemFacts facts;
    facts.RadeonFound = true;
    facts.DisplayClassFound = true;
    FillReportFacts(facts, info, none, QLocale::c());
    EXPECT_EQ(facts.OsProductName, "Test OS 1");
    EXPECT_EQ(facts.TotalPhysicalMemory, quint64(6) << 30);
    EXPECT_EQ(facts.CpuName, "AMD Athlon(tm) 64 Processor 3200+");
    EXPECT_EQ(facts.CpuNormFreq, 2990u);
    EXPECT_FALSE(facts.RadeonFound);
    EXPECT_FALSE(facts.DisplayClassFound);
    EXPECT_TRUE(none.asked.contains("clocks"));
    EXPECT_TRUE(none.asked.last().contains("4D36E968"));
}

QString firstMatch(const QString& file, const QString& pattern) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpressionMatch m =
        QRegularExpression(pattern, QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(f.readAll()));
    return m.hasMatch() ? m.captured(1) : QString();
}

// This machine's own facts against what the kernel tells.
TEST(ComputerInfoTest, ThisMachine) {
    ComputerInfo info;
    const QString memTotalKb = firstMatch("/proc/meminfo", "^MemTotal:\\s*(\\d+) kB");
    ASSERT_FALSE(memTotalKb.isEmpty());
    EXPECT_EQ(info.Memory().TotalPhysicalMemory() / 1024, memTotalKb.toULongLong());

    if (QFile::exists("/etc/os-release")) {
        const QString pretty = firstMatch("/etc/os-release", "^PRETTY_NAME=\"?([^\"\\n]*)");
        EXPECT_EQ(info.OS().ProductName(), pretty);
    }

#if defined(__x86_64__) || defined(__i386__)
    // The kernel shows the brand string without its leading blanks, unless a hypervisor
    // gave the kernel a name of its own ("AMD EPYC" where the processor says "Oxide Virtual
    // Turin-like Processor"): then the name must still be a printable brand string.
    const QString model = firstMatch("/proc/cpuinfo", "^model name\\s*:\\s*(.*)$");
    const QString name = info.CPU().Name().trimmed();
    if (name != model.trimmed()) {
        EXPECT_FALSE(name.isEmpty());
        EXPECT_NE(name, QStringLiteral("Unknown"));
        EXPECT_LE(name.size(), 48);
        for (const QChar c : name)
            EXPECT_TRUE(c.unicode() >= 0x20 && c.unicode() < 0x7F) << name.toStdString();
    }
    const QString flags = firstMatch("/proc/cpuinfo", "^flags\\s*:(.*)$");
    const double kernelMhz = firstMatch("/proc/cpuinfo", "^cpu MHz\\s*:\\s*([0-9.]+)").toDouble();
    if (flags.split(' ').contains("tsc") && kernelMhz > 0) {
        const quint32 mhz = info.CPU().NominalMhz();
        EXPECT_GT(mhz, kernelMhz / 2);
        EXPECT_LT(mhz, kernelMhz * 2);
    }
#else
    EXPECT_EQ(info.CPU().Name(), "Unknown");
    EXPECT_EQ(info.CPU().NominalMhz(), 0u);
#endif
}

} // namespace
