// Real copies of a guarded program (tools/instancetest, guarded as main() guards the program)
// meeting each other. Each test works on its own copy of the executable, so its copies share
// their list with nobody else.

#include "platform/InstanceList.h"
#include "platform/SharedMemory.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;

namespace {

constexpr int StartMs = 30000;

// One running copy, with what it printed so far.
class Copy {
public:
    explicit Copy(const QString& executable, const QStringList& arguments = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { output_ += process_.readAllStandardOutput(); });
        process_.start(executable, arguments);
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

private:
    QProcess process_;
    QByteArray output_;
    quint32 pid_ = 0;
};

class TwoCopiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFileInfo(testsupport::binPath("instancetest")).isExecutable())
            << "build the instancetest tool first";
        ASSERT_TRUE(folder_.isValid());
    }
    void TearDown() override {
        // A failed test may leave a list behind; its names are this test's own.
        for (const QString& executable : made_)
            SharedMemory::remove(InstanceObjectNames(executable).map);
        for (const QString& executable : made_)
            NamedSemaphore::remove(InstanceObjectNames(executable).lock);
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
        const QString map = InstanceObjectNames(executable).map;
        if (!SharedMemory::exists(map))
            return std::nullopt;
        return ReadInstanceList(SharedMemory(map, InstanceListBytes).read());
    }

    QTemporaryDir folder_;
    QStringList made_;
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

} // namespace
