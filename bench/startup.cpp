// Start-up cost of the program against the smallest Qt Widgets program (tools/startuppeer):
// the time from starting the process until its main window is shown, the processor time it
// has used by then, the shared libraries it has mapped by then (is the browser engine among
// them?), and its resident memory once it has been idle for a while, alone and with the
// processes it started (the news window's, with the browser's helpers). Both are started
// alternately, several rounds each, on the demo set-up (a private registry with the program key and
// a stand-in Steam folder); medians and their ratios are printed.
//
//   bench_startup [ROUNDS] [PROGRAM] [PEER]
//
// PROGRAM and PEER default to varnholt and startuppeer beside this benchmark. Both must report
// through the probe of app/StartupProbe.h (VARNHOLT_BENCH_STARTUP). Windows go to Qt's
// offscreen platform unless QT_QPA_PLATFORM says otherwise. The machine's load changes the
// times: run it on a quiet machine, or compare the processor times.

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

constexpr int IdleMs = 2000;    // how long each program runs after its window is shown
constexpr int GiveUpMs = 60000; // a program that shows nothing in this time has no probe

struct Sample {
    double shownMs = 0;
    double cpuMs = 0;
    int libraries = 0;
    bool engineAtShow = false;
    bool newsShown = false; // its process ran when the memory was read
    qint64 residentKb = 0;
    qint64 treeKb = 0;
};

std::optional<Sample> measure(const QString& program, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    Sample sample;
    bool shown = false;
    QByteArray pending;
    while (clock.elapsed() < GiveUpMs + IdleMs) {
        if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
            break;
        pending += process.readAllStandardOutput();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            const QList<QByteArray> words = line.split(' ');
            if (line == "window shown" && !shown) {
                sample.shownMs = double(clock.nsecsElapsed()) / 1e6;
                shown = true;
            } else if (line.startsWith("shown cpu-us ")) {
                sample.cpuMs = words.value(2).toDouble() / 1000;
                const QByteArrayList libraries = words.mid(4);
                sample.libraries = int(libraries.size());
                sample.engineAtShow =
                    std::any_of(libraries.begin(), libraries.end(), [](const QByteArray& name) {
                        return name.startsWith("libQt6WebEngine");
                    });
            } else if (line.startsWith("rss ")) {
                sample.residentKb = words.value(1).toLongLong();
                sample.treeKb = words.value(3).toLongLong();
                // The news window's process and its browser's helpers are running.
                sample.newsShown = words.value(5).toInt() > 1;
                process.waitForFinished(GiveUpMs);
                bench::endProgram(process);
                return shown ? std::optional<Sample>(sample) : std::nullopt;
            }
        }
        if (!shown && clock.elapsed() > GiveUpMs)
            break;
    }
    bench::endProgram(process);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString binDir = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    const int rounds = args.size() > 1 ? std::max(1, args[1].toInt()) : 5;
    const QString program = args.size() > 2 ? args[2] : binDir + "/varnholt";
    const QString peer = args.size() > 3 ? args[3] : binDir + "/startuppeer";
    for (const QString& path : {program, peer}) {
        if (!QFileInfo(path).isExecutable()) {
            out << "bench_startup: " << path << " is missing; build it first" << Qt::endl;
            return 1;
        }
    }

    QTemporaryDir folder;
    std::optional<QProcessEnvironment> environment = bench::demoSetUp(binDir, folder.path());
    if (!environment)
        return 1;
    environment->insert("VARNHOLT_BENCH_STARTUP", QString::number(IdleMs));

    const QString loadBefore = bench::loadAverage();
    std::vector<Sample> ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        for (auto [path, samples] : {std::pair{program, &ours}, std::pair{peer, &theirs}}) {
            const std::optional<Sample> sample = measure(path, *environment);
            if (!sample) {
                out << "bench_startup: " << path
                    << " showed no window or gave no report; is VARNHOLT_BENCH_STARTUP wired "
                       "into it?"
                    << Qt::endl;
                return 1;
            }
            samples->push_back(*sample);
        }
    }

    const auto pick = [](const std::vector<Sample>& samples, auto field) {
        std::vector<double> values;
        for (const Sample& sample : samples)
            values.push_back(double(sample.*field));
        return bench::median(values);
    };
    const auto count = [](const std::vector<Sample>& samples, bool Sample::*field) {
        return std::count_if(samples.begin(), samples.end(),
                             [field](const Sample& s) { return s.*field; });
    };
    const double shown = pick(ours, &Sample::shownMs);
    const double peerShown = pick(theirs, &Sample::shownMs);
    const double cpu = pick(ours, &Sample::cpuMs);
    const double peerCpu = pick(theirs, &Sample::cpuMs);
    const double resident = pick(ours, &Sample::residentKb);
    const double tree = pick(ours, &Sample::treeKb);
    const double peerResident = pick(theirs, &Sample::residentKb);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "rounds: " << rounds << " (medians; idle " << IdleMs
        << " ms before memory); load average " << loadBefore << " before, " << bench::loadAverage()
        << " after\n";
    out << "window shown after start: program " << shown << " ms, peer " << peerShown
        << " ms, ratio " << shown / peerShown << " (goal: at most 1.5)\n";
    out << "processor time until shown: program " << cpu << " ms, peer " << peerCpu << " ms, ratio "
        << cpu / peerCpu << "\n";
    out << "shared libraries mapped when shown: program " << pick(ours, &Sample::libraries)
        << ", peer " << pick(theirs, &Sample::libraries) << "; browser engine mapped in "
        << count(ours, &Sample::engineAtShow) << " of " << rounds << " rounds\n";
    out << "resident memory, main process: program " << resident / 1024 << " MB, peer "
        << peerResident / 1024 << " MB, ratio " << resident / peerResident << "\n";
    out << "resident memory with the processes it started: program " << tree / 1024 << " MB, ratio "
        << tree / peerResident << " (news process running in " << count(ours, &Sample::newsShown)
        << " of " << rounds << " rounds)" << Qt::endl;
    return 0;
}
