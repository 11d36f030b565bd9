// What the program takes from the machine while the game is being measured, against the
// smallest Qt Widgets program (tools/startuppeer) running beside it in the same window of time.
// On the demo set-up (a private registry, a stand-in Steam client and game) and an X server of
// its own (Xvfb, whose one screen size is the resolution run) the program is started, its news
// window shows its page, and a series is started by its Run button (through the probe of
// app/StartupProbe.h). While the stand-in game "plays" (it is held until the
// sampling ends), the program's process tree (every process it started, the game and the Steam
// client excepted) and the peer are sampled every half second: resident memory (RSS),
// proportional memory (PSS: shared pages divided among the processes that share them), and
// processor time. The window covers the series' 30 s wait after the launcher and its first
// 5 s looks for the game, so the processor figures hold its timer steps.
//
//   bench_series_footprint [ROUNDS] [SECONDS]
//
// ROUNDS (default 3) times, SECONDS (default 40) of sampling each; medians over the rounds of
// each round's mean (memory) and total (processor).

#include "BenchSupport.h"
#include "model/Timings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

QTextStream out(stdout);

constexpr int ClickMs = 8000;    // after the window shows: the news page has loaded by then
constexpr int SampleMs = 500;    // between two samples
constexpr int SettleMs = 2000;   // after the game has started, before sampling
constexpr int GiveUpMs = 120000; // for the window, the game

struct Round {
    double rssKb = 0, pssKb = 0, processes = 0; // means over the window
    double cpuMs = 0;                           // over the window
    int busySeconds = 0;                        // whole seconds with any processor time
    double peerRssKb = 0, peerPssKb = 0, peerCpuMs = 0;
    int peerBusySeconds = 0;
    double newsRssKb = 0, newsPssKb = 0; // the program's tree with its news page, before the run
};

// Waits for a line starting with `start` from the program; false after `ms`.
bool waitForLine(QProcess& process, QByteArray& pending, const QByteArray& start, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        for (const QByteArray& line : pending.split('\n'))
            if (line.startsWith(start))
                return true;
        if (!process.waitForReadyRead(500) && process.state() == QProcess::NotRunning)
            return false;
        pending += process.readAllStandardOutput();
    }
    return false;
}

std::optional<Round> measure(const QString& binDir, int seconds) {
    QTemporaryDir folder;
    testbed::SteamLayout steam;
    std::optional<QProcessEnvironment> environment =
        bench::demoSetUp(binDir, folder.path(), &steam);
    if (!environment)
        return std::nullopt;
    // Windows on an X server of our own, whose one display mode is the resolution to run.
    bench::Xvfb server(QStringLiteral("1024x768"));
    if (server.display().isEmpty()) {
        out << "bench_series_footprint: Xvfb did not start" << Qt::endl;
        return std::nullopt;
    }
    environment->insert("DISPLAY", server.display());
    environment->insert("QT_QPA_PLATFORM", "xcb");
    // One resolution, one run, the shipped demo, results in our folder.
    const QString results = folder.path() + "/results/";
    QDir().mkpath(results);
    Registry program(RegRoot::LocalMachine, environment->value("VARNHOLT_REGISTRY_DIR"));
    program.openKey(SettingsStore::ProgramKey(), false);
    for (const auto& [name, value] : {std::pair{"1024", QString("1")},
                                      {"RunNumber", QString("1")},
                                      {"Demo", QString("1")},
                                      {"ResultPath", results}})
        program.writeString(QLatin1String(name), value);

    // The game plays as long as this file exists.
    const QString hold = folder.path() + "/hold";
    QFile(hold).open(QIODevice::WriteOnly);
    environment->insert("VARNHOLT_TESTBED_HOLD", hold);
    environment->insert("VARNHOLT_TESTBED_PLAY_MS", "1000");

    QProcess client;
    client.setWorkingDirectory(steam.steamDir);
    client.start(steam.steamExe, {});
    QProcess peer, varnholt;
    peer.setProcessEnvironment(*environment);
    peer.setStandardOutputFile(QProcess::nullDevice());
    peer.setStandardErrorFile(QProcess::nullDevice());
    peer.start(binDir + "/startuppeer", {});
    environment->insert("VARNHOLT_BENCH_STARTUP", QString::number(24 * 3600 * 1000));
    environment->insert("VARNHOLT_BENCH_SERIES", QString::number(ClickMs));
    varnholt.setProcessEnvironment(*environment);
    varnholt.setProcessChannelMode(QProcess::MergedChannels);
    varnholt.start(binDir + "/varnholt", {});

    const auto cleanUp = [&] {
        QFile::remove(hold);
        bench::endProgram(varnholt);
        bench::endProgram(peer);
        testbed::stopStandIns(folder.path());
        client.waitForFinished();
    };
    QByteArray pending;
    if (!waitForLine(varnholt, pending, "window shown", GiveUpMs)) {
        pending += varnholt.readAllStandardOutput();
        out << "bench_series_footprint: the program showed no window (exit code "
            << varnholt.exitCode() << "); it said:\n"
            << pending << Qt::endl;
        cleanUp();
        return std::nullopt;
    }
    Round round;
    // With its news page, a second before Run is clicked.
    QThread::msleep(ClickMs - 1000);
    const QList<qint64> started = bench::descendants(varnholt.processId());
    if (std::none_of(started.begin(), started.end(), [](qint64 pid) {
            return testbed::processArguments(pid).value(1) == QLatin1String("/news");
        }))
        out << "bench_series_footprint: no news window before the series" << Qt::endl;
    const bench::Footprint withNews = bench::treeFootprint(varnholt.processId());
    round.newsRssKb = double(withNews.rssKb);
    round.newsPssKb = double(withNews.pssKb);

    QElapsedTimer clock;
    clock.start();
    while (testbed::readGameLog(steam).isEmpty() && clock.elapsed() < GiveUpMs)
        QThread::msleep(100);
    if (testbed::readGameLog(steam).isEmpty()) {
        pending += varnholt.readAllStandardOutput();
        out << "bench_series_footprint: the game did not start; the program said:\n"
            << pending << Qt::endl;
        cleanUp();
        return std::nullopt;
    }
    QThread::msleep(SettleMs);

    const QString steamFolder = QFileInfo(steam.steamDir).canonicalFilePath();
    const int samples = seconds * 1000 / SampleMs;
    bench::Footprint first = bench::treeFootprint(varnholt.processId(), steamFolder);
    bench::Footprint peerFirst = bench::treeFootprint(peer.processId());
    qint64 lastCpu = first.cpuNs, peerLastCpu = peerFirst.cpuNs;
    bench::Footprint last = first, peerLast = peerFirst;
    qint64 secondCpu = 0, peerSecondCpu = 0;
    for (int i = 1; i <= samples; ++i) {
        QThread::msleep(SampleMs);
        last = bench::treeFootprint(varnholt.processId(), steamFolder);
        peerLast = bench::treeFootprint(peer.processId());
        round.rssKb += double(last.rssKb) / samples;
        round.pssKb += double(last.pssKb) / samples;
        round.processes += double(last.processes) / samples;
        round.peerRssKb += double(peerLast.rssKb) / samples;
        round.peerPssKb += double(peerLast.pssKb) / samples;
        // Processor time per whole second; a process that ended takes its time with it.
        secondCpu += std::max<qint64>(0, last.cpuNs - lastCpu);
        peerSecondCpu += std::max<qint64>(0, peerLast.cpuNs - peerLastCpu);
        lastCpu = last.cpuNs;
        peerLastCpu = peerLast.cpuNs;
        if (i % (1000 / SampleMs) == 0) {
            round.busySeconds += secondCpu > 0 ? 1 : 0;
            round.peerBusySeconds += peerSecondCpu > 0 ? 1 : 0;
            round.cpuMs += double(secondCpu) / 1e6;
            round.peerCpuMs += double(peerSecondCpu) / 1e6;
            secondCpu = peerSecondCpu = 0;
        }
    }
    const bool gamePlayedThrough = testbed::standInProcesses(folder.path()).size() > 0;
    cleanUp();
    if (!gamePlayedThrough) {
        out << "bench_series_footprint: the game ended before the sampling did" << Qt::endl;
        return std::nullopt;
    }
    return round;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString binDir = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    const int rounds = args.size() > 1 ? std::max(1, args[1].toInt()) : 3;
    const int seconds = args.size() > 2 ? std::max(2, args[2].toInt()) : 40;
    for (const char* name : {"varnholt", "newswindow.so", "startuppeer", "testbed-layout"}) {
        if (!QFileInfo::exists(binDir + "/" + name)) {
            out << "bench_series_footprint: " << binDir << "/" << name
                << " is missing; build it first" << Qt::endl;
            return 1;
        }
    }

    const QString loadBefore = bench::loadAverage();
    std::vector<Round> done;
    for (int i = 0; i < rounds; ++i) {
        const std::optional<Round> round = measure(binDir, seconds);
        if (!round)
            return 1;
        done.push_back(*round);
    }
    const auto pick = [&](auto field) {
        std::vector<double> values;
        for (const Round& round : done)
            values.push_back(double(round.*field));
        return bench::median(values);
    };
    const double rss = pick(&Round::rssKb), pss = pick(&Round::pssKb);
    const double peerRss = pick(&Round::peerRssKb), peerPss = pick(&Round::peerPssKb);
    const double cpu = pick(&Round::cpuMs), peerCpu = pick(&Round::peerCpuMs);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "rounds: " << rounds << " of " << seconds
        << " s while the game plays (medians); load average " << loadBefore << " before, "
        << bench::loadAverage() << " after\n";
    out << "resident memory, program with all its processes: " << rss / 1024 << " MB in "
        << pick(&Round::processes) << " processes, peer " << peerRss / 1024 << " MB, ratio "
        << rss / peerRss << " (goal: at most 2)\n";
    out << "proportional memory (PSS): program " << pss / 1024 << " MB, peer " << peerPss / 1024
        << " MB, ratio " << pss / peerPss << "\n";
    // The series' own timer steps in the window: its look for the game after the launcher's
    // wait, then one every poll interval (the launcher ends as the game starts).
    const Timings timings;
    int steps = 0;
    for (int t = timings.launcherEndWait; t <= SettleMs + seconds * 1000;
         t += timings.gamePollInterval)
        steps += t > SettleMs ? 1 : 0;
    out << "processor time: program " << cpu << " ms (" << cpu / seconds / 10 << " %), busy in "
        << pick(&Round::busySeconds) << " of " << seconds
        << " seconds (its timer steps in that time: " << steps << "); peer " << peerCpu
        << " ms, busy in " << pick(&Round::peerBusySeconds) << " seconds\n";
    out << "before the series, with the news page: program " << pick(&Round::newsRssKb) / 1024
        << " MB resident, " << pick(&Round::newsPssKb) / 1024 << " MB proportional" << Qt::endl;
    return 0;
}
