// The configuration the program writes, tried on the real MangoHud (Debian's package) around
// glxgears under Xvfb, with glxgears named as the game is.
#include "TestSupport.h"
#include "Xvfb.h"

#include "game/MangoHudConfig.h"
#include "run/FrameRecording.h"
#include "run/MangoHudLog.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class RealMangoHud : public ::testing::Test {
protected:
    void SetUp() override {
        mangohud = QStandardPaths::findExecutable("mangohud");
        glxgears = QFileInfo(QStandardPaths::findExecutable("glxgears")).canonicalFilePath();
        if (mangohud.isEmpty() || glxgears.isEmpty())
            GTEST_SKIP() << "mangohud or glxgears is not installed (Debian: mangohud mesa-utils)";
        if (xvfb.display().isEmpty())
            GTEST_SKIP() << xvfb.problem();
        ASSERT_TRUE(QDir().mkpath(logs));
    }
    void TearDown() override {
        if (game.state() != QProcess::NotRunning) {
            game.kill();
            game.waitForFinished(10000);
        }
    }

    // Starts `program` through mangohud with the program's frame recording in place, as Steam
    // does with "mangohud %command%", and waits for the log: 0.6.8 writes it only when
    // logging stops, which the recording's cut (a change of the configuration, three seconds
    // after the start) does.
    QString logOf(const QStringList& command) {
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
        FrameRecording recording(DefaultMangoHudConfigFolder(), logs, 3000);
        if (savedConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig);
        EXPECT_EQ(recording.Begin(), std::nullopt);
        EXPECT_FALSE(testsupport::readFile(home.path() + "/.config/MangoHud/hl2_linux.conf")
                         .contains("no_display"));
        recording.BeforeRun(QDateTime::currentDateTime());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.remove("XDG_CONFIG_HOME");
        env.remove("MANGOHUD_CONFIG");
        env.remove("MANGOHUD_CONFIGFILE");
        env.insert("DISPLAY", xvfb.display());
        game.setProcessEnvironment(env);
        game.setProcessChannelMode(QProcess::MergedChannels);
        const qint64 started = QDateTime::currentSecsSinceEpoch();
        game.start(mangohud, command);
        QString log;
        testsupport::waitUntil(
            [&] {
                log = NewestMangoHudLog(logs, started);
                return !log.isEmpty();
            },
            60000);
        // MangoHud writes the log after its summary, while the program goes on: read it once
        // it has stopped growing.
        qint64 size = -1;
        QElapsedTimer unchanged;
        unchanged.start();
        testsupport::waitUntil(
            [&] {
                const qint64 now = QFileInfo(log).size();
                if (now != size) {
                    size = now;
                    unchanged.restart();
                }
                return size > 0 && unchanged.elapsed() > 1000;
            },
            30000);
        game.kill();
        game.waitForFinished(10000);
        // The run told how this MangoHud writes: only when logging stops (0.6.8), or as it logs.
        recording.AfterRun({}, std::nullopt);
        logging = recording.Logging();
        recording.End();
        if (log.isEmpty())
            ADD_FAILURE() << "no log; MangoHud said:\n" << game.readAll().toStdString();
        return log;
    }

    static void expectFrames(const QString& log) {
        const MangoHudLogRead read = ReadMangoHudLogFile(log);
        ASSERT_TRUE(read.Frames) << read.Problem.toStdString();
        // A row per frame, not one per interval: each row's time since the one before is
        // that row's frame time.
        ASSERT_GE(read.Frames->size(), 3u);
        std::vector<double> gaps;
        for (std::size_t i = 1; i < read.Frames->size(); ++i) {
            const LoggedFrame& frame = (*read.Frames)[i];
            EXPECT_GT(frame.Ms, 0.0f);
            gaps.push_back(
                std::abs((frame.AtSeconds - (*read.Frames)[i - 1].AtSeconds) * 1000 - frame.Ms));
        }
        std::sort(gaps.begin(), gaps.end());
        EXPECT_LT(gaps[gaps.size() / 2], 1.0);
        // MangoHud's own summary lies beside it.
        EXPECT_TRUE(QFileInfo::exists(log.chopped(4) + "_summary.csv"));
    }

    QString mangohud, glxgears;
    testsupport::Xvfb xvfb;
    QTemporaryDir home;
    QString logs = home.path() + "/frames/";
    QProcess game;
    MangoHudLogging logging = MangoHudLogging::Unknown;
};

TEST_F(RealMangoHud, TheNativeGamesConfigurationMakesItLogEveryFrame) {
    const QString hl2 = home.path() + "/game/hl2_linux";
    ASSERT_TRUE(QDir().mkpath(home.path() + "/game"));
    ASSERT_TRUE(QFile::copy(glxgears, hl2));
    const QString log = logOf({hl2});
    if (log.isEmpty())
        return;
    EXPECT_TRUE(QFileInfo(log).fileName().startsWith("hl2_linux_"));
    expectFrames(log);
    // Debian 12's 0.6.8 has no "mangohud --version"; its log has no column of 0.7.0 or later.
    if (!ReadMangoHudLogFile(log).NewerColumns) {
        EXPECT_EQ(logging, MangoHudLogging::WrittenAtStop);
    }
}

TEST_F(RealMangoHud, UnderProtonTheWineNamedConfigurationMakesItLog) {
    // Under Wine the process's first argument is the Windows program's path.
    const QString preloader = home.path() + "/proton/wine64-preloader";
    ASSERT_TRUE(QDir().mkpath(home.path() + "/proton"));
    ASSERT_TRUE(QFile::copy(glxgears, preloader));
    const QString log =
        logOf({"/bin/bash", "-c", "exec -a 'Z:\\games\\Half-Life 2\\hl2.exe' \"$0\"", preloader});
    if (log.isEmpty())
        return;
    EXPECT_TRUE(QFileInfo(log).fileName().startsWith("hl2_2")) << log.toStdString();
    expectFrames(log);
}

} // namespace
