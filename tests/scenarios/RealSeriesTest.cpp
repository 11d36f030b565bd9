#include "SeriesFixture.h"

#include "game/GameDiscovery.h"
#include "game/SeriesPreparation.h"
#include "sysinfo/SystemInformation.h"

#include <QJsonArray>

namespace {

// A series with the program's own preparation and facts: what reaches the stand-in game, and
// what the report says about this machine.
class RealSeries : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        // The stand-in game reads its values from the same store.
        qputenv("VARNHOLT_REGISTRY_DIR", regDir.toUtf8());
        paths.UserSid = CurrentUserSidText();
        Registry users(RegRoot::Users, regDir);
        ASSERT_TRUE(users.openKey(GameSettingsKey(paths.UserSid), true));
        users.writeInteger("mat_hdr_level", 7);
        testsupport::writeFile(paths.ProgramFolder + "Demos/rovdemo1.dem", "recorded demo");
        QDir().mkpath(paths.ProgramFolder + "system");
        ASSERT_TRUE(QFile::copy(testsupport::binPath("system/dxdiag"),
                                paths.ProgramFolder + "system/dxdiag"));
        QFile::setPermissions(paths.ProgramFolder + "system/dxdiag",
                              QFile::ReadOwner | QFile::ExeOwner);
        testsupport::writeFile(layout.cfgDir + "autoexec.cfg", "bind x jump\r\n");
        Timings t = timings;
        t.beforeRestore = 10;
        t.afterDiagnostics = 10;
        realPrep = std::make_unique<SeriesPreparation>(*store_, dialogs, *fileOp_, t);
        realPrep->SetPaths(paths);
        info = std::make_unique<SystemInformation>(*store_, paths.ProgramFolder, t);
    }

    RunSequencer& realSequencer() {
        if (!real_) {
            SeriesContext ctx{view,      dialogs, shell, *store_, *detection_,
                              *realPrep, *info,   paths, timings};
            real_ = std::make_unique<RunSequencer>(ctx);
        }
        return *real_;
    }

    std::unique_ptr<SeriesPreparation> realPrep;
    std::unique_ptr<SystemInformation> info;
    std::unique_ptr<RunSequencer> real_;
};

TEST_F(RealSeries, PreparationReachesTheGameAndTheUsersScriptComesBack) {
    startClient();
    view.settings.ResolutionChecked[2] = true;
    view.settings.HdrMode = std::nullopt;
    view.settings.ColorCorrection = false;
    view.settings.FilteringMode = 1;    // Trilinear
    view.settings.AntialiasingMode = 0; // None
    realSequencer().RunClicked();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !realSequencer().SeriesRunning(); }, 30000));
    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));

    const QList<QJsonObject> starts = testbed::readGameLog(layout);
    ASSERT_EQ(starts.size(), 1);
    const QJsonObject start = starts.first();
    EXPECT_TRUE(start["demo"].toBool()) << "the shipped demo was installed";
    EXPECT_EQ(start["autoexecLines"].toInt(), 24) << "the game found the benchmark script";
    const QJsonObject values = start["settings"].toObject();
    EXPECT_EQ(values["mat_hdr_level"].toInt(), 7) << "no HDR choice leaves the game's value";
    EXPECT_EQ(values["mat_colorcorrection"].toInt(), 0);
    EXPECT_EQ(values["mat_picmip"].toInt(), -1);
    EXPECT_EQ(values["mat_trilinear"].toInt(), 1);
    EXPECT_EQ(values["mat_antialias"].toInt(), 1);
    EXPECT_EQ(values["ScreenMSAA"].toInt(), 1);

    EXPECT_EQ(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), "bind x jump\r\n");
    EXPECT_FALSE(QFile::exists(layout.cfgDir + "autoexec_old.cfg"));

    const QStringList files = QDir(results).entryList({"result_*.htm"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    const QByteArray report = testsupport::readFile(results + files.first());
    const SystemFacts& facts = realSequencer().Facts();
    EXPECT_FALSE(facts.OsProductName.isEmpty());
    EXPECT_GT(facts.TotalPhysicalMemory, 0u);
    EXPECT_TRUE(report.contains("<b>Operating system:</b> " + facts.OsProductName.toLatin1()));
    EXPECT_TRUE(report.contains("<b>CPU:</b> " + facts.CpuName.toLatin1()));
    EXPECT_TRUE(report.contains("<b>Graphics card:</b> " + facts.AdapterName.toLatin1()))
        << "block C, with the diagnostics tool's adapter";
    EXPECT_TRUE(report.contains("<b>Demo:</b> Quillon demo<br>"));
    EXPECT_EQ(SettingsStore(regDir).ReadValue("Sound"), facts.SoundDevice);
}

} // namespace
