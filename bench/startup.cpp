// Start-up cost of the program against the smallest Qt Widgets program (tools/startuppeer):
// the time from starting the process until its main window is shown, and its resident memory
// once it has been idle for a while. Both are started alternately, several rounds each, on
// the demo set-up (a private registry with the program key and a stand-in Steam folder), and
// the medians and their ratios are printed.
//
//   bench_startup [ROUNDS] [PROGRAM] [PEER]
//
// PROGRAM and PEER default to varnholt and startuppeer beside this benchmark. Both must report
// through the probe of ui/StartupProbe.h (VARNHOLT_BENCH_STARTUP). Windows go to Qt's
// offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <optional>
#include <vector>

namespace {

QTextStream out(stdout);

constexpr int IdleMs = 2000;    // how long each program runs after its window is shown
constexpr int GiveUpMs = 60000; // a program that shows nothing in this time has no probe

struct Sample {
    double shownMs = 0;
    qint64 residentKb = 0;
    qint64 treeKb = 0;
};

// Runs a helper to its end; false (and says why) when it fails.
bool runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(GiveUpMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        out << "bench_startup: " << program << " " << arguments.join(' ')
            << " failed: " << process.readAllStandardError() << Qt::endl;
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// What an installation and a Steam client leave behind: the program key, and Steam's key
// pointing at a stand-in Steam folder with the game. Without them the program stops at a
// message box before its window appears.
std::optional<QProcessEnvironment> demoSetUp(const QString& binDir, const QString& folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VARNHOLT_REGISTRY_DIR", folder + "/registry/");
    qputenv("VARNHOLT_REGISTRY_DIR", (folder + "/registry/").toLocal8Bit());
    QByteArray layout;
    if (!runTool(binDir + "/testbed-layout", {folder + "/steam"}, &layout))
        return std::nullopt;
    QString steamDir;
    for (const QByteArray& line : layout.split('\n'))
        if (line.startsWith("STEAM_DIR="))
            steamDir = QString::fromLocal8Bit(line.mid(10)).remove('\'');
    if (steamDir.endsWith('/'))
        steamDir.chop(1);
    const QString reg = binDir + "/reg";
    if (!runTool(reg, {"add", R"(HKLM\SOFTWARE\Quillon\Ostrevo)", "/f"}) ||
        !runTool(reg, {"add", R"(HKCU\Software\Valve\Steam)", "/v", "SteamPath", "/t", "REG_SZ",
                       "/d", steamDir, "/f"}))
        return std::nullopt;
    if (!environment.contains("QT_QPA_PLATFORM"))
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VARNHOLT_BENCH_STARTUP", QString::number(IdleMs));
    return environment;
}

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
            if (line == "window shown" && !shown) {
                sample.shownMs = double(clock.nsecsElapsed()) / 1e6;
                shown = true;
            } else if (line.startsWith("rss ")) {
                const QList<QByteArray> words = line.split(' ');
                sample.residentKb = words.value(1).toLongLong();
                sample.treeKb = words.value(3).toLongLong();
                process.waitForFinished(GiveUpMs);
                return shown ? std::optional<Sample>(sample) : std::nullopt;
            }
        }
        if (!shown && clock.elapsed() > GiveUpMs)
            break;
    }
    process.kill();
    process.waitForFinished();
    return std::nullopt;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    const std::optional<QProcessEnvironment> environment = demoSetUp(binDir, folder.path());
    if (!environment)
        return 1;

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
        return median(values);
    };
    const double shown = pick(ours, &Sample::shownMs);
    const double peerShown = pick(theirs, &Sample::shownMs);
    const double resident = pick(ours, &Sample::residentKb);
    const double tree = pick(ours, &Sample::treeKb);
    const double peerResident = pick(theirs, &Sample::residentKb);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(1);
    out << "rounds: " << rounds << " (medians; idle " << IdleMs << " ms before memory)\n";
    out << "window shown after start: program " << shown << " ms, peer " << peerShown
        << " ms, ratio " << shown / peerShown << "\n";
    out << "resident memory: program " << resident / 1024 << " MB, peer " << peerResident / 1024
        << " MB, ratio " << resident / peerResident << "\n";
    out << "resident memory with helper processes: program " << tree / 1024 << " MB, ratio "
        << tree / peerResident << Qt::endl;
    return 0;
}
