#include "SteamLayout.h"
#include "support/TestSupport.h"

#include "game/ProcessDetection.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <unistd.h>

namespace {

using platform::ProcessEntry;

TEST(ProcessNames, LastElementOfArgv0ElseComm) {
    const struct {
        QByteArray cmdline, comm;
        const char* name;
    } cases[] = {
        {QByteArray("/usr/games/hl2.exe\0-game\0episodic\0", 35), "x\n", "hl2.exe"},
        {QByteArray("C:\\Program Files\\Steam\\Steam.exe\0-silent\0", 41), "", "Steam.exe"},
        {QByteArray("C:/mixed\\dir/steam.exe\0", 23), "", "steam.exe"},
        {QByteArray("sleep\0"
                    "60\0",
                    9),
         "", "sleep"},
        {QByteArray("sh -c title\0", 12), "", "sh -c title"}, // a rewritten title is argv[0]
        {"", "kworker/0:1\n", "kworker/0:1"},                 // kernel threads have no argv
        {QByteArray("/usr/lib/\0", 10), "daemon\n", "daemon"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ExecutableFileName(c.cmdline, c.comm), QString::fromLatin1(c.name))
            << c.name;
}

TEST(ProcessRules, SteamIsAnyNameContainingSteamExe) {
    const struct {
        QStringList names;
        bool running;
    } cases[] = {
        {{"init", "Steam.exe"}, true},        {{"STEAM.EXE"}, true},
        {{"notsteam.exe", "bash"}, true},     {{"steam.exe.bak"}, true},
        {{"steam.ex", "e"}, false}, // the names are not run together
        {{"steam", "steamwebhelper"}, false}, {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SteamFoundIn(c.names), c.running) << c.names.join(",").toStdString();
}

TEST(ProcessRules, OnlyTheFirstGameProcessIsTested) {
    const std::vector<ProcessEntry> processes = {
        {10, "steam.exe"}, {20, "hl2.exe.old"}, {30, "HL2.EXE"}, {40, "hl2.exe"}};
    EXPECT_EQ(FirstGameProcess(processes), 30);
    QList<qint64> asked;
    const auto aliveExcept30 = [&](qint64 pid) {
        asked << pid;
        return pid != 30;
    };
    EXPECT_FALSE(GameRunningIn(processes, aliveExcept30)) << "a live second hl2.exe is ignored";
    EXPECT_EQ(asked, QList<qint64>{30});
    EXPECT_TRUE(GameRunningIn(processes, [](qint64 pid) { return pid == 30; }));
    EXPECT_FALSE(GameRunningIn({{1, "hl2"}, {2, "xhl2.exe"}}, [](qint64) { return true; }));
}

TEST(ProcessRules, TodaysClientIsALiveProcessNamedExactlySteam) {
    const struct {
        std::vector<ProcessEntry> processes;
        bool running;
    } cases[] = {
        {{{1, "bash"}, {2, "steam"}}, true},
        {{{3, "steam"}}, false}, // pid 3 has ended
        {{{1, "Steam"}}, false},
        {{{1, "steamwebhelper"}, {2, "steam.sh"}, {4, "steam-runtime"}}, false},
        {{{3, "steam"}, {4, "steam"}}, true},
        {{}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinuxSteamClientIn(c.processes, [](qint64 pid) { return pid != 3; }), c.running)
            << c.processes.size();
    }
    std::vector<ProcessEntry> listing = {{7, "steam"}, {8, "steamwebhelper"}};
    ProcessDetection detection({[&] { return listing; }, [](qint64) { return true; }});
    EXPECT_TRUE(detection.IsSteamRunning());
    listing = {{8, "steamwebhelper"}};
    EXPECT_FALSE(detection.IsSteamRunning()) << "a helper alone is not the client";
}

TEST(ProcessRules, TodaysNativeGameCountsBesideTheWindowsOne) {
    const auto alive = [](const QSet<qint64>& pids) {
        return [pids](qint64 pid) { return pids.contains(pid); };
    };
    const std::vector<ProcessEntry> native = {{5, "hl2.sh"}, {6, "hl2_linux"}, {7, "hl2_linux"}};
    EXPECT_TRUE(GameRunningIn(native, alive({6})));
    EXPECT_FALSE(GameRunningIn(native, alive({7}))) << "only the first hl2_linux is asked";
    EXPECT_FALSE(GameRunningIn(native, alive({5})));
    EXPECT_FALSE(GameRunningIn({{6, "HL2_LINUX"}}, alive({6})));
    // Proton's game is hl2.exe; either one alive is the game running.
    EXPECT_TRUE(GameRunningIn({{1, "hl2.exe"}, {6, "hl2_linux"}}, alive({6})));
    EXPECT_TRUE(GameRunningIn({{1, "hl2.exe"}, {6, "hl2_linux"}}, alive({1})));
    EXPECT_FALSE(GameRunningIn({{1, "hl2.exe"}, {6, "hl2_linux"}}, alive({})));
}

TEST(ProcessDetectionState, FailedListingKeepsThePreviousSteamAnswer) {
    std::optional<std::vector<ProcessEntry>> listing;
    ProcessDetection detection({[&] { return listing; }, [](qint64) { return true; }});
    EXPECT_FALSE(detection.IsSteamRunning()) << "false before any list could be read";
    listing = std::vector<ProcessEntry>{{5, "steam.exe"}, {6, "hl2.exe"}};
    EXPECT_TRUE(detection.IsSteamRunning());
    EXPECT_TRUE(detection.IsGameRunning());
    listing.reset();
    EXPECT_TRUE(detection.IsSteamRunning());
    EXPECT_TRUE(detection.SteamRunning());
    EXPECT_FALSE(detection.IsGameRunning()) << "no list, no game";
    listing = std::vector<ProcessEntry>{{6, "hl2.exe"}};
    EXPECT_FALSE(detection.IsSteamRunning());
    EXPECT_FALSE(detection.SteamRunning());
}

// Real processes: copies of /bin/sleep under the names the program looks for.
class RealProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QFile::copy("/bin/sleep", tmp.path() + "/hl2.exe"));
        ASSERT_TRUE(QFile::copy("/bin/sleep", tmp.path() + "/Steam.exe"));
        ASSERT_TRUE(QFile::copy("/bin/sleep", tmp.path() + "/steam"));
        ASSERT_TRUE(QFile::copy("/bin/sleep", tmp.path() + "/hl2_linux"));
    }
    // Whatever still runs a program of this test's folder ends with it, by pid: a leftover
    // would hold the test runner's output open for its ten minutes. The program path tells a
    // started process from a later one that got a reaped one's pid.
    void TearDown() override {
        for (const qint64 pid : started) {
            const QStringList args = testbed::processArguments(pid);
            if (!args.isEmpty() && args.first().startsWith(tmp.path() + "/"))
                killProcess(pid);
        }
    }

    // Held unreaped, so that a killed one stays a zombie until the test lets it go.
    std::unique_ptr<ChildProcess> start(const QString& name) {
        SpawnRequest request;
        request.commandLine = tmp.path() + "/" + name + " 600";
        auto child = spawnProcess(request);
        started << child->pid();
        return child;
    }

    static void killProcess(qint64 pid) {
        QProcess::execute("/bin/sh", {"-c", QStringLiteral("kill -KILL %1 2>/dev/null").arg(pid)});
    }

    // The machine's processes as far as this test started them: other programs (a stand-in
    // game of another test) may run meanwhile.
    ProcessSource ours() const {
        const QSet<qint64> pids = started;
        return {[pids, all = SystemProcesses().enumerate]() {
                    auto list = all();
                    if (list)
                        std::erase_if(*list,
                                      [&](const ProcessEntry& p) { return !pids.contains(p.pid); });
                    return list;
                },
                &platform::IsProcessAlive};
    }

    // As start(), run as the user `uid` through setpriv (which becomes the program).
    std::unique_ptr<ChildProcess> startAs(const QString& setpriv, unsigned uid,
                                          const QString& name) {
        SpawnRequest request;
        request.commandLine = QStringLiteral("%1 --reuid=%2 --regid=%2 --clear-groups -- %3/%4 600")
                                  .arg(setpriv)
                                  .arg(uid)
                                  .arg(tmp.path(), name);
        auto child = spawnProcess(request);
        started << child->pid();
        return child;
    }

    // Every process of the machine, as the platform lists them.
    ProcessSource everyones() const {
        const QSet<qint64> pids = started;
        return {[pids]() -> std::optional<std::vector<ProcessEntry>> {
                    auto all = platform::ListProcesses();
                    if (all)
                        std::erase_if(*all,
                                      [&](const ProcessEntry& p) { return !pids.contains(p.pid); });
                    return all;
                },
                &platform::IsProcessAlive};
    }

    static bool listed(qint64 pid, const QString& name) {
        const auto all = platform::ListProcesses();
        return all && std::any_of(all->begin(), all->end(), [&](const ProcessEntry& p) {
                   return p.pid == pid && p.name == name;
               });
    }

    QTemporaryDir tmp;
    QSet<qint64> started;
};

TEST_F(RealProcesses, SteamClientIsFoundUnderAnyLetterCase) {
    auto steam = start("Steam.exe");
    const qint64 pid = steam->pid();
    ASSERT_TRUE(listed(pid, "Steam.exe"));
    EXPECT_TRUE(ProcessDetection().IsSteamRunning()) << "the machine's own list";
    ProcessDetection detection(ours());
    EXPECT_TRUE(detection.IsSteamRunning());
    EXPECT_FALSE(detection.IsGameRunning());
    killProcess(pid);
    steam.reset(); // reaped in the background
    ASSERT_TRUE(testsupport::waitUntil([&] { return !listed(pid, "Steam.exe"); }));
    EXPECT_FALSE(detection.IsSteamRunning());
}

TEST_F(RealProcesses, GameEndsWhenItsProcessIsAZombie) {
    auto game = start("hl2.exe");
    const qint64 pid = game->pid();
    ProcessDetection detection(ours());
    ASSERT_TRUE(listed(pid, "hl2.exe"));
    EXPECT_TRUE(platform::IsProcessAlive(pid));
    EXPECT_TRUE(detection.IsGameRunning());

    killProcess(pid);
    // Not reaped yet: still listed (its name now from comm), but no longer alive.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !platform::IsProcessAlive(pid); }));
    EXPECT_TRUE(listed(pid, "hl2.exe"));
    EXPECT_FALSE(detection.IsGameRunning());

    game.reset(); // reaped in the background
    ASSERT_TRUE(testsupport::waitUntil([&] { return !listed(pid, "hl2.exe"); }));
    EXPECT_FALSE(platform::IsProcessAlive(pid));
    EXPECT_FALSE(detection.IsGameRunning());
}

TEST_F(RealProcesses, TodaysClientAndNativeGame) {
    auto steam = start("steam");
    auto game = start("hl2_linux");
    ProcessDetection detection(ours());
    EXPECT_TRUE(detection.IsSteamRunning());
    EXPECT_TRUE(detection.IsGameRunning());
    for (const qint64 pid : {steam->pid(), game->pid()})
        killProcess(pid);
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return !platform::IsProcessAlive(steam->pid()) && !platform::IsProcessAlive(game->pid());
    }));
    EXPECT_TRUE(listed(steam->pid(), "steam")) << "an unreaped client is still listed";
    EXPECT_FALSE(detection.IsSteamRunning()) << "but no longer alive";
    EXPECT_FALSE(detection.IsGameRunning());
}

TEST_F(RealProcesses, OnlyTheFirstOfTwoGamesCounts) {
    const auto a = start("hl2.exe");
    const auto b = start("hl2.exe");
    ProcessDetection detection(ours());
    const auto listing = ours().enumerate();
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->size(), 2u);
    const qint64 first = listing->front().pid;
    const qint64 second = listing->back().pid;
    EXPECT_TRUE(detection.IsGameRunning());
    killProcess(first);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !platform::IsProcessAlive(first); }));
    EXPECT_TRUE(platform::IsProcessAlive(second));
    EXPECT_FALSE(detection.IsGameRunning()) << "the second hl2.exe still runs but is not asked";
}

// Another user's game and client are not this user's: a series must neither wait for that
// game nor take that client for its own.
TEST_F(RealProcesses, AnotherUsersGameAndClientDoNotCount) {
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (::geteuid() != 0 || setpriv.isEmpty())
        GTEST_SKIP() << "needs root and setpriv to start processes as another user";
    // The other user must reach the programs.
    QFile::setPermissions(tmp.path(), QFile::permissions(tmp.path()) | QFile::ExeOther);
    const unsigned nobody = 65534;
    std::vector<std::unique_ptr<ChildProcess>> theirs;
    for (const QString name : {"hl2_linux", "hl2.exe", "steam", "Steam.exe"})
        theirs.push_back(startAs(setpriv, nobody, name));
    ASSERT_TRUE(testsupport::waitUntil([&] {
        const auto all = everyones().enumerate();
        return all && all->size() == theirs.size() &&
               std::all_of(all->begin(), all->end(), [&](const ProcessEntry& p) {
                   return p.uid == nobody && p.name != "setpriv";
               });
    })) << "the platform lists every user's processes, each with its user";

    ProcessDetection detection(ours());
    EXPECT_FALSE(detection.IsGameRunning());
    EXPECT_FALSE(detection.IsSteamRunning());

    // The same programs as this user count.
    auto game = start("hl2_linux");
    auto client = start("steam");
    ProcessDetection withOwn(ours());
    EXPECT_TRUE(withOwn.IsGameRunning());
    EXPECT_TRUE(withOwn.IsSteamRunning());
}

// This test program's entry in the process list; nothing when the list or the entry is missing.
std::optional<ProcessEntry> ownEntry() {
    const auto all = platform::ListProcesses();
    if (!all)
        return std::nullopt;
    const qint64 self = QCoreApplication::applicationPid();
    const auto me = std::find_if(all->begin(), all->end(),
                                 [&](const ProcessEntry& p) { return p.pid == self; });
    if (me == all->end())
        return std::nullopt;
    return *me;
}

TEST(ProcessList, TheRealUserIdIsReadFromTheStatus) {
    EXPECT_EQ(platform::RealUserId("Name:\tsleep\nUid:\t65534\t0\t0\t0\nGid:\t0\n"), 65534);
    EXPECT_EQ(platform::RealUserId("Name:\tsleep\n"), -1);
    EXPECT_EQ(platform::RealUserId("Uid:\tx\n"), -1);
    const std::optional<ProcessEntry> me = ownEntry();
    ASSERT_TRUE(me);
    EXPECT_EQ(me->uid, qint64(::getuid()));
}

TEST(ProcessList, ListsThisProgramAndNoDeadPids) {
    const qint64 self = QCoreApplication::applicationPid();
    const std::optional<ProcessEntry> me = ownEntry();
    ASSERT_TRUE(me);
    EXPECT_EQ(me->name, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_TRUE(platform::IsProcessAlive(self));
    EXPECT_FALSE(platform::IsProcessAlive(0));
    EXPECT_FALSE(platform::IsProcessAlive(-1));
}

} // namespace

namespace {

TEST(GameProcessNames, TheWindowsGameInAnyCaseAndTodaysNativeGame) {
    const struct {
        const char* name;
        bool game;
    } cases[] = {{"hl2.exe", true}, {"HL2.EXE", true}, {"hl2_linux", true}, {"HL2_LINUX", false},
                 {"hl2.sh", false}, {"hl2", false},    {"steam", false},    {"hl2.exe.bak", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsGameProcessName(QString::fromLatin1(c.name)), c.game) << c.name;
}

} // namespace
