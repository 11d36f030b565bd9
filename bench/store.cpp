// The options store of a user who imported a large export: 2,000 keys of 50 values each
// around the program's own key. Measures, against copying the store file with cp:
//   - the start-up load of the settings (LoadSettings) in a fresh process, as the program
//     pays it at every start (goal: 50 ms at most);
//   - one write of a setting as a control makes it, in a program that has read the store
//     (goal: at most twice the time of cp);
// and, for comparison, the same write made by the reg tool (a process that must read the
// whole store first) and a durable write of the file (flushed to the disk, as the store's
// writes are). Medians over the rounds are printed with their ratios.
//
//   bench_store [FOLDER] [ROUNDS]
//
// FOLDER (default: a folder below the system's temporary folder) holds the store; put it on
// the disk to measure.

#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/SafeFile.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr int KeyCount = 2000;
constexpr int ValuesPerKey = 50;
constexpr double LoadGoalMs = 50;
constexpr double WriteGoalRatio = 2;

QTextStream out(stdout);

[[noreturn]] void die(const QString& why) {
    out << "bench_store: " << why << Qt::endl;
    std::exit(2);
}

regfile::Value text(const QString& name, const QString& value) {
    return regfile::Value(name, regfile::TypeSz, regfile::encodeString(value));
}

// The stores: HKEY_LOCAL_MACHINE with the bulk and the program key as an installed and used
// program has it, HKEY_CURRENT_USER with Steam's key.
void buildStore(const QString& regDir, const QString& programFolder) {
    regfile::Key machine(QStringLiteral("HKEY_LOCAL_MACHINE"));
    for (int k = 0; k < KeyCount; ++k) {
        regfile::Key& key = regfile::createKey(
            machine, {QStringLiteral("SOFTWARE"),
                      QStringLiteral("Vendor%1").arg(k / 100, 2, 10, QLatin1Char('0')),
                      QStringLiteral("Product %1").arg(k, 4, 10, QLatin1Char('0'))});
        for (int v = 0; v < ValuesPerKey; ++v)
            key.setValue(
                text(QStringLiteral("Setting%1").arg(v, 2, 10, QLatin1Char('0')),
                     QStringLiteral("value %1 of product %2, as it was exported").arg(v).arg(k)));
    }
    regfile::Key& program =
        regfile::createKey(machine, {QStringLiteral("SOFTWARE"), QStringLiteral("Quillon"),
                                     QStringLiteral("Ostrevo")});
    const QList<std::pair<QString, QString>> options = {
        {"640", "1"},
        {"800", "1"},
        {"1024", "1"},
        {"1280", "0"},
        {"1600", "0"},
        {"2048", "0"},
        {"hdw1", "0"},
        {"hdw2", "0"},
        {"hdw3", "0"},
        {"CusW", "0"},
        {"CusH", "0"},
        {"CusRes", "0"},
        {"AFLevel", "3"},
        {"AALevel", "2"},
        {"RunNumber", "3"},
        {"Demo", "1"},
        {"Demoname", ""},
        {"Path", ""},
        {"ResultPath", programFolder + "Benchmark/"},
        {"Note", "bench"},
        {"HDR", "2"},
        {"Heapsize", "256000"},
        {"Refresh", "60"},
        {"FastZ", "1"},
        {"ColorCorrection", "1"},
        {"NoErrorWarning", "0"},
        {"Display Memory", ""},
        {"Driver Version", ""},
        {"Sound", ""}};
    for (const auto& [name, value] : options)
        program.setValue(text(name, value));
    platform::WriteFileAtomically(storeFile(RegRoot::LocalMachine, regDir),
                                  regfile::format(machine.name, machine));

    regfile::Key user(QStringLiteral("HKEY_CURRENT_USER"));
    regfile::createKey(user, {"Software", "Valve", "Steam"})
        .setValue(text("SteamPath", QDir::cleanPath(programFolder + "../steam")));
    platform::WriteFileAtomically(storeFile(RegRoot::CurrentUser, regDir),
                                  regfile::format(user.name, user));
}

// In a fresh process: the start-up load alone, timed from within; prints the milliseconds.
int loadOnce(const QString& regDir, const QString& programFolder) {
    SettingsStore store(regDir);
    StartupEnvironment env;
    env.programFolder = programFolder;
    env.displayModes = [] {
        return std::vector<platform::ScreenSize>{{640, 480}, {800, 600}, {1024, 768}};
    };
    env.searchGame = [](const QString&) { return QStringList(); };
    env.registryDirectory = regDir;
    StartupResult result;
    const std::clock_t cpuBefore = std::clock();
    const double ms = bench::millisecondsOf([&] { result = LoadSettings(store, env); });
    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    if (!result.loaded())
        die(QStringLiteral("the load stopped: ") + result.failureMessage);
    out << ms << ' ' << cpuMs << Qt::endl;
    return 0;
}

double runTimed(const QString& program, const QStringList& arguments) {
    QProcess process;
    const double ms = bench::millisecondsOf([&] {
        process.start(program, arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            die(program + QStringLiteral(" failed: ") +
                QString::fromLocal8Bit(process.readAllStandardError()));
    });
    return ms;
}

QByteArray readWhole(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        die(QStringLiteral("cannot read ") + path);
    return f.readAll();
}

struct LoadTime {
    double wallMs = 0;
    double cpuMs = 0;
};

LoadTime childLoad(const QString& regDir, const QString& programFolder) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--load"), regDir, programFolder});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        die(QStringLiteral("the load failed: ") + QString::fromLocal8Bit(child.readAll()));
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    bool wallOk = false, cpuOk = false;
    const LoadTime time{figures.value(0).toDouble(&wallOk), figures.value(1).toDouble(&cpuOk)};
    if (!wallOk || !cpuOk)
        die(QStringLiteral("the load printed no time"));
    return time;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--load"))
        return loadOnce(args[2], args[3]);

    const QString folder = QDir::cleanPath(
        args.size() > 1 ? args[1] : QDir::tempPath() + QStringLiteral("/varnholt-bench-store"));
    const int rounds = args.size() > 2 ? std::max(1, args[2].toInt()) : 9;
    const QString regDir = folder + QStringLiteral("/registry/");
    const QString programFolder = folder + QStringLiteral("/program/");
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(regDir) || !QDir().mkpath(programFolder + QStringLiteral("Benchmark")))
        die(QStringLiteral("cannot create ") + folder);
    buildStore(regDir, programFolder);
    const QString file = storeFile(RegRoot::LocalMachine, regDir);
    const QString copy = folder + QStringLiteral("/copy.reg");
    const QString reg = QCoreApplication::applicationDirPath() + QStringLiteral("/reg");
    out << "store: " << KeyCount << " keys x " << ValuesPerKey << " values, "
        << QFileInfo(file).size() / 1024 << " KiB in " << regDir << Qt::endl;

    // Warm-up: the first start writes what start-up writes back; the page cache fills.
    childLoad(regDir, programFolder);
    runTimed(QStringLiteral("cp"), {file, copy});
    const QByteArray bytes = readWhole(file);

    std::vector<double> loadMs, loadCpuMs, writeMs, toolMs, cpMs, durableMs;
    for (int round = 0; round < rounds; ++round) {
        const LoadTime load = childLoad(regDir, programFolder);
        loadMs.push_back(load.wallMs);
        loadCpuMs.push_back(load.cpuMs);
        toolMs.push_back(runTimed(
            reg, {QStringLiteral("add"), QStringLiteral("HKLM\\SOFTWARE\\Quillon\\Ostrevo"),
                  QStringLiteral("/v"), QStringLiteral("Refresh"), QStringLiteral("/d"),
                  QString::number(60 + round % 2), QStringLiteral("/f")}));
        cpMs.push_back(runTimed(QStringLiteral("cp"), {file, copy}));
        durableMs.push_back(
            bench::millisecondsOf([&] { platform::WriteFileAtomically(copy, bytes); }));
    }

    // The program's own writes: it has read its store at start-up, and a control saves one
    // value when the user leaves it, some time after the last save.
    SettingsStore store(regDir);
    store.ReadValue(QStringLiteral("Note"));
    for (int round = 0; round < rounds; ++round) {
        QThread::msleep(100);
        writeMs.push_back(bench::millisecondsOf([&] {
            store.WriteValue(QStringLiteral("Note"), QStringLiteral("round %1").arg(round));
        }));
    }
    if (SettingsStore(regDir).ReadValue(QStringLiteral("Note")) !=
        QStringLiteral("round %1").arg(rounds - 1))
        die(QStringLiteral("the last write did not land"));

    const double load = bench::median(loadMs), loadCpu = bench::median(loadCpuMs),
                 write = bench::median(writeMs), tool = bench::median(toolMs),
                 cp = bench::median(cpMs), durable = bench::median(durableMs);
    out << Qt::fixed;
    out.setRealNumberPrecision(1);
    out << "rounds " << rounds << ", median:" << Qt::endl;
    out << "  settings load (fresh process)  " << load << " ms (processor time " << loadCpu
        << " ms)" << Qt::endl;
    out << "  one setting written            " << write << " ms" << Qt::endl;
    out << "  reg add (a process)            " << tool << " ms" << Qt::endl;
    out << "  cp of the store file           " << cp << " ms" << Qt::endl;
    out << "  durable write of the file      " << durable << " ms" << Qt::endl;
    out.setRealNumberPrecision(2);
    out << "ratio load/cp: " << load / cp << Qt::endl;
    out << "ratio write/cp: " << write / cp << Qt::endl;
    out << "ratio write/durable write: " << write / durable << Qt::endl;
    out << "ratio reg add/cp: " << tool / cp << Qt::endl;
    out << "goal load <= " << LoadGoalMs << " ms: " << (load <= LoadGoalMs ? "met" : "NOT MET")
        << Qt::endl;
    out << "goal write <= " << WriteGoalRatio
        << " x cp: " << (write <= WriteGoalRatio * cp ? "met" : "NOT MET") << Qt::endl;
    return 0;
}
