// The program killed while its MangoHud configuration is in place, then started again: the
// user's own configuration comes back at the start. The program is played by this test binary,
// started again with VARNHOLT_FRAMES_DRIVER set.

#include "Recorders.h"
#include "TestSupport.h"

#include "game/FileOperation.h"
#include "game/MangoHudConfig.h"
#include "game/SeriesPreparation.h"
#include "game/SettingsStore.h"
#include "model/Timings.h"
#include "run/FrameRecording.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr char kDriverEnv[] = "VARNHOLT_FRAMES_DRIVER";
const QByteArray kUsersConfig = "fps_limit=144\nlegacy_layout=0\n";

// A series' frame recording in a child process: in place, then wait to be killed.
class FramesDriver : public ::testing::Test {
    void TestBody() override {
        FrameRecording recording(DefaultMangoHudConfigFolder(),
                                 QDir::homePath() + "/.local/state/Quillon/frames/",
                                 Timings{}.frameLogCut);
        ASSERT_EQ(recording.Begin(), std::nullopt);
        testsupport::writeFile(QDir::homePath() + "/reached", "begun");
        testsupport::waitUntil([] { return false; }, 60000);
        FAIL() << "not killed";
    }
};

[[maybe_unused]] const bool kDriverRegistered = [] {
    if (!qEnvironmentVariableIsSet(kDriverEnv))
        return false;
    ::testing::RegisterTest("FramesDriver", "Series", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new FramesDriver; });
    return true;
}();

TEST(MangoHudCrashRecovery, KilledDuringASeriesTheUsersConfigurationComesBackAtTheStart) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString folder = home.path() + "/.config/MangoHud/";
    QDir().mkpath(folder);
    testsupport::writeFile(folder + "hl2_linux.conf", kUsersConfig);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kDriverEnv, "1");
    env.insert("HOME", home.path());
    env.remove("XDG_CONFIG_HOME");
    env.remove("XDG_STATE_HOME");
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=FramesDriver.Series"});
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return QFileInfo::exists(home.path() + "/reached") ||
               program.state() == QProcess::NotRunning;
    }));
    program.kill();
    ASSERT_TRUE(program.waitForFinished(10000));
    ASSERT_TRUE(QFileInfo::exists(home.path() + "/reached"))
        << program.readAllStandardOutput().toStdString();
    EXPECT_TRUE(IsProgramMangoHudConfig(testsupport::readFile(folder + "hl2_linux.conf")));

    // The next start.
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CONFIG_HOME");
    {
        SettingsStore store(home.path() + "/registry/");
        RecordingDialogs dialogs;
        FileOperation fileOp(dialogs);
        SeriesPreparation prep(store, dialogs, fileOp);
        GamePaths paths;
        paths.ProgramFolder = home.path() + "/program/";
        prep.CheckLeftoverConfig(paths);
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
    qputenv("HOME", savedHome);
    if (!savedConfig.isNull())
        qputenv("XDG_CONFIG_HOME", savedConfig);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"hl2_linux.conf"});
    EXPECT_EQ(testsupport::readFile(folder + "hl2_linux.conf"), kUsersConfig);
}

} // namespace
