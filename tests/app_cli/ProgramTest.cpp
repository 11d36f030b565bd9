#include "CliFixture.h"

#include "ui/TJvAppInstances.h"

#include <QWidget>
#include <csignal>

namespace {

// The program itself, copied into this test's program folder (so its single-instance names are
// this test's own), run as a process.
class Program : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        program = programFolder + "varnholt";
        ASSERT_TRUE(QFile::copy(testsupport::binPath("varnholt"), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    }

    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        CliFixture::TearDown();
    }

    // Runs to its end; returns the exit status.
    int run(const QStringList& arguments) {
        start(arguments);
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 60000));
        return finish();
    }
    void start(const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(tmp.path());
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted());
    }
    int finish() {
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
        err += QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString program, out, err;
    QProcess process;
};

TEST_F(Program, BadArgumentsExitTwoWithTheUsage) {
    const QStringList bad[] = {
        {"--run", "--resolution", "640"},
        {"--run", "--runs", "7"},
        {"--resolution", "640x480"},
        {"--run", "--bogus"},
        {"--run", "--results", "no such folder"},
        {"--run", "--demo", "missing.dem"},
    };
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        out.clear();
        err.clear();
        EXPECT_EQ(run(arguments), 2);
        EXPECT_TRUE(err.startsWith("varnholt: ")) << err.toStdString();
        EXPECT_TRUE(err.contains("Usage: varnholt --run")) << err.toStdString();
        EXPECT_EQ(out, "");
    }
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
    EXPECT_EQ(stored("Path"), "") << "nothing was loaded";
    expectUserScriptBack();
}

TEST_F(Program, HelpAndVersion) {
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(out.startsWith("Usage: varnholt --run [--resolution WxH]..."));
    EXPECT_EQ(err, "");
    out.clear();
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, "Quillon Varnholt 1.3.0.0\n");
}

TEST_F(Program, RefusesBesideARunningCopy) {
    startClient();
    // This test process takes the place of a window copy of the program in the copies' list.
    TJvAppInstances windowCopy(nullptr, program);
    ASSERT_TRUE(windowCopy.isActive());
    start({"--run", "--resolution", "640x480"});
    // The running copy answers from its event loop.
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(finish(), 1);
    EXPECT_TRUE(err.contains("Quillon Varnholt is running already")) << err.toStdString();
    EXPECT_TRUE(testbed::readGameLog(layout).isEmpty());
    expectUserScriptBack();
}

TEST_F(Program, CtrlCMidSeriesPutsTheUsersScriptBackByteForByte) {
    startClient();
    const QString hold = tmp.path() + "/hold";
    testsupport::writeFile(hold, "");
    qputenv("VARNHOLT_TESTBED_HOLD", hold.toUtf8());
    start({"--run", "--resolution", "640x480", "--runs", "2"});
    // The game plays with the program's script in place, and the program waits for it.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            return testbed::readGameLog(layout).size() == 1 &&
                   !testbed::standInProcesses(layout.gameDir).isEmpty();
        },
        60000))
        << QString::fromLocal8Bit(process.readAllStandardError()).toStdString();
    ASSERT_NE(testsupport::readFile(layout.cfgDir + "autoexec.cfg"), QByteArray(UserScript));
    ASSERT_TRUE(QFile::exists(layout.cfgDir + "autoexec_old.cfg"));
    const qint64 game = testbed::standInProcesses(layout.gameDir).first();

    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(finish(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains("Interrupted: stopping the series."));
    EXPECT_TRUE(testsupport::waitUntil([&] { return !testbed::processRunning(game); }))
        << "the game was stopped";
    expectUserScriptBack();
    EXPECT_EQ(QDir(results).entryList(QDir::Files), QStringList());
    QFile::remove(hold);
    qunsetenv("VARNHOLT_TESTBED_HOLD");
}

} // namespace
