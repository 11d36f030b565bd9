// The helper as the program starts it: a real process, real files, its own temporary folder.
#include "update/UpgradePaths.h"

#include "TestSupport.h"
#include "platform/CommandLine.h"
#include "platform/Digest.h"
#include "platform/FileAttributes.h"
#include "platform/ProcessList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

// The running setup started from `path`, found through /proc.
qint64 RunningFrom(const QString& path) {
    const auto processes = platform::ListProcesses();
    if (!processes)
        return 0;
    for (const platform::ProcessEntry& p : *processes) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(p.pid));
        if (!file.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        const QByteArray cmdline = file.readAll();
        if (QString::fromUtf8(cmdline.left(cmdline.indexOf('\0'))) == path &&
            platform::IsProcessAlive(p.pid))
            return p.pid;
    }
    return 0;
}

class UpgradeHelperProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        app_ = root_.path() + "/my apps/";
        temp_ = root_.path() + "/temp/";
        ASSERT_TRUE(QDir().mkpath(app_ + "data"));
        ASSERT_TRUE(QDir().mkpath(temp_));
        program_ = app_ + "varnholt";
    }

    // A stand-in program that notes how it was started in `marker`.
    void writeScript(const QString& path, const QString& marker, const QString& tag,
                     bool executable) {
        writeFile(path,
                  QStringLiteral("#!/bin/sh\necho \"%1 $*\" > '%2'\n").arg(tag, marker).toUtf8());
        if (executable)
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    }

    void startHelper(UpgradeMethod method,
                     const QString& restartParams = QStringLiteral("/afterupgrade"),
                     const QString& helper = testsupport::binPath("Upgrader4")) {
        const QString line = HelperCommandLine(helper, program_, restartParams, method);
        const QStringList argv = splitArguments(line);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", temp_.chopped(1));
        env.insert(UpgradeQueueVariable, temp_ + "UpgraderQueue.txt");
        helper_.setProcessEnvironment(env);
        helper_.start(argv.first(), argv.mid(1));
        ASSERT_TRUE(helper_.waitForStarted());
    }

    // A failed test leaves no setup behind; the helper ends with its QProcess.
    void TearDown() override {
        if (const qint64 pid = RunningFrom(app_ + "setup.exe"))
            QProcess::execute("kill", {QString::number(pid)});
    }

    bool helperEnded() { return helper_.state() == QProcess::NotRunning; }

    QTemporaryDir root_;
    QString app_, temp_, program_;
    QProcess helper_;
};

// What the stand-in program noted; empty until it has (it runs detached from the helper and
// may still be starting when the helper has ended).
QString Marker(const QString& path) {
    if (!QFile::exists(path))
        return {};
    return QString::fromUtf8(readFile(path)).trimmed();
}

TEST_F(UpgradeHelperProcess, MovesQueuedAndScannedDownloadsAndRestartsTheNewProgram) {
    const QString marker = root_.path() + "/started.txt";
    writeScript(program_, marker, "old", true);
    writeScript(program_ + ".uTMP", marker, "new", false); // downloads carry no execute bit
    writeFile(app_ + "readme.txt", "old readme");
    writeFile(app_ + "readme.txt.uTMP", "new readme");
    writeFile(app_ + "data/x.dat", "old data");
    writeFile(app_ + "data/x.dat.uTMP", "new data");
    writeFile(temp_ + "UpgraderQueue.txt",
              QueueFileText({"http://h/x=" + app_ + "data/x.dat"}).toUtf8());

    startHelper(UpgradeMethod::SelfUpgrade);
    ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
    EXPECT_EQ(helper_.exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return !Marker(marker).isEmpty(); }, 60000));

    EXPECT_EQ(Marker(marker), "new /afterupgrade");
    EXPECT_TRUE(QFileInfo(program_).isExecutable());
    EXPECT_EQ(readFile(app_ + "readme.txt"), "new readme");
    EXPECT_EQ(readFile(app_ + "data/x.dat"), "new data");
    EXPECT_FALSE(QFile::exists(temp_ + "UpgraderQueue.txt"));
    EXPECT_TRUE(QDir(app_).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFile::exists(app_ + "data/x.dat.uTMP"));
}

// A verified queue: only the files it lists are moved, each only when it still hashes to the
// digest the program checked; a file changed since is removed, and a download the queue does
// not list (left in the program's folder or in a subfolder) is not touched.
TEST_F(UpgradeHelperProcess, AVerifiedQueueMovesOnlyListedFilesThatStillMatch) {
    const QString marker = root_.path() + "/started.txt";
    writeScript(program_, marker, "old", true);
    writeScript(program_ + ".uTMP", marker, "new", false);
    const QByteArray programDigest = platform::Sha256(readFile(program_ + ".uTMP"));
    writeFile(app_ + "data/x.dat", "old data");
    writeFile(app_ + "data/x.dat.uTMP", "swapped after the check");
    writeFile(app_ + "help.exe", "old help");
    writeFile(app_ + "help.exe.uTMP", "never checked");
    ASSERT_TRUE(QDir().mkpath(app_ + "system"));
    writeFile(app_ + "system/dxdiag", "genuine");
    writeFile(app_ + "system/dxdiag.uTMP", "left by a stalled download");
    writeFile(temp_ + "UpgraderQueue.txt",
              VerifiedQueueText({{program_, programDigest},
                                 {app_ + "data/x.dat", platform::Sha256("checked data")}})
                  .toUtf8());

    startHelper(UpgradeMethod::SelfUpgrade);
    ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
    ASSERT_TRUE(waitUntil([&] { return !Marker(marker).isEmpty(); }, 60000));
    EXPECT_EQ(Marker(marker), "new /afterupgrade");
    EXPECT_TRUE(QFileInfo(program_).isExecutable());
    EXPECT_EQ(readFile(app_ + "data/x.dat"), "old data");
    EXPECT_FALSE(QFile::exists(app_ + "data/x.dat.uTMP"));
    EXPECT_EQ(readFile(app_ + "help.exe"), "old help");
    EXPECT_EQ(readFile(app_ + "system/dxdiag"), "genuine");
    EXPECT_FALSE(QFile::exists(temp_ + "UpgraderQueue.txt"));
}

// As the program writes it out: the helper beside its queue in the temporary folder. Once its
// work is done nothing of it is left there, the folder included.
TEST_F(UpgradeHelperProcess, AHelperWrittenBesideItsQueueRemovesItselfAndItsFolder) {
    const QString marker = root_.path() + "/started.txt";
    writeScript(program_, marker, "old", true);
    writeScript(program_ + ".uTMP", marker, "new", false);
    writeFile(temp_ + "UpgraderQueue.txt", QueueFileText({}).toUtf8());
    const QString helper = temp_ + UpgradeHelperFileName;
    ASSERT_TRUE(QFile::copy(testsupport::binPath("Upgrader4"), helper));

    startHelper(UpgradeMethod::SelfUpgrade, QStringLiteral("/afterupgrade"), helper);
    ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
    EXPECT_EQ(helper_.exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return !Marker(marker).isEmpty(); }, 60000));
    EXPECT_EQ(Marker(marker), "new /afterupgrade");
    EXPECT_FALSE(QFileInfo::exists(helper));
    EXPECT_FALSE(QFileInfo::exists(temp_)) << "the emptied folder is gone";
    EXPECT_TRUE(QFileInfo::exists(testsupport::binPath("Upgrader4"))) << "only a written copy goes";
}

// A queue names the files to replace: only the user's own, reached without a link, is used,
// and one that is not is left where it is.
TEST_F(UpgradeHelperProcess, AQueueThatIsNotTheUsersOwnIsNeitherAppliedNorDeleted) {
    const QString queue = temp_ + "UpgraderQueue.txt";
    const QByteArray queueText = QueueFileText({"http://h/x=" + app_ + "data/x.dat"}).toUtf8();
    const QString marker = root_.path() + "/started.txt";
    writeScript(program_, marker, "program", true);
    const struct {
        const char* name;
        std::function<bool()> plant; // false: not possible here
    } cases[] = {{"another user's",
                  [&] {
                      writeFile(queue, queueText);
                      return QProcess::execute("chown", {"65534", queue}) == 0;
                  }},
                 {"a link", [&] {
                      writeFile(root_.path() + "/own queue.txt", queueText);
                      return QFile::link(root_.path() + "/own queue.txt", queue);
                  }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(queue);
        QFile::remove(marker);
        writeFile(app_ + "data/x.dat", "old data");
        writeFile(app_ + "data/x.dat.uTMP", "new data");
        if (!c.plant()) {
            std::printf("skipped: cannot give a file to another user here (needs root)\n");
            continue;
        }
        startHelper(UpgradeMethod::SelfUpgrade);
        ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
        ASSERT_TRUE(waitUntil([&] { return !Marker(marker).isEmpty(); }, 60000));
        EXPECT_EQ(readFile(app_ + "data/x.dat"), "old data");
        EXPECT_TRUE(QFile::exists(app_ + "data/x.dat.uTMP"));
        EXPECT_TRUE(QFileInfo(queue).isSymLink() || QFileInfo::exists(queue));
    }
}

// The helper's scheduling policy, from /proc: 5 is SCHED_IDLE, which it keeps only while it
// waits for a program to end.
int SchedulingPolicy(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 38 ? fields[38].toInt() : -1; // field 41 of the whole line
}

TEST_F(UpgradeHelperProcess, WaitsUntilTheRunningProgramHasEnded) {
    ASSERT_TRUE(QFile::copy("/bin/sleep", program_));
    QProcess running;
    running.start(program_, {"600"});
    ASSERT_TRUE(running.waitForStarted());
    const QString marker = root_.path() + "/started.txt";
    writeScript(program_ + ".uTMP", marker, "new", false);

    startHelper(UpgradeMethod::SelfUpgrade);
    ASSERT_TRUE(waitUntil([&] { return SchedulingPolicy(helper_.processId()) == 5; }, 60000));
    EXPECT_TRUE(QFile::exists(program_ + ".uTMP"));
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_FALSE(helperEnded());

    running.kill();
    ASSERT_TRUE(running.waitForFinished());
    ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
    ASSERT_TRUE(waitUntil([&] { return !Marker(marker).isEmpty(); }, 60000));
    EXPECT_EQ(Marker(marker), "new /afterupgrade");
}

// The setup is a real program (a copy of sleep, given "600" as restart parameters) so that
// the helper has something to wait for.
TEST_F(UpgradeHelperProcess, ExternalSetupRunsHiddenIsAwaitedDeletedAndTheProgramStartsAgain) {
    const QString setup = app_ + "setup.exe";
    const QString programMarker = root_.path() + "/program.txt";
    writeScript(program_, programMarker, "program", true);
    const QByteArray programBytes = readFile(program_);
    ASSERT_TRUE(QFile::copy("/bin/sleep", setup + ".uTMP"));

    startHelper(UpgradeMethod::ExternalSetup, QStringLiteral("600"));
    qint64 setupPid = 0;
    ASSERT_TRUE(waitUntil([&] { return (setupPid = RunningFrom(setup)) != 0; }, 60000));
    ASSERT_TRUE(waitUntil([&] { return SchedulingPolicy(helper_.processId()) == 5; }, 60000));
    EXPECT_FALSE(QFile::exists(setup + ".uTMP"));
    const std::optional<quint32> attributes = platform::GetFileAttributes(setup);
    ASSERT_TRUE(attributes.has_value());
    // Hidden lives in an extended attribute; where the file system keeps none, both are gone.
    if (*attributes & platform::DosAttribute::Archive) {
        EXPECT_TRUE(*attributes & platform::DosAttribute::Hidden);
    }
    EXPECT_FALSE(QFile::exists(programMarker));

    QProcess::execute("kill", {QString::number(setupPid)});
    ASSERT_TRUE(waitUntil([&] { return helperEnded(); }, 60000));
    ASSERT_TRUE(waitUntil([&] { return !Marker(programMarker).isEmpty(); }, 60000));
    EXPECT_EQ(Marker(programMarker), "program 600");
    EXPECT_FALSE(QFile::exists(setup));
    EXPECT_EQ(readFile(program_), programBytes);
}

TEST(UpgradeHelperInformation, WithoutArgumentsItOnlyTellsWhatItIs) {
    QProcess helper;
    helper.start(testsupport::binPath("Upgrader4"), {});
    ASSERT_TRUE(helper.waitForFinished());
    EXPECT_EQ(helper.exitCode(), 0);
    EXPECT_TRUE(helper.readAllStandardOutput().startsWith("Upgrader v4.0"));
}

} // namespace
