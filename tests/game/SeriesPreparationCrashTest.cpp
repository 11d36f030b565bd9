// The program killed at each point of a series' game preparation, then started again: the
// user's files must all come back. The program is played by this test binary itself, started
// again with VARNHOLT_PREP_DRIVER naming the point at which it waits to be killed.

#include "GamePrepFixture.h"

#include "game/SeriesPreparation.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

using namespace gameprep;
using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

constexpr char kDriverEnv[] = "VARNHOLT_PREP_DRIVER";
constexpr char kRootEnv[] = "VARNHOLT_PREP_ROOT";
constexpr char kDriverFilter[] = "--gtest_filter=PreparationDriver.Series";

QString reachedFile(const QString& root) {
    return root + "/reached";
}

BenchmarkSettings seriesSettings() {
    BenchmarkSettings s;
    s.Demo = DemoKind::Shipped;
    s.FilteringMode = 5;
    s.AntialiasingMode = 2;
    s.HdrMode = 1;
    s.ColorCorrection = true;
    return s;
}

// The preparation and restore of one series, as the sequencer runs them.
void prepareSeries(SeriesPreparation& prep, const BenchmarkSettings& settings,
                   const std::function<void(const char*)>& reached) {
    ASSERT_EQ(prep.CheckDemo(settings), std::nullopt);
    prep.BackupAutoexec();
    reached("backup");
    prep.InstallDemo(settings);
    prep.ApplyFilterSettings(settings);
    prep.WriteGameSettings(settings);
    prep.WriteConfigScript();
    reached("script");
    bool restored = false;
    prep.RestoreGameConfig(false, [&] { restored = true; });
    reached("restore");
    ASSERT_TRUE(waitUntil([&] { return restored; }));
}

// The program in a child process: runs a series against the folders below the given root
// and, at the named point, tells the parent and waits to be killed.
class PreparationDriver : public ::testing::Test {
    void TestBody() override {
        const QString root = qEnvironmentVariable(kRootEnv);
        const QString stopAt = qEnvironmentVariable(kDriverEnv);
        SettingsStore store(registryBelow(root));
        ScriptedDialogs dialogs;
        FileOperation fileOp(dialogs);
        Timings timings;
        timings.beforeRestore = 600000; // the kill comes during this wait
        SeriesPreparation prep(store, dialogs, fileOp, timings);
        prep.SetPaths(pathsBelow(root));
        prepareSeries(prep, seriesSettings(), [&](const char* point) {
            if (stopAt != QLatin1String(point))
                return;
            writeFile(reachedFile(root), point);
            waitUntil([] { return false; }, 60000);
            FAIL() << "not killed at " << point;
        });
    }
};

// Registered only in the child, so a normal run never sees it.
[[maybe_unused]] const bool kDriverRegistered = [] {
    if (!qEnvironmentVariableIsSet(kDriverEnv))
        return false;
    ::testing::RegisterTest("PreparationDriver", "Series", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new PreparationDriver; });
    return true;
}();

enum class Then { Close, AnotherSeries };

TEST(CrashRecovery, KilledAnywhereInASeriesTheUsersFilesComeBack) {
    for (bool hasScript : {true, false})
        for (const char* point : {"backup", "script", "restore"})
            for (bool answerYes : {true, false})
                for (Then then : {Then::Close, Then::AnotherSeries}) {
                    SCOPED_TRACE(testing::Message()
                                 << (hasScript ? "user's script" : "no script") << ", killed at "
                                 << point << ", answer " << (answerYes ? "Yes" : "No") << ", then "
                                 << (then == Then::Close ? "close" : "another series"));
                    QTemporaryDir tmp;
                    ASSERT_TRUE(tmp.isValid());
                    const QString root = tmp.path();
                    layOut(root);
                    const GamePaths paths = pathsBelow(root);
                    if (hasScript)
                        writeFile(paths.CfgFolder + "autoexec.cfg", kUserScript);
                    writeFile(paths.CfgFolder + "config.cfg", "the user's settings");
                    writeFile(paths.EpisodicFolder + "mine.dem", "the user's demo");
                    const auto cfgBefore = filesBelow(paths.CfgFolder);

                    QProcess program;
                    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                    env.insert(kDriverEnv, point);
                    env.insert(kRootEnv, root);
                    env.insert("VARNHOLT_REGISTRY_DIR", registryBelow(root));
                    program.setProcessEnvironment(env);
                    program.start(QCoreApplication::applicationFilePath(), {kDriverFilter});
                    ASSERT_TRUE(waitUntil([&] {
                        return QFileInfo::exists(reachedFile(root)) ||
                               program.state() == QProcess::NotRunning;
                    }));
                    ASSERT_TRUE(QFileInfo::exists(reachedFile(root)))
                        << program.readAllStandardOutput().toStdString();
                    program.kill();
                    ASSERT_TRUE(program.waitForFinished(10000));
                    EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);

                    // The next start of the program, and what the user does then.
                    SettingsStore store(registryBelow(root));
                    ScriptedDialogs dialogs;
                    dialogs.answers = {answerYes};
                    FileOperation fileOp(dialogs);
                    SeriesPreparation prep(store, dialogs, fileOp, noRestoreWait());
                    prep.CheckLeftoverConfig(paths);
                    prep.SetPaths(paths);
                    if (then == Then::AnotherSeries) {
                        prepareSeries(prep, seriesSettings(), [](const char*) {});
                    } else {
                        bool closed = false;
                        prep.RestoreGameConfig(false, [&] { closed = true; });
                        ASSERT_TRUE(waitUntil([&] { return closed; }));
                    }

                    EXPECT_EQ(filesBelow(paths.CfgFolder), cfgBefore);
                    EXPECT_EQ(readFile(paths.EpisodicFolder + "mine.dem"), "the user's demo");
                    if (hasScript) {
                        EXPECT_TRUE(dialogs.questions.isEmpty())
                            << "asked to delete the user's own script";
                    }
                    EXPECT_TRUE(dialogs.messages.isEmpty())
                        << qPrintable(dialogs.messages.join('\n'));
                }
}

} // namespace
