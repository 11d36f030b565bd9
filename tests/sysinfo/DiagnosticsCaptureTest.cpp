#include "sysinfo/DiagnosticsCapture.h"
#include "TestSupport.h"
#include "game/GameDiscovery.h"
#include "game/ProgramFolder.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"
#include "process/TopLevelErrorReport.h"
#include "sysinfo/DiagnosticsScanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using testsupport::binDir;
using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

const QString Indeterminable = QStringLiteral("indeterminable");

// A program folder with a blank in its name, its system folder, and a private registry with
// the program key.
class DiagnosticsCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        regDir = tmp.path() + QStringLiteral("/registry/");
        programFolder = tmp.path() + QStringLiteral("/Quillon Varnholt/");
        ASSERT_TRUE(QDir().mkpath(programFolder + QStringLiteral("system")));
        Registry r(RegRoot::LocalMachine, regDir);
        ASSERT_TRUE(r.openKey(SettingsStore::ProgramKey(), true));
        store = std::make_unique<SettingsStore>(regDir);
        Timings timings;
        timings.afterDiagnostics = 0;
        capture = std::make_unique<DiagnosticsCapture>(*store, programFolder, timings);
        facts.AdapterName = QStringLiteral("Earlier");
    }

    QString toolPath() const { return programFolder + QStringLiteral("system/dxdiag"); }
    QString file(const QString& name) const { return tmp.path() + QLatin1Char('/') + name; }

    void placeScript(const QByteArray& body) {
        writeFile(toolPath(), "#!/bin/sh\n" + body);
        QFile::setPermissions(toolPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A tool that notes its arguments, command text, folder and runs, then writes `report` to
    // the file named after "/t" (handed over unquoted, so in pieces where the path has blanks).
    void placeReportingTool(const QByteArray& report) {
        writeFile(file("report.txt"), report);
        placeScript(QStringLiteral("printf '%s\\n' \"$@\" > '%1'\n"
                                   "printf '%s' \"$VARNHOLT_COMMAND_LINE\" > '%5'\n"
                                   "pwd > '%2'\n"
                                   "echo run >> '%3'\n"
                                   "while [ $# -gt 0 ] && [ \"$1\" != /t ]; do shift; done\n"
                                   "shift\n"
                                   "cat '%4' > \"$*\"\n")
                        .arg(file("args.txt"), file("pwd.txt"), file("runs.txt"),
                             file("report.txt"), file("command.txt"))
                        .toUtf8());
    }

    void placeRealTool() {
        ASSERT_TRUE(QFile::copy(binDir() + QStringLiteral("/system/dxdiag"), toolPath()));
    }

    void begin() {
        capture->Begin(facts, [this] { ++handedOn; });
    }

    // Waits for the hand-off and checks that nothing is left that could hand on again.
    void finish() {
        ASSERT_TRUE(waitUntil([this] { return handedOn > 0; }));
        EXPECT_FALSE(capture->Pending());
        EXPECT_EQ(capture->DiagnosticsRunner().State(), ProcessRunner::RunnerState::Idle);
        QCoreApplication::processEvents();
        EXPECT_EQ(handedOn, 1);
    }

    void store3(const QMap<QString, QString>& values) {
        for (auto it = values.begin(); it != values.end(); ++it)
            store->WriteValue(it.key(), it.value());
    }
    QString cached(const QString& name) const { return store->ReadValue(name); }

    void expectFacts(const QString& adapter, const QString& memory, const QString& driver,
                     const QString& sound) {
        EXPECT_EQ(facts.AdapterName, adapter);
        EXPECT_EQ(facts.DisplayMemory, memory);
        EXPECT_EQ(facts.DriverVersion, driver);
        EXPECT_EQ(facts.SoundDevice, sound);
    }

    QTemporaryDir tmp;
    QString regDir;
    QString programFolder;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<DiagnosticsCapture> capture;
    SystemFacts facts;
    int handedOn = 0;
};

TEST_F(DiagnosticsCaptureTest, CachedFactsSkipTheTool) {
    struct Case {
        QMap<QString, QString> cache;
        QString driver;
        QString sound;
    };
    const std::vector<Case> cases = {
        {{{"Display Memory", "256.0 MB"}, {"Driver Version", "6.14"}, {"Sound", "Realtek"}},
         "6.14",
         "Realtek"},
        {{{"Display Memory", "256.0 MB"}, {"Driver Version", ""}, {"Sound", ""}},
         "No information",
         "No information"},
    };
    placeReportingTool("        Card name: never\r\n");
    for (const Case& c : cases) {
        store3(c.cache);
        handedOn = 0;
        begin();
        EXPECT_EQ(handedOn, 1); // at once, from within Begin
        expectFacts("Earlier", "256.0 MB", c.driver, c.sound);
    }
    EXPECT_FALSE(QFile::exists(file("runs.txt")));
}

TEST_F(DiagnosticsCaptureTest, ToolMissingOrNotStartable) {
    begin();
    EXPECT_EQ(handedOn, 1);
    expectFacts("Earlier", Indeterminable, Indeterminable, Indeterminable);

    // There, but not a program we may run.
    writeFile(toolPath(), "#!/bin/sh\n");
    QFile::setPermissions(toolPath(), QFile::ReadOwner | QFile::WriteOwner);
    facts = SystemFacts();
    facts.AdapterName = QStringLiteral("Earlier");
    begin();
    EXPECT_EQ(handedOn, 2);
    EXPECT_FALSE(capture->Pending());
    expectFacts("Earlier", Indeterminable, Indeterminable, Indeterminable);
    EXPECT_EQ(cached("Display Memory"), "");
}

TEST_F(DiagnosticsCaptureTest, ToolThatWritesNoFile) {
    placeScript("exit 3\n");
    begin();
    EXPECT_EQ(handedOn, 0);
    EXPECT_TRUE(capture->Pending());
    finish();
    expectFacts(Indeterminable, Indeterminable, Indeterminable, Indeterminable);
    EXPECT_EQ(cached("Display Memory"), "");
    EXPECT_EQ(cached("Sound"), "");
}

TEST_F(DiagnosticsCaptureTest, ScansTheReportCachesItAndDeletesIt) {
    placeReportingTool("---------------\r\nDisplay Devices\r\n---------------\r\n"
                       "        Card name: RADEON X800\r\n"
                       "   Display Memory: 256.0 MB\r\n"
                       "   Driver Version: 6.14.0010.6614 (English)\r\n"
                       "            Description: Realtek AC97 Audio\r\n");
    begin();
    finish();
    expectFacts(" RADEON X800", " 256.0 MB", " 6.14.0010.6614 (English)", "Realtek AC97 Audio");
    EXPECT_EQ(cached("Display Memory"), " 256.0 MB");
    EXPECT_EQ(cached("Driver Version"), " 6.14.0010.6614 (English)");
    EXPECT_EQ(cached("Sound"), "Realtek AC97 Audio");
    EXPECT_FALSE(QFile::exists(programFolder + "dxinfo.txt"));

    // The tool is started by its exact path and known by it; the file argument goes unquoted,
    // so the folder's blank splits it, and the tool joins it again. The whole text goes along.
    const QString dxinfo = programFolder + QStringLiteral("dxinfo.txt");
    const QStringList words = QStringList{"/whql:on", "/t"} + dxinfo.split(' ');
    EXPECT_EQ(QString::fromUtf8(readFile(file("args.txt"))), words.join('\n') + "\n");
    EXPECT_EQ(QString::fromUtf8(readFile(file("command.txt"))),
              toolPath() + " /whql:on /t " + dxinfo);
    EXPECT_EQ(QString::fromUtf8(readFile(file("pwd.txt"))).trimmed(),
              programFolder + QStringLiteral("system"));

    // The next series takes the cache.
    handedOn = 0;
    begin();
    EXPECT_EQ(handedOn, 1);
    EXPECT_EQ(readFile(file("runs.txt")), "run\n");
}

TEST_F(DiagnosticsCaptureTest, FactsMissingFromTheReportAreNotCached) {
    placeReportingTool(
        "Display Devices\r\n        Card name: Only a card\r\n   Display Memory:\r\n");
    begin();
    finish();
    expectFacts(" Only a card", "", Indeterminable, Indeterminable);
    EXPECT_EQ(cached("Display Memory"), "");
    EXPECT_EQ(cached("Driver Version"), "");
    EXPECT_EQ(cached("Sound"), "");

    // Nothing cached, so the next series runs the tool again.
    handedOn = 0;
    begin();
    finish();
    EXPECT_EQ(readFile(file("runs.txt")), "run\nrun\n");
}

TEST_F(DiagnosticsCaptureTest, RealToolOnThisMachine) {
    placeRealTool();
    begin();
    finish();
    for (const QString& value :
         {facts.AdapterName, facts.DisplayMemory, facts.DriverVersion, facts.SoundDevice}) {
        EXPECT_FALSE(value.trimmed().isEmpty());
        EXPECT_NE(value, Indeterminable);
    }
    EXPECT_TRUE(facts.AdapterName.startsWith(' '));
    EXPECT_EQ(cached("Display Memory"), facts.DisplayMemory);
    EXPECT_EQ(cached("Driver Version"), facts.DriverVersion);
    EXPECT_EQ(cached("Sound"), facts.SoundDevice);
    EXPECT_FALSE(QFile::exists(programFolder + "dxinfo.txt"));
}

// A machine laid out as files under a root that the tool reads in place of "/".
struct Layout {
    const char* what;
    std::function<void(const QString& root)> lay;
    QString adapter, memory, driver, sound;
};

void put(const QString& path, const QByteArray& text) {
    writeFile(path, text);
}

void link(const QString& target, const QString& linkPath) {
    QDir().mkpath(QFileInfo(linkPath).absolutePath());
    QDir().mkpath(target);
    ASSERT_TRUE(QFile::link(target, linkPath)) << linkPath.toStdString();
}

TEST_F(DiagnosticsCaptureTest, RealToolReadsTheKernelsFacts) {
    const std::vector<Layout> layouts = {
        {"DRM cards with the PCI name list, module versions and sound cards",
         [](const QString& r) {
             const QString amd = r + "/sys/devices/pci0000:00/0000:03:00.0";
             const QString nv = r + "/sys/devices/pci0000:00/0000:01:00.0";
             put(amd + "/vendor", "0x1002\n");
             put(amd + "/device", "0x67df\n");
             put(amd + "/mem_info_vram_total", "8589934592\n");
             link(r + "/sys/bus/pci/drivers/amdgpu", amd + "/driver");
             link(r + "/sys/module/amdgpu", r + "/sys/bus/pci/drivers/amdgpu/module");
             put(r + "/sys/module/amdgpu/version", "3.54.0\n");
             put(nv + "/vendor", "0x10de\n");
             put(nv + "/device", "0x1b80\n");
             link(r + "/sys/class/drm/card2", r + "/sys/class/drm/card2-DP-1");
             link(amd, r + "/sys/class/drm/card2/device");
             link(nv, r + "/sys/class/drm/card10/device");
             put(r + "/usr/share/misc/pci.ids",
                 "# test list\n"
                 "1000  Broadcom / LSI\n\t0001  53c810\n"
                 "1002  Advanced Micro Devices, Inc. [AMD/ATI]\n"
                 "\t67c0  Ellesmere [Radeon Pro WX 7100 Mobile]\n"
                 "\t67df  Ellesmere [Radeon RX 470/480/570/570X/580/580X/590]\n"
                 "\t\t1002 0b31  Radeon RX 580\n"
                 "1022  Advanced Micro Devices, Inc. [AMD]\n\t67df  Not this one\n");
             put(r + "/proc/asound/cards",
                 " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                 "                      HDA Intel PCH at 0xf7f10000 irq 32\n"
                 " 1 [HDMI           ]: HDA-Intel - HDA ATI HDMI\n"
                 "                      HDA ATI HDMI at 0xf7e60000 irq 33\n");
         },
         " Advanced Micro Devices, Inc. [AMD/ATI] Ellesmere [Radeon RX 470/480/570/570X/580/"
         "580X/590]",
         " 8192 MB", " amdgpu 3.54.0", "HDA Intel PCH"},
        {"no DRM driver: the PCI display controller, its memory window and the kernel release",
         [](const QString& r) {
             const QString bus = r + "/sys/bus/pci/devices";
             put(bus + "/0000:00:01.0/class", "0x060000\n");
             put(bus + "/0000:00:01.0/vendor", "0x8086\n");
             put(bus + "/0000:00:01.0/device", "0x1237\n");
             put(bus + "/0000:00:02.0/class", "0x030000\n");
             put(bus + "/0000:00:02.0/vendor", "0x1234\n");
             put(bus + "/0000:00:02.0/device", "0x1111\n");
             put(bus + "/0000:00:02.0/resource",
                 "0x00000000fd000000 0x00000000fdffffff 0x0000000000042208\n"
                 "0x0000000000000000 0x0000000000000000 0x0000000000000000\n"
                 "0x00000000febf0000 0x00000000febf0fff 0x0000000000040200\n"
                 "0x000000000000c000 0x000000000000c01f 0x0000000000040101\n");
             link(r + "/sys/bus/pci/drivers/bochs-drm", bus + "/0000:00:02.0/driver");
             put(r + "/proc/sys/kernel/osrelease", "6.1.0-test\n");
             put(r + "/proc/asound/cards", "--- no soundcards ---\n");
         },
         " PCI device 1234:1111", " 16 MB", " bochs-drm 6.1.0-test", "n/a"},
        {"nothing to be had", [](const QString&) {}, " n/a", " n/a", " n/a", "n/a"},
    };
    placeRealTool();
    for (const Layout& layout : layouts) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        layout.lay(root.path());
        qputenv("VARNHOLT_DXDIAG_ROOT", root.path().toUtf8());
        store3({{"Display Memory", ""}});
        facts = SystemFacts();
        handedOn = 0;
        begin();
        finish();
        qunsetenv("VARNHOLT_DXDIAG_ROOT");
        EXPECT_EQ(facts.AdapterName, layout.adapter) << layout.what;
        EXPECT_EQ(facts.DisplayMemory, layout.memory) << layout.what;
        EXPECT_EQ(facts.DriverVersion, layout.driver) << layout.what;
        EXPECT_EQ(facts.SoundDevice, layout.sound) << layout.what;
    }
}

} // namespace

namespace {

TEST_F(DiagnosticsCaptureTest, AFailedScanIsReportedAndTheSeriesStillGoesOn) {
    QStringList reported;
    setTopLevelErrorReport(
        [&](const std::exception& e) { reported << QString::fromUtf8(e.what()); });
    placeReportingTool("Display Devices\r\n        Card name: X\r\n   Display Memory: 64 MB\r\n"
                       "   Driver Version: 1.0\r\n        Description: Sound\r\n");
    begin();
    // The key goes away while the tool runs: the cache write fails.
    Registry(RegRoot::LocalMachine, regDir).deleteKey(SettingsStore::ProgramKey());
    finish();
    setTopLevelErrorReport({});
    EXPECT_EQ(reported, QStringList{"Failed to set data for 'Display Memory'"});
    // The series goes on with every fact the report gave, and the report is gone.
    expectFacts(" X", " 64 MB", " 1.0", "Sound");
    EXPECT_FALSE(QFile::exists(programFolder + "dxinfo.txt"));
}

// A program folder with two blanks in a row, beside a folder with one and an executable file
// named like the folder's first word: the tool in the program's own system folder runs, and
// its report lands in the program folder, not in the look-alike.
TEST_F(DiagnosticsCaptureTest, AFolderWithARunOfBlanksGetsTheReport) {
    const QString twoBlanks = tmp.path() + QStringLiteral("/Quillon  Varnholt/");
    ASSERT_TRUE(QDir().mkpath(twoBlanks + "system"));
    ASSERT_TRUE(QFile::copy(binDir() + "/system/dxdiag", twoBlanks + "system/dxdiag"));
    writeFile(file("Quillon"),
              QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(file("planted-ran")).toUtf8());
    QFile::setPermissions(file("Quillon"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Timings timings;
    timings.afterDiagnostics = 0;
    DiagnosticsCapture twoBlankCapture(*store, twoBlanks, timings);
    twoBlankCapture.Begin(facts, [this] { ++handedOn; });
    ASSERT_TRUE(waitUntil([this] { return handedOn > 0; }));

    EXPECT_FALSE(QFile::exists(file("planted-ran")));
    EXPECT_NE(facts.DisplayMemory, Indeterminable);
    EXPECT_NE(facts.SoundDevice, Indeterminable);
    EXPECT_FALSE(QFile::exists(programFolder + "dxinfo.txt")) << "the look-alike folder";
    EXPECT_FALSE(QFile::exists(twoBlanks + "dxinfo.txt")) << "read and deleted";
}

// A FIFO where the report should be is not opened (it would wait for a writer forever): no
// report, and it goes as the report would.
TEST_F(DiagnosticsCaptureTest, AFifoInPlaceOfTheReportIsNoReport) {
    placeScript(QStringLiteral("mkfifo '%1'\n").arg(programFolder + "dxinfo.txt").toUtf8());
    begin();
    finish();
    expectFacts(Indeterminable, Indeterminable, Indeterminable, Indeterminable);
    EXPECT_FALSE(QFileInfo::exists(programFolder + "dxinfo.txt"));
}

TEST_F(DiagnosticsCaptureTest, APackagedProgramFolderGetsNoReport) {
    // The package's folder is never written: the report goes to the user's data folder, which
    // start-up has made.
    writeFile(programFolder + QLatin1String(PackageMarkerFile), "package\n");
    const QString data = tmp.path() + QStringLiteral("/data");
    qputenv("XDG_DATA_HOME", data.toUtf8());
    EnsureBenchmarkFolder(programFolder);
    placeReportingTool("Display Devices\r\n        Card name: RADEON X800\r\n"
                       "   Display Memory: 256.0 MB\r\n");
    begin();
    finish();
    qunsetenv("XDG_DATA_HOME");

    EXPECT_EQ(facts.AdapterName, " RADEON X800");
    EXPECT_EQ(cached("Display Memory"), " 256.0 MB");
    const QString dxinfo = data + QStringLiteral("/varnholt/dxinfo.txt");
    EXPECT_EQ(QString::fromUtf8(readFile(file("args.txt"))),
              (QStringList{"/whql:on", "/t"} + dxinfo.split(' ')).join('\n') + "\n");
    EXPECT_FALSE(QFileInfo::exists(dxinfo)) << "read and deleted as always";
    EXPECT_EQ(QDir(programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({QLatin1String(PackageMarkerFile), QStringLiteral("system")}));
}

} // namespace
