// What the run command (scripts/demo.sh) builds on a fresh machine, against what the test command
// (scripts/test.sh) builds: the target group varnholt_run against every target. Both are counted
// from a fresh build folder configured as the scripts configure it: the commands each would run,
// and of them the compilations. With --timed both are also built, from nothing and without
// ccache, one after the other: first the run command's targets, then everything (which reuses
// them), so the second time is what the tests and benchmarks add.
//
//   bench_run_build [--timed] [JOBS]

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

constexpr int GiveUpMs = 3 * 3600 * 1000;

// Runs a command to its end; its output, or nothing when it failed.
std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                              const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(GiveUpMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        out << "bench_run_build: " << program << " " << arguments.join(' ') << " failed:\n"
            << process.readAllStandardError() << Qt::endl;
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

struct Count {
    int commands = 0;
    int compilations = 0;
};

Count count(const QByteArray& commands) {
    Count c;
    for (const QByteArray& line : commands.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        c.commands += 1;
        c.compilations += line.contains(" -c ") ? 1 : 0;
    }
    return c;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool timed = args.removeAll("--timed") > 0;
    const QString jobs = args.value(0, QString::number(QThread::idealThreadCount()));

    QTemporaryDir folder;
    const QString build = folder.path() + "/build";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CCACHE_DISABLE", "1");
    // Configured as the scripts configure it.
    if (!run("cmake", {"-S", VARNHOLT_SOURCE_DIR, "-B", build, "-G", "Ninja"}, environment))
        return 1;
    const std::optional<QByteArray> runCommands =
        run("ninja", {"-C", build, "-t", "commands", "varnholt_run"}, environment);
    const std::optional<QByteArray> allCommands =
        run("ninja", {"-C", build, "-t", "commands", "all"}, environment);
    if (!runCommands || !allCommands)
        return 1;
    const Count ours = count(*runCommands), all = count(*allCommands);

    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(2);
    out << "load average " << bench::loadAverage() << " at the start\n";
    out << "commands: run command " << ours.commands << ", test command " << all.commands
        << ", ratio " << double(ours.commands) / all.commands << "\n";
    out << "compilations: run command " << ours.compilations << ", test command "
        << all.compilations << ", ratio " << double(ours.compilations) / all.compilations
        << Qt::endl;
    if (!timed)
        return 0;

    QElapsedTimer clock;
    clock.start();
    if (!run("cmake", {"--build", build, "-j", jobs, "--target", "varnholt_run"}, environment))
        return 1;
    const double runMinutes = double(clock.elapsed()) / 60000;
    clock.restart();
    if (!run("cmake", {"--build", build, "-j", jobs}, environment))
        return 1;
    const double restMinutes = double(clock.elapsed()) / 60000;
    out << "build from nothing with " << jobs << " jobs, no ccache: run command " << runMinutes
        << " min, test command " << runMinutes + restMinutes << " min, ratio "
        << runMinutes / (runMinutes + restMinutes) << "; load average " << bench::loadAverage()
        << " at the end" << Qt::endl;
    return 0;
}
