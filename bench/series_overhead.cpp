// What a series costs beyond the game on today's layout: the program itself ("varnholt --run")
// with its real waits runs a series of several runs on the stand-ins (today's steam command and
// hl2_linux, the game playing PLAY_MS per run), and the time from "Benchmarking in progress" to
// the program's end, less the games' own lifetimes (from each game process's start, as the
// kernel records it, to its end, seen through a pidfd), is reported per run. On the system's own
// layout the fixed waits alone are 30 s after each launcher and up to 5 s after each game.
//
//   bench_series_overhead [RUNS] [PLAY_MS] [ROUNDS]
//
// RUNS (default 4) runs of one resolution, PLAY_MS (default 3000), ROUNDS (default 3); the
// median round is the result. Goal: at most 1 s per run.

#include "BenchSupport.h"
#include "SteamLayout.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <map>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

QTextStream out(stdout);

constexpr int GiveUpMs = 600000;

double bootMs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// When a process started, in ms of CLOCK_BOOTTIME, from field 22 of its stat line.
std::optional<double> startedMs(qint64 pid) {
    const QByteArray stat = bench::readProc(pid, "stat");
    const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (rest.size() < 20)
        return std::nullopt;
    return double(rest[22 - 3].toLongLong()) * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

double cpuMsOfChildren() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

struct Game {
    int pidfd = -1;
    double started = 0;
    std::optional<double> ended;
};

struct Round {
    double seriesMs = 0;
    double gamesMs = 0;
    int games = 0;
    double cpuMs = 0;
    int exitStatus = -1;
};

std::optional<Round> measure(const QString& binDir, int runs, int playMs) {
    QTemporaryDir folder;
    const QString root = folder.path();
    testbed::ModernSteamLayout today;
    const QString registry = root + "/registry/";
    const QString program = root + "/program/";
    const QString results = root + "/results/";
    try {
        today = testbed::layOutModernSteam(root + "/today", false, binDir);
        Registry machine(RegRoot::LocalMachine, registry);
        if (!machine.openKey(SettingsStore::ProgramKey(), true))
            throw std::runtime_error("the program key cannot be made");
        machine.writeString("Demo", "1");
        machine.writeString("ResultPath", results);
        QDir().mkpath(program + "system");
        QDir().mkpath(program + "Demos");
        QDir().mkpath(results);
        if (!QFile::copy(binDir + "/varnholt", program + "varnholt") ||
            !QFile::copy(binDir + "/system/dxdiag", program + "system/dxdiag"))
            throw std::runtime_error("the program cannot be copied");
        QFile::setPermissions(program + "varnholt",
                              QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
        QFile demo(program + "Demos/rovdemo1.dem");
        if (!demo.open(QIODevice::WriteOnly) || demo.write("demo") != 4)
            throw std::runtime_error("the demo cannot be written");
    } catch (const std::exception& error) {
        out << "bench_series_overhead: set-up failed: " << error.what() << Qt::endl;
        return std::nullopt;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", today.home);
    env.insert("PATH", QDir::cleanPath(today.commandDir) + ':' + env.value("PATH"));
    env.insert("VARNHOLT_REGISTRY_DIR", registry);
    env.insert("VARNHOLT_TESTBED_PLAY_MS", QString::number(playMs));
    env.insert("XDG_RUNTIME_DIR", root);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");

    QProcess client;
    client.setProcessEnvironment(env);
    client.setProgram(today.steamCommand);
    client.setWorkingDirectory(today.steamRoot);
    if (!client.startDetached())
        return std::nullopt;
    QDeadlineTimer clientUp(10000);
    while (testbed::runningClient(today) == 0 && !clientUp.hasExpired())
        QThread::msleep(20);

    const double cpuBefore = cpuMsOfChildren();
    QProcess varnholt;
    varnholt.setProcessEnvironment(env);
    varnholt.setWorkingDirectory(root);
    varnholt.setStandardOutputFile(QProcess::nullDevice());
    varnholt.start(program + "varnholt", {"--run", "--resolution", "800x600", "--runs",
                                          QString::number(runs), "--results", results});
    if (!varnholt.waitForStarted()) {
        out << "bench_series_overhead: the program did not start" << Qt::endl;
        return std::nullopt;
    }
    std::optional<double> seriesStart;
    std::map<qint64, Game> games;
    QByteArray said;
    const QDeadlineTimer giveUp(GiveUpMs);
    while (varnholt.state() != QProcess::NotRunning && !giveUp.hasExpired()) {
        varnholt.waitForReadyRead(5);
        said += varnholt.readAllStandardError();
        if (!seriesStart && said.contains("Benchmarking in progress"))
            seriesStart = bootMs();
        for (const qint64 pid : testbed::standInProcesses(today.gameDir)) {
            if (games.count(pid))
                continue;
            Game game;
            game.pidfd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
            const std::optional<double> started = startedMs(pid);
            if (game.pidfd < 0 || !started)
                continue;
            game.started = *started;
            games[pid] = game;
        }
        for (auto& [pid, game] : games) {
            pollfd ended{game.pidfd, POLLIN, 0};
            if (!game.ended && ::poll(&ended, 1, 0) == 1)
                game.ended = bootMs();
        }
    }
    const double seriesEnd = bootMs();
    if (varnholt.state() != QProcess::NotRunning) {
        bench::endProgram(varnholt);
        out << "bench_series_overhead: the series did not end in time" << Qt::endl;
        return std::nullopt;
    }
    said += varnholt.readAllStandardError();
    Round round;
    round.exitStatus = varnholt.exitCode();
    round.cpuMs = cpuMsOfChildren() - cpuBefore;
    testbed::stopStandIns(root);
    if (!seriesStart || round.exitStatus != 0) {
        out << "bench_series_overhead: the series failed (" << round.exitStatus << "):\n"
            << QString::fromLocal8Bit(said) << Qt::endl;
        return std::nullopt;
    }
    round.seriesMs = seriesEnd - *seriesStart;
    for (auto& [pid, game] : games) {
        ::close(game.pidfd);
        if (game.ended) {
            round.gamesMs += *game.ended - game.started;
            round.games += 1;
        }
    }
    return round;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString binDir = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 4;
    const int playMs = args.size() > 2 ? std::max(0, args[2].toInt()) : 3000;
    const int rounds = args.size() > 3 ? std::max(1, args[3].toInt()) : 3;
    for (const char* name : {"varnholt", "system/dxdiag", "steam", "hl2_linux"}) {
        if (!QFileInfo::exists(binDir + "/" + name)) {
            out << "bench_series_overhead: " << binDir << "/" << name
                << " is missing; build varnholt, dxdiag and the testbed first" << Qt::endl;
            return 1;
        }
    }
    out << "series of " << runs << " runs on today's layout, the game playing " << playMs
        << " ms per run, " << rounds << " rounds; load " << bench::loadAverage() << Qt::endl;
    std::vector<double> perRun, cpuPerRun;
    for (int i = 0; i < rounds; ++i) {
        const std::optional<Round> round = measure(binDir, runs, playMs);
        if (!round)
            return 1;
        if (round->games != runs) {
            out << "bench_series_overhead: " << round->games << " games for " << runs << " runs"
                << Qt::endl;
            return 1;
        }
        const double overhead = (round->seriesMs - round->gamesMs) / runs;
        perRun.push_back(overhead);
        cpuPerRun.push_back(round->cpuMs / runs);
        out << QStringLiteral("round %1: series %2 ms, games %3 ms, beyond the games %4 ms per "
                              "run; processor %5 ms per run")
                   .arg(i + 1)
                   .arg(round->seriesMs, 0, 'f', 0)
                   .arg(round->gamesMs, 0, 'f', 0)
                   .arg(overhead, 0, 'f', 0)
                   .arg(round->cpuMs / runs, 0, 'f', 0)
            << Qt::endl;
    }
    const double result = bench::median(perRun);
    out << QStringLiteral("median: %1 ms per run beyond the games (goal: at most 1000 ms); "
                          "processor %2 ms per run")
               .arg(result, 0, 'f', 0)
               .arg(bench::median(cpuPerRun), 0, 'f', 0)
        << Qt::endl;
    return result <= 1000 ? 0 : 2;
}
