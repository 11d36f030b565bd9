// Real copies of a guarded program (tools/instancetest, guarded as main() guards the program)
// meeting each other. Each test works on its own copy of the executable, so its copies share
// their list with nobody else.

#include "platform/InstanceList.h"
#include "platform/SharedMemory.h"
#include "platform/UserIdentity.h"
#include "platform/UserSecret.h"

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
        // The copies keep their secret in a home of this test's own.
        oldHome_ = qgetenv("HOME");
        const QString home = folder_.path() + "/home";
        ASSERT_TRUE(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
    }
    void TearDown() override {
        // A failed test may leave a list behind; its names are this test's own.
        for (const QString& executable : made_)
            SharedMemory::remove(ourNames(executable).map);
        for (const QString& executable : made_)
            NamedLock::remove(ourNames(executable).lock);
        qputenv("HOME", oldHome_);
    }

    // The names of this user's copies of `executable`, as the copies make them.
    static InstanceNames ourNames(const QString& executable) {
        return InstanceObjectNames(executable, currentUserId(), UserSecret(UserSecretFile()));
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

    // Whatever is left in the shared objects' folder under the names of that executable's
    // copies for `uid`: the list, the lock, or a semaphore under the lock's name.
    static QStringList leftObjects(const QString& executable, unsigned uid) {
        const InstanceNames names =
            uid == currentUserId() ? ourNames(executable) : InstanceObjectNames(executable, uid);
        QStringList left;
        for (const QString& name : {names.map, names.lock, "sem." + names.lock})
            if (QFileInfo::exists("/dev/shm/" + name))
                left << name;
        return left;
    }

    // Starts programs as the user "nobody"; empty when this test cannot (not root, or no
    // setpriv), and `folder_` is then left as it is.
    QStringList asAnotherUser() {
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty())
            return {};
        // The other user must reach the copies of the program.
        QFile::setPermissions(folder_.path(), QFile::permissions(folder_.path()) | QFile::ExeOther |
                                                  QFile::ReadOther);
        return {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    }

    QTemporaryDir folder_;
    QStringList made_;
    QByteArray oldHome_;
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
        EXPECT_EQ(leftObjects(executable, currentUserId()), QStringList())
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
    EXPECT_FALSE(SharedMemory::exists(InstanceObjectNames(executable, 65534).map));
    EXPECT_EQ(leftObjects(executable, 65534), QStringList());
    EXPECT_EQ(leftObjects(executable, currentUserId()), QStringList());
}

// The names carry a secret only this user can read: objects another user makes in advance
// under the names they can work out (path and uid) do not switch our guard off.
TEST_F(TwoCopiesTest, ObjectsAnotherUserMadeFirstDoNotSwitchOurGuardOff) {
    const QStringList other = asAnotherUser();
    if (other.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to make objects as another user";
    const QString executable = executableIn("a");
    const InstanceNames guessed = InstanceObjectNames(executable, currentUserId());
    QStringList planted;
    for (const QString& name : {guessed.map, guessed.lock, "sem." + guessed.lock})
        planted << "/dev/shm/" + name;
    ASSERT_EQ(QProcess::execute(other.first(), other.mid(1) +
                                                   QStringList{"/bin/sh", "-c",
                                                               "umask 0 && for f in \"$@\"; do : > "
                                                               "\"$f\" || exit 1; done",
                                                               "plant"} +
                                                   planted),
              0);
    for (const QString& path : planted)
        ASSERT_TRUE(QFileInfo(path).ownerId() == 65534) << path.toStdString();

    Copy first(executable);
    const bool ran = first.running();
    Copy second(executable);
    const bool secondEnded = second.ended();
    for (const QString& path : planted)
        QFile::remove(path);
    ASSERT_TRUE(ran) << first.errors().constData();
    EXPECT_FALSE(first.errors().contains("guard off")) << first.errors().constData();
    EXPECT_TRUE(secondEnded) << "the guard still keeps a second copy out";
    EXPECT_EQ(second.exitCode(), 0);
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
    ASSERT_EQ(::chown(("/dev/shm/" + names.map.toUtf8()).constData(), 65534, 65534), 0);

    Copy copy(executable);
    ASSERT_TRUE(copy.running()) << copy.errors().constData();
    EXPECT_TRUE(copy.errors().contains("belongs to another user")) << copy.errors().constData();
    ::chown(("/dev/shm/" + names.map.toUtf8()).constData(), 0, 0);
    EXPECT_EQ(SharedMemory(names.map, InstanceListBytes).read(), before)
        << "nothing of it was read as ours or written";
    copy.quit();
    ASSERT_TRUE(copy.ended());
}

TEST_F(TwoCopiesTest, AnotherUsersProcessUnderAListedCopysNameIsNotThatCopy) {
    const QStringList other = asAnotherUser();
    if (other.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to start a process as another user";
    // The system's own: a user's interpreter (pyenv, say) may not be reachable for another.
    const QString python = "/usr/bin/python3";
    if (!QFileInfo(python).isExecutable())
        GTEST_SKIP() << "needs " << python.toStdString();
    const QString executable = executableIn("a");
    const InstanceNames names = ourNames(executable);
    // A dead copy's pid, now another user's process that answers under its name "active".
    QProcess squatter;
    squatter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    squatter.start(other.first(), other.mid(1) + QStringList{python, "-c", R"(
import os, socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.bind("\0" + sys.argv[1] + "_" + str(os.getpid()))
s.listen(8)
print("ready", flush=True)
while True:
    c, _ = s.accept()
    if b"\x04" in c.recv(16):
        c.sendall(b"\x05\x01")
)",
                                                             names.messageBase});
    ASSERT_TRUE(squatter.waitForStarted());
    ASSERT_TRUE(testsupport::waitUntil([&] { return squatter.canReadLine(); }, StartMs));
    {
        InstanceList list;
        list.maxInstances = InstanceListMaxMark;
        list.pids = {quint32(squatter.processId())};
        SharedMemory(names.map, InstanceListBytes).write(WriteInstanceList(list));
    }

    Copy copy(executable);
    const bool ran = copy.running();
    squatter.kill();
    squatter.waitForFinished();
    ASSERT_TRUE(ran) << "a foreign answer must not end our copy";
    EXPECT_EQ(listOf(executable)->pids, Pids{copy.pid()}) << "the foreign pid is dropped";
    copy.quit();
    ASSERT_TRUE(copy.ended());
}

} // namespace
