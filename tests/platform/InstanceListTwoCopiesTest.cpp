// Real copies of a guarded program (tools/instancetest, guarded as main() guards the program)
// meeting each other. Each test works on its own copy of the executable, so its copies share
// their list with nobody else.

#include "platform/InstanceList.h"
#include "platform/PrivateFolder.h"
#include "platform/SharedMemory.h"
#include "platform/UserIdentity.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

using namespace platform;

namespace {

constexpr int StartMs = 30000;

// One running copy, with what it printed so far.
class Copy {
public:
    // `runner`: a program and its arguments that start the copy (as another user, say).
    explicit Copy(const QString& executable, const QStringList& arguments = {},
                  const QStringList& runner = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process_.setProcessEnvironment(environment);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { output_ += process_.readAllStandardOutput(); });
        QObject::connect(&process_, &QProcess::readyReadStandardError,
                         [this] { errors_ += process_.readAllStandardError(); });
        if (runner.isEmpty())
            process_.start(executable, arguments);
        else
            process_.start(runner.first(), runner.mid(1) + QStringList{executable} + arguments);
        process_.waitForStarted();
        pid_ = quint32(process_.processId());
    }
    ~Copy() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }

    bool printed(const QByteArray& line) {
        return testsupport::waitUntil([&] { return hasLine(line); }, StartMs);
    }
    bool hasLine(const QByteArray& line) const { return output_.split('\n').contains(line); }
    bool running() { return printed("running " + QByteArray::number(process_.processId())); }
    // Ends the copy normally, as closing its window would.
    void quit() {
        process_.write("quit\n");
        process_.closeWriteChannel();
    }
    bool ended() {
        return testsupport::waitUntil([&] { return process_.state() == QProcess::NotRunning; },
                                      StartMs);
    }
    // Ends it as a crash would: nothing of its shutdown runs.
    void kill() {
        process_.kill();
        process_.waitForFinished();
    }

    quint32 pid() const { return pid_; }
    int exitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
    const QByteArray& output() const { return output_; }
    const QByteArray& errors() const { return errors_; }

private:
    QProcess process_;
    QByteArray output_;
    QByteArray errors_;
    quint32 pid_ = 0;
};

class TwoCopiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(testsupport::binPath("instancetest")).isExecutable())
            << "build the instancetest tool first";
        ASSERT_TRUE(folder_.isValid());
        // The copies keep their guard in a runtime folder of this test's own.
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
            saved_.emplace_back(name, qgetenv(name));
        runtime_ = folder_.path() + "/run";
        ASSERT_TRUE(QDir().mkpath(runtime_));
        QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_));
        ASSERT_TRUE(QDir().mkpath(folder_.path() + "/tmp"));
        qputenv("TMPDIR", QFile::encodeName(folder_.path() + "/tmp"));
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

    // The names of this user's copies of `executable`, as the copies make them.
    static InstanceNames ourNames(const QString& executable) {
        return InstanceObjectNames(executable, GuardFolder());
    }

    // A copy of the guarded program in a folder of this test.
    QString executableIn(const QString& subfolder) {
        const QString dir = folder_.path() + "/" + subfolder;
        QDir().mkpath(dir);
        const QString path = QFileInfo(dir).canonicalFilePath() + "/instancetest";
        if (!QFile::exists(path)) {
            EXPECT_TRUE(QFile::copy(testsupport::binPath("instancetest"), path));
        }
        made_.append(path);
        return path;
    }

    // The shared list of that executable's copies; nothing when no list exists.
    static std::optional<InstanceList> listOf(const QString& executable) {
        const QString map = ourNames(executable).map;
        if (!SharedMemory::exists(map))
            return std::nullopt;
        return ReadInstanceList(SharedMemory(map, InstanceListBytes).read());
    }

    // Whatever of the guard of that executable's copies is left in a user's guard folder: the
    // list, the lock, a socket.
    static QStringList leftObjects(const QString& executable, const QString& folder) {
        const InstanceNames names = InstanceObjectNames(executable, folder);
        const QString prefix = QFileInfo(names.messageBase).fileName();
        return QDir(folder).entryList({prefix + "*"}, QDir::AllEntries | QDir::System |
                                                          QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Starts programs as the user "nobody", with a runtime folder of that user's own
    // (theirRuntime()); empty when this test cannot (not root, or no setpriv), and `folder_` is
    // then left as it is.
    QStringList asAnotherUser() {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty())
            return {};
        // The other user must reach the copies of the program.
        QFile::setPermissions(folder_.path(), QFile::permissions(folder_.path()) | QFile::ExeOther |
                                                  QFile::ReadOther);
        QDir().mkpath(theirRuntime());
        if (::chown(QFile::encodeName(theirRuntime()).constData(), 65534, 65534) != 0)
            return {};
        return {setpriv,
                "--reuid=65534",
                "--regid=65534",
                "--clear-groups",
                "--",
                "env",
                "XDG_RUNTIME_DIR=" + theirRuntime()};
    }
    QString theirRuntime() const { return folder_.path() + "/run-nobody"; }

    QTemporaryDir folder_;
    QString runtime_;
    QStringList made_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
};

using Pids = std::vector<quint32>;

TEST_F(TwoCopiesTest, SecondStartOfTheSameExecutableRestoresTheFirstAndEndsWithZero) {
    const QString executable = executableIn("a");
    Copy first(executable, {"--minimised"});
    ASSERT_TRUE(first.running()) << first.output().constData();
    std::optional<InstanceList> list = listOf(executable);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->maxInstances, 65535);
    EXPECT_EQ(list->pids, Pids{first.pid()});

    Copy second(executable);
    ASSERT_TRUE(second.ended());
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.output().contains("running")) << "it must end before its window";

    // The first copy was asked to the front and left its minimised state.
    EXPECT_TRUE(first.printed("front normal")) << first.output().constData();
    list = listOf(executable);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->pids, Pids{first.pid()}) << "the rejected copy took itself off";

    first.quit();
    ASSERT_TRUE(first.ended());
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(TwoCopiesTest, CopyOfTheExecutableInAnotherFolderRunsBesideTheFirst) {
    const QString here = executableIn("a");
    const QString there = executableIn("b");
    Copy first(here);
    ASSERT_TRUE(first.running());
    Copy other(there);
    ASSERT_TRUE(other.running()) << other.output().constData();
    EXPECT_FALSE(first.hasLine("front normal"));
    EXPECT_EQ(listOf(here)->pids, Pids{first.pid()});
    EXPECT_EQ(listOf(there)->pids, Pids{other.pid()});
    for (Copy* copy : {&first, &other}) {
        copy->quit();
        ASSERT_TRUE(copy->ended());
        EXPECT_EQ(copy->exitCode(), 0);
    }
}

TEST_F(TwoCopiesTest, AfterTheOnlyCopyEndedNormallyOrCrashedANewStartRuns) {
    const QString executable = executableIn("a");
    {
        Copy only(executable);
        ASSERT_TRUE(only.running());
        only.quit();
        ASSERT_TRUE(only.ended());
        EXPECT_EQ(only.exitCode(), 0);
        EXPECT_FALSE(listOf(executable)) << "the list goes with the last copy";
        EXPECT_EQ(leftObjects(executable, GuardFolder()), QStringList())
            << "and so does every other object of the guard";
    }
    {
        Copy next(executable);
        ASSERT_TRUE(next.running()) << next.output().constData();
        // A crash leaves the list with a pid that is no longer alive.
        next.kill();
        std::optional<InstanceList> left = listOf(executable);
        ASSERT_TRUE(left);
        EXPECT_EQ(left->pids, Pids{next.pid()});
    }
    Copy afterCrash(executable);
    ASSERT_TRUE(afterCrash.running()) << afterCrash.output().constData();
    EXPECT_EQ(listOf(executable)->pids, Pids{afterCrash.pid()});
    afterCrash.quit();
    ASSERT_TRUE(afterCrash.ended());
}

TEST_F(TwoCopiesTest, AnotherUserRunsTheSameExecutableWithAGuardOfItsOwn) {
    const QStringList other = asAnotherUser();
    if (other.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to start a copy as another user";
    const QString executable = executableIn("a");
    QFile::setPermissions(QFileInfo(executable).path(),
                          QFile::permissions(QFileInfo(executable).path()) | QFile::ExeOther);
    Copy mine(executable);
    ASSERT_TRUE(mine.running());
    Copy theirs(executable, {}, other);
    ASSERT_TRUE(theirs.running()) << theirs.errors().constData();
    EXPECT_FALSE(theirs.errors().contains("guard off")) << theirs.errors().constData();
    EXPECT_FALSE(mine.hasLine("front normal"));
    // Their second copy still meets their first.
    Copy theirSecond(executable, {}, other);
    ASSERT_TRUE(theirSecond.ended());
    EXPECT_TRUE(theirs.printed("front normal"));
    EXPECT_FALSE(mine.hasLine("front normal"));
    for (Copy* copy : {&mine, &theirs}) {
        copy->quit();
        ASSERT_TRUE(copy->ended());
    }
    // Their list is theirs to remove: it is gone with their last copy.
    EXPECT_EQ(leftObjects(executable, theirRuntime() + "/varnholt/"), QStringList());
    EXPECT_EQ(leftObjects(executable, GuardFolder()), QStringList());
}

// The guard keeps its names in a folder only this user may enter: another user can neither
// make them first nor listen under them, and a folder of the name that another user made is
// not taken for ours.
TEST_F(TwoCopiesTest, AnotherUserCanNeitherMakeNorTakeOurNames) {
    const QStringList other = asAnotherUser();
    if (other.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to act as another user";
    const QString python = "/usr/bin/python3";
    if (!QFileInfo(python).isExecutable())
        GTEST_SKIP() << "needs " << python.toStdString();
    const QString executable = executableIn("a");
    // Their own folder where ours would be: open to all, a socket and a list planted in it.
    const QString planted = runtime_ + "/varnholt";
    ASSERT_EQ(QProcess::execute("/bin/sh", {"-c", "chmod 1777 \"$1\"", "sh", runtime_}), 0);
    ASSERT_EQ(QProcess::execute(other.first(),
                                other.mid(1) + QStringList{"/bin/sh", "-c",
                                                           "umask 0 && mkdir \"$1\" && : > "
                                                           "\"$1/x\"",
                                                           "plant", planted}),
              0);
    Copy first(executable);
    ASSERT_TRUE(first.running()) << first.errors().constData();
    EXPECT_FALSE(first.errors().contains("guard off")) << first.errors().constData();
    const QString ours = GuardFolder();
    EXPECT_EQ(ours, folder_.path() + "/tmp/varnholt-" + QString::number(::geteuid()) + "/");
    EXPECT_EQ(QFileInfo(ours).ownerId(), ::geteuid());
    EXPECT_EQ(QFile::permissions(ours) & 0x0777,
              QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    Copy second(executable);
    EXPECT_TRUE(second.ended()) << "the guard still keeps a second copy out";
    EXPECT_EQ(second.exitCode(), 0);

    // Nothing of theirs can go into our folder: no list, no socket under a copy's name.
    const InstanceNames names = ourNames(executable);
    EXPECT_NE(QProcess::execute(other.first(),
                                other.mid(1) +
                                    QStringList{"/bin/sh", "-c", ": > \"$1\"", "plant", names.map}),
              0);
    EXPECT_NE(QProcess::execute(other.first(),
                                other.mid(1) + QStringList{python, "-c",
                                                           "import socket, sys\n"
                                                           "s = socket.socket(socket.AF_UNIX)\n"
                                                           "s.bind(sys.argv[1])\n",
                                                           names.messageName(4242)}),
              0);
    EXPECT_EQ(listOf(executable)->pids, Pids{first.pid()});
    first.quit();
    ASSERT_TRUE(first.ended());
}

TEST_F(TwoCopiesTest, AListOrLockAnotherUserMadeUnderOurNamesIsLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a block to another user";
    const QString executable = executableIn("a");
    const InstanceNames names = ourNames(executable);
    InstanceList planted;
    planted.maxInstances = InstanceListMaxMark;
    planted.pids = {quint32(::getpid())}; // alive, and no copy of ours
    QByteArray before;
    {
        SharedMemory block(names.map, InstanceListBytes);
        block.write(WriteInstanceList(planted));
        before = block.read();
    }
    ASSERT_EQ(::chown(QFile::encodeName(names.map).constData(), 65534, 65534), 0);

    Copy copy(executable);
    ASSERT_TRUE(copy.running()) << copy.errors().constData();
    EXPECT_TRUE(copy.errors().contains("belongs to another user")) << copy.errors().constData();
    ::chown(QFile::encodeName(names.map).constData(), 0, 0);
    EXPECT_EQ(SharedMemory(names.map, InstanceListBytes).read(), before)
        << "nothing of it was read as ours or written";
    copy.quit();
    ASSERT_TRUE(copy.ended());
}

// A listed copy that holds its name but never answers (hung, or its queue full) is passed
// over: the new copy runs, and does so without waiting twice.
TEST_F(TwoCopiesTest, AListedCopyThatNeverAnswersDoesNotKeepANewOneOut) {
    const QString python = "/usr/bin/python3";
    if (!QFileInfo(python).isExecutable())
        GTEST_SKIP() << "needs " << python.toStdString();
    const QString executable = executableIn("a");
    const InstanceNames names = ourNames(executable);
    // Listens under its own pid's name, and never takes a connection.
    QProcess hung;
    hung.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    hung.start(python, {"-c", R"(
import os, socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.bind(sys.argv[1] + "-" + str(os.getpid()))
s.listen(0)
print("ready", flush=True)
time.sleep(600)
)",
                        names.messageBase});
    ASSERT_TRUE(hung.waitForStarted());
    ASSERT_TRUE(testsupport::waitUntil([&] { return hung.canReadLine(); }, StartMs));
    {
        InstanceList list;
        list.maxInstances = InstanceListMaxMark;
        list.pids = {quint32(hung.processId())};
        SharedMemory(names.map, InstanceListBytes).write(WriteInstanceList(list));
    }

    Copy copy(executable);
    const bool ran = copy.running();
    hung.kill();
    hung.waitForFinished();
    ASSERT_TRUE(ran) << "a copy that never answers must not end ours";
    copy.quit();
    ASSERT_TRUE(copy.ended());
    EXPECT_EQ(copy.exitCode(), 0);
}

} // namespace
