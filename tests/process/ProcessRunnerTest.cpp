#include "process/ProcessRunner.h"
#include "platform/Errors.h"
#include "process/RunnerSetup.h"
#include "process/TopLevelErrorReport.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;
using RunnerState = ProcessRunner::RunnerState;

namespace {

// Fields of /proc/<pid>/stat after the command name, or nothing when the process is gone.
std::optional<QList<QByteArray>> procStat(const QString& pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = f.readAll();
    return text.mid(text.lastIndexOf(')') + 2).trimmed().split(' ');
}

// Field 19 of the stat line (the nice value); field 3 is the first after the name.
int niceOf(const QByteArray& statLine) {
    return statLine.mid(statLine.lastIndexOf(')') + 2).split(' ').at(19 - 3).toInt();
}

struct Report {
    quint32 exitCode;
    RunnerState stateInHandler;
    int pendingInHandler;
};

class ProcessRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    // A held script of a failed test must not outlive it.
    void TearDown() override { release(); }

    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

    // A /bin/sh script in the temporary folder, executable; returns its path.
    QString script(const QString& name, const QByteArray& body) {
        const QString p = path(name);
        writeFile(p, "#!/bin/sh\n" + body);
        QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return p;
    }

    // Writes its pid, then runs until the file "release" appears, then exits with `code`.
    QString heldScript(const QString& name, int code) {
        return script(name, QStringLiteral("echo $$ > '%1.tmp' && mv '%1.tmp' '%1'\n"
                                           "while [ ! -e '%2' ]; do sleep 0.02; done\n"
                                           "exit %3\n")
                                .arg(path(name + ".pid"), path("release"))
                                .arg(code)
                                .toUtf8());
    }

    QString waitForPid(const QString& name) {
        const QString pidFile = path(name + ".pid");
        if (!waitUntil([&] { return QFile::exists(pidFile); }))
            return {};
        return QString::fromUtf8(readFile(pidFile).trimmed());
    }

    void release() { writeFile(path("release"), ""); }

    void recordInto(ProcessRunner& runner) {
        runner.OnTerminate = [this, &runner](quint32 code) {
            reports_.push_back({code, runner.State(), runner.PendingReports()});
        };
    }

    // Whatever the wait threads queued has been posted by the time their report ran, so one
    // more pass over the queue shows any duplicate.
    void drainEvents() { QCoreApplication::processEvents(); }

    QTemporaryDir dir_;
    // Gone before the folder: a script that never saw "release" does not poll on forever.
    testsupport::ChildrenBelow children_{dir_.path()};
    std::vector<Report> reports_;
};

TEST_F(ProcessRunnerTest, QuickProcessGivesOneReportAfterRunReturnsWithRunnerIdle) {
    ProcessRunner runner;
    bool runReturned = false;
    bool returnedBeforeReport = false;
    runner.OnTerminate = [&](quint32 code) {
        returnedBeforeReport = runReturned;
        reports_.push_back({code, runner.State(), runner.PendingReports()});
    };
    runner.CommandLine = script("quick.sh", "exit 0\n");
    runner.Run();
    runReturned = true;
    EXPECT_EQ(runner.State(), RunnerState::Waiting);
    EXPECT_EQ(runner.PendingReports(), 1);

    ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); }));
    drainEvents();
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_TRUE(returnedBeforeReport);
    EXPECT_EQ(reports_[0].stateInHandler, RunnerState::Idle);
    EXPECT_EQ(reports_[0].pendingInHandler, 0);
    EXPECT_EQ(runner.State(), RunnerState::Idle);
}

// Signals that have a handler interrupt whatever call a thread waits in; the wait thread must
// take that in its stride.
TEST_F(ProcessRunnerTest, ASignalWithAHandlerWhileWaitingStillGivesOneReport) {
    static std::atomic<int> caught{0};
    const auto previous = std::signal(SIGUSR1, [](int) { ++caught; });
    ProcessRunner runner;
    recordInto(runner);
    runner.CommandLine = heldScript("held.sh", 7);
    runner.Run();
    ASSERT_FALSE(waitForPid("held.sh").isEmpty());
    // Every thread of ours, the runner's wait thread among them, is interrupted a few times.
    for (int round = 0; round < 5; ++round) {
        for (const QString& task :
             QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            ::syscall(SYS_tgkill, ::getpid(), task.toInt(), SIGUSR1);
        waitUntil([] { return false; }, 20);
    }
    EXPECT_GT(caught.load(), 0);
    EXPECT_TRUE(reports_.empty()) << "the process has not ended yet";
    release();
    ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); }));
    drainEvents();
    std::signal(SIGUSR1, previous);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].exitCode, 7u);
    EXPECT_EQ(runner.State(), RunnerState::Idle);
}

// A test that fails before it releases its held child: once its folder is gone the child
// would poll for ever, so the guard beside the folder ends it.
TEST_F(ProcessRunnerTest, AHeldChildIsEndedWhenTheTestGoesWithoutReleasingIt) {
    QString pid;
    {
        QTemporaryDir other;
        ASSERT_TRUE(other.isValid());
        testsupport::ChildrenBelow children(other.path());
        const QString held = other.path() + "/held.sh";
        writeFile(held,
                  QStringLiteral("#!/bin/sh\necho $$ > '%1/pid.tmp' && mv '%1/pid.tmp' "
                                 "'%1/pid'\nwhile [ ! -e '%1/release' ]; do sleep 0.02; done\n")
                      .arg(other.path())
                      .toUtf8());
        QFile::setPermissions(held, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ProcessRunner runner;
        recordInto(runner);
        runner.CommandLine = held;
        runner.Run();
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(other.path() + "/pid"); }));
        pid = QString::fromUtf8(readFile(other.path() + "/pid").trimmed());
        EXPECT_TRUE(children.running().contains(pid.toLongLong()));
    }
    const std::optional<QList<QByteArray>> stat = procStat(pid);
    EXPECT_TRUE(!stat || stat->value(0) == "Z") << "the held child still runs";
}

TEST_F(ProcessRunnerTest, HandlerMayRunTheSameRunnerAgain) {
    ProcessRunner runner;
    const QString second = script("second.sh", "exit 4\n");
    runner.OnTerminate = [&](quint32 code) {
        reports_.push_back({code, runner.State(), runner.PendingReports()});
        if (reports_.size() == 1) {
            runner.CommandLine = second;
            runner.Run();
        }
    };
    runner.CommandLine = script("first.sh", "exit 3\n");
    runner.Run();

    ASSERT_TRUE(waitUntil([&] { return reports_.size() == 2; }));
    drainEvents();
    ASSERT_EQ(reports_.size(), 2u);
    EXPECT_EQ(reports_[0].exitCode, 3u);
    EXPECT_EQ(reports_[1].exitCode, 4u);
    EXPECT_EQ(runner.State(), RunnerState::Idle);
}

TEST_F(ProcessRunnerTest, MissingProgramRaisesOsErrorAndNoReport) {
    ProcessRunner runner;
    recordInto(runner);
    runner.CommandLine = path("missing prog") + " -x";
    try {
        runner.Run();
        FAIL() << "Run did not raise";
    } catch (const OsError& e) {
        EXPECT_EQ(e.code(), ENOENT);
    }
    EXPECT_EQ(runner.State(), RunnerState::Idle);
    EXPECT_EQ(runner.PendingReports(), 0);
    drainEvents();
    EXPECT_TRUE(reports_.empty());

    // The failure leaves nothing behind that stops the next start.
    runner.CommandLine = script("ok.sh", "exit 0\n");
    runner.Run();
    ASSERT_TRUE(waitUntil([&] { return reports_.size() == 1; }));
}

TEST_F(ProcessRunnerTest, RunWhileWaitingFailsAndChangesNothing) {
    ProcessRunner runner;
    recordInto(runner);
    runner.CommandLine = heldScript("held", 7);
    runner.Run();

    runner.CommandLine = script("other.sh", "exit 1\n");
    try {
        runner.Run();
        FAIL() << "Run did not raise";
    } catch (const RunnerBusyError& e) {
        EXPECT_EQ(e.message(), "Cannot perform this operation when process is running");
    }
    EXPECT_THROW(runner.SetWaitForTerminate(false), RunnerBusyError);
    EXPECT_TRUE(runner.WaitForTerminate());
    EXPECT_EQ(runner.State(), RunnerState::Waiting);
    EXPECT_EQ(runner.PendingReports(), 1);

    release();
    ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); }));
    drainEvents();
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].exitCode, 7u); // the first process's, not the refused one's
}

TEST_F(ProcessRunnerTest, DestroyingWaitingRunnerLeavesProcessRunningWithoutReport) {
    auto runner = std::make_unique<ProcessRunner>();
    recordInto(*runner);
    runner->CommandLine = heldScript("held", 0);
    runner->Run();
    const QString pid = waitForPid("held");
    ASSERT_FALSE(pid.isEmpty());

    runner.reset();
    drainEvents();
    EXPECT_TRUE(reports_.empty());
    const auto stat = procStat(pid);
    ASSERT_TRUE(stat.has_value()) << "the process was ended with its runner";
    EXPECT_NE(stat->at(0), "Z");

    // Once it ends it is reaped, not left as a zombie.
    release();
    EXPECT_TRUE(waitUntil([&] { return !procStat(pid).has_value(); }));
    drainEvents();
    EXPECT_TRUE(reports_.empty());
}

TEST_F(ProcessRunnerTest, UnquotedPathWithBlanksAndTrimmedWorkingDirectory) {
    const QString folder = path("my steam");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = script("my steam/steam.sh", "pwd > cwd.txt\n"
                                                        "for a in \"$@\"; do echo \"$a\"; done "
                                                        "> args.txt\n");
    ProcessRunner runner;
    recordInto(runner);
    runner.CommandLine = program + R"( -silent  -applaunch 380 "a b" c\"d)";
    runner.CurrentDirectory = QStringLiteral(" \t") + folder + QStringLiteral("/ \n");
    runner.Run();
    ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); }));

    EXPECT_EQ(readFile(folder + "/cwd.txt").trimmed(), QDir(folder).canonicalPath().toUtf8());
    EXPECT_EQ(readFile(folder + "/args.txt"), "-silent\n-applaunch\n380\na b\nc\"d\n");
}

TEST_F(ProcessRunnerTest, ExitCodeIsPassedThrough) {
    struct Case {
        const char* body;
        quint32 expected;
    };
    const Case cases[] = {{"exit 0\n", 0},
                          {"exit 3\n", 3},
                          {"exit 255\n", 255},
                          {"kill -TERM $$\n", 128 + 15},
                          {"kill -KILL $$\n", 128 + 9}};
    ProcessRunner runner;
    recordInto(runner);
    for (const Case& c : cases) {
        reports_.clear();
        runner.CommandLine = script("code.sh", c.body);
        runner.Run();
        ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); })) << c.body;
        EXPECT_EQ(reports_[0].exitCode, c.expected) << c.body;
        EXPECT_EQ(runner.ExitCode(), c.expected) << c.body;
    }
}

TEST_F(ProcessRunnerTest, EnvironmentReplacesOursWhenGiven) {
    qputenv("VARNHOLT_PARENT_ONLY", "1");
    const QString program =
        script("env.sh", QStringLiteral("export -p > '%1'\n").arg(path("env.txt")).toUtf8());
    ProcessRunner runner;
    recordInto(runner);
    runner.CommandLine = program;

    runner.Run();
    ASSERT_TRUE(waitUntil([&] { return reports_.size() == 1; }));
    EXPECT_TRUE(readFile(path("env.txt")).contains("VARNHOLT_PARENT_ONLY"));

    runner.Environment = QStringList{"VARNHOLT_CHILD=two words"};
    runner.Run();
    ASSERT_TRUE(waitUntil([&] { return reports_.size() == 2; }));
    const QByteArray env = readFile(path("env.txt"));
    EXPECT_TRUE(env.contains("VARNHOLT_CHILD='two words'")) << env.toStdString();
    EXPECT_FALSE(env.contains("VARNHOLT_PARENT_ONLY"));
    qunsetenv("VARNHOLT_PARENT_ONLY");
}

TEST_F(ProcessRunnerTest, PriorityOfTheConfiguredRunners) {
    const QString program = script(
        "nice.sh", QStringLiteral("cat /proc/$$/stat > '%1'\n").arg(path("stat.txt")).toUtf8());
    const int ours = niceOf(readFile("/proc/self/stat"));
    struct Case {
        const char* name;
        std::function<void(ProcessRunner&, ProcessRunner::TerminateEvent)> configure;
        std::function<bool(int)> expected;
    };
    const Case cases[] = {
        {"game launcher", ConfigureGameLauncher, [](int nice) { return nice == 19; }},
        {"diagnostics runner", ConfigureDiagnosticsRunner, [&](int nice) { return nice == ours; }},
        // Raising the priority is up to our privileges; without them it stays as ours.
        {"high",
         [](ProcessRunner& r, ProcessRunner::TerminateEvent h) {
             ConfigureDiagnosticsRunner(r, std::move(h));
             r.Priority = SpawnPriority::High;
         },
         [&](int nice) { return nice <= ours; }},
    };
    for (const Case& c : cases) {
        QFile::remove(path("stat.txt"));
        ProcessRunner runner;
        bool reported = false;
        c.configure(runner, [&](quint32) { reported = true; });
        runner.CommandLine = program;
        runner.Run();
        ASSERT_TRUE(waitUntil([&] { return reported; })) << c.name;
        const int nice = niceOf(readFile(path("stat.txt")));
        EXPECT_TRUE(c.expected(nice)) << c.name << ": nice " << nice << ", ours " << ours;
    }
}

// The child's own process group and session, as /proc shows them.
TEST_F(ProcessRunnerTest, NewProcessGroupAndNewSessionReachTheChild) {
    const QString program = script(
        "ids.sh", QStringLiteral("cat /proc/$$/stat > '%1'\n").arg(path("stat.txt")).toUtf8());
    // Fields 1 (pid), 5 (process group) and 6 (session) of a stat line.
    struct Ids {
        qint64 pid, group, session;
    };
    const auto idsOf = [](const QByteArray& statLine) {
        const QList<QByteArray> after = statLine.mid(statLine.lastIndexOf(')') + 2).split(' ');
        return Ids{statLine.left(statLine.indexOf(' ')).toLongLong(), after.at(5 - 3).toLongLong(),
                   after.at(6 - 3).toLongLong()};
    };
    const Ids ours = idsOf(readFile("/proc/self/stat"));
    struct Case {
        const char* name;
        bool newGroup, newSession;
        bool ownGroup, ownSession;
    };
    const Case cases[] = {
        {"neither", false, false, false, false},
        {"group", true, false, true, false},
        {"session", false, true, true, true},
        {"both", true, true, true, true},
    };
    for (const Case& c : cases) {
        QFile::remove(path("stat.txt"));
        ProcessRunner runner;
        recordInto(runner);
        runner.NewProcessGroup = c.newGroup;
        runner.NewSession = c.newSession;
        runner.CommandLine = program;
        const std::size_t before = reports_.size();
        runner.Run();
        ASSERT_TRUE(waitUntil([&] { return reports_.size() > before; })) << c.name;
        const Ids child = idsOf(readFile(path("stat.txt")));
        EXPECT_EQ(child.group == child.pid, c.ownGroup) << c.name;
        EXPECT_EQ(child.session == child.pid, c.ownSession) << c.name;
        if (!c.ownGroup) {
            EXPECT_EQ(child.group, ours.group) << c.name;
        }
        if (!c.ownSession) {
            EXPECT_EQ(child.session, ours.session) << c.name;
        }
    }
}

TEST_F(ProcessRunnerTest, SteamStarterReturnsStartedAndItsProcessIsReaped) {
    ProcessRunner SteamStarter;
    ConfigureSteamStarter(SteamStarter);
    SteamStarter.CommandLine = heldScript("client", 0);
    SteamStarter.Run();
    EXPECT_EQ(SteamStarter.State(), RunnerState::Started);
    EXPECT_EQ(SteamStarter.PendingReports(), 0);
    const QString pid = waitForPid("client");
    ASSERT_FALSE(pid.isEmpty());

    // A started runner may be run again straight away.
    SteamStarter.CommandLine = script("again.sh", "exit 0\n");
    SteamStarter.Run();
    EXPECT_EQ(SteamStarter.State(), RunnerState::Started);

    release();
    EXPECT_TRUE(waitUntil([&] { return !procStat(pid).has_value(); }));
    EXPECT_EQ(SteamStarter.State(), RunnerState::Started);
}

TEST_F(ProcessRunnerTest, HandlerErrorGoesToTopLevelReport) {
    std::vector<std::string> reported;
    setTopLevelErrorReport([&](const std::exception& e) { reported.push_back(e.what()); });
    struct RestoreReport {
        ~RestoreReport() { setTopLevelErrorReport(nullptr); }
    } restore;
    ProcessRunner runner;
    int calls = 0;
    runner.OnTerminate = [&](quint32) {
        ++calls;
        throw AppError(QStringLiteral("handler failed"));
    };
    runner.CommandLine = script("quick.sh", "exit 0\n");
    runner.Run();
    ASSERT_TRUE(waitUntil([&] { return !reported.empty(); }));

    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reported, std::vector<std::string>{"handler failed"});
    EXPECT_EQ(runner.State(), RunnerState::Idle);
}

} // namespace

namespace {

// A game Steam started is not ours: the runner follows it through its pidfd, reporting its end
// as a started process's, and leaves it alone when told to stop.
TEST_F(ProcessRunnerTest, FollowsTheEndOfAProcessThatIsNotItsChild) {
    qint64 detached = 0;
    ASSERT_TRUE(QProcess::startDetached(heldScript("game", 0), {}, QString(), &detached));
    const QString pid = waitForPid("game");
    ASSERT_EQ(pid, QString::number(detached));

    ProcessRunner runner;
    recordInto(runner);
    runner.Follow(detached);
    EXPECT_EQ(runner.State(), RunnerState::Waiting);
    EXPECT_THROW(runner.Follow(detached), RunnerBusyError) << "one process at a time";
    drainEvents();
    EXPECT_TRUE(reports_.empty());

    release();
    ASSERT_TRUE(waitUntil([&] { return !reports_.empty(); }));
    drainEvents();
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0].stateInHandler, RunnerState::Idle);
    EXPECT_EQ(reports_[0].exitCode, 0u) << "a process that is not ours has no known exit code";
}

TEST_F(ProcessRunnerTest, AFollowedProcessStopsBeingFollowedWithoutAReport) {
    qint64 detached = 0;
    ASSERT_TRUE(QProcess::startDetached(heldScript("game", 0), {}, QString(), &detached));
    ASSERT_FALSE(waitForPid("game").isEmpty());
    ProcessRunner runner;
    recordInto(runner);
    runner.Follow(detached);
    runner.StopWaiting();
    EXPECT_EQ(runner.State(), RunnerState::Idle);
    EXPECT_TRUE(procStat(QString::number(detached)).has_value()) << "it runs on";
    release();
    ASSERT_TRUE(waitUntil([&] {
        const auto stat = procStat(QString::number(detached));
        return !stat || stat->at(0) == "Z"; // whoever reaps it may be slow
    }));
    drainEvents();
    EXPECT_TRUE(reports_.empty());

    // One that has gone (and been reaped) cannot be followed.
    if (waitUntil([&] { return !procStat(QString::number(detached)).has_value(); })) {
        EXPECT_THROW(runner.Follow(detached), OsError);
        EXPECT_EQ(runner.State(), RunnerState::Idle);
    }
}

} // namespace
