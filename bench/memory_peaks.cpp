// The memory three large inputs cost, each against a goal:
//   - the game's result file of 8 million rows (today's engine, 16 MiB, the most that is read):
//     reading its run's score, goal at most 64 MiB above what the process held;
//   - `reg import` of a 1.2 MB file of deep keys with long names, whose store file would be far
//     larger than a store file may be: refused, goal at most 64 MiB peak for the whole process;
//   - writing the frames file of a run of 16 million frames (the most a run keeps): goal at
//     most 32 MiB above the frames themselves (64 MB as floats).
// Printed: each peak and its goal; exit 1 when one is missed.
//
//   bench_memory_peaks

#include "platform/RegFile.h"
#include "results/DataFiles.h"
#include "run/ScoreReading.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdlib>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);
constexpr qint64 MiB = 1024 * 1024;

[[noreturn]] void die(const QString& why) {
    out << "bench_memory_peaks: " << why << Qt::endl;
    std::exit(2);
}

bool report(const char* what, qint64 bytes, qint64 goal) {
    out << QStringLiteral("%1: peak %2 MiB (goal at most %3 MiB) %4")
               .arg(QLatin1String(what))
               .arg(double(bytes) / MiB, 0, 'f', 1)
               .arg(goal / MiB)
               .arg(bytes <= goal ? QStringLiteral("ok") : QStringLiteral("MISSED"))
        << Qt::endl;
    return bytes <= goal;
}

// 8 million rows under today's header, as small as rows come: 16 MiB.
QByteArray resultFile() {
    QByteArray bytes = "demofile,fps\n";
    bytes.reserve(kMaxResultFileBytes);
    while (bytes.size() + 2 <= kMaxResultFileBytes - 16)
        bytes += "d\n";
    bytes += "d,112.0\n";
    return bytes;
}

// Eight chains of 512 keys of 255 characters each: every key's section line names its whole
// path, so the store file would hold about 8 x 33 MB of them.
QByteArray amplifyingImport() {
    QByteArray file = QByteArray(regfile::Header) + "\r\n\r\n";
    for (char top = 'a'; top < 'a' + 8; ++top) {
        QByteArray path = "HKEY_LOCAL_MACHINE\\" + QByteArray(255, top);
        for (int depth = 1; depth < regfile::MaxKeyDepth; ++depth)
            path += '\\' + QByteArray(254, 'k') + char('a' + depth % 26);
        file += '[' + path + "]\r\n\"v\"=\"1\"\r\n\r\n";
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        die(QStringLiteral("no temporary folder"));
    bool met = true;

    {
        const QByteArray bytes = resultFile();
        bench::resetPeak();
        const qint64 before = bench::peakResident();
        const RunResult result = ReadRunResult(bytes);
        if (result.ScoreText != QStringLiteral("112.0"))
            die(QStringLiteral("the result file was not read"));
        met &= report("result file of 8 million rows", bench::peakResident() - before, 64 * MiB);
    }

    {
        const QString import = folder.path() + QStringLiteral("/amplifying.reg");
        QFile file(import);
        if (!file.open(QIODevice::WriteOnly) || file.write(amplifyingImport()) < 0)
            die(QStringLiteral("cannot write the import file"));
        file.close();
        QProcess reg;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VARNHOLT_REGISTRY_DIR"),
                           folder.path() + QStringLiteral("/registry/"));
        reg.setProcessEnvironment(environment);
        reg.start(QCoreApplication::applicationDirPath() + QStringLiteral("/reg"),
                  {QStringLiteral("import"), import});
        if (!reg.waitForFinished(600000))
            die(QStringLiteral("reg import did not end"));
        if (reg.exitCode() == 0)
            die(QStringLiteral("reg import took a file its store cannot hold"));
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        out << QStringLiteral("reg import (%1 KB) refused: %2")
                   .arg(QFileInfo(import).size() / 1000)
                   .arg(QString::fromLocal8Bit(reg.readAllStandardError()).trimmed())
            << Qt::endl;
        met &= report("reg import of deep keys", qint64(usage.ru_maxrss) * 1024, 64 * MiB);
    }

    {
        constexpr std::size_t frames = 16'000'000;
        RunRecord run;
        RunFrames recorded;
        recorded.FrameMs.assign(frames, 6.944f);
        recorded.FrameMs[frames / 2] = 33.3f;
        recorded.Figures = ComputeFrameFigures(recorded.FrameMs);
        run.Frames = std::move(recorded);
        RowRecord row;
        row.Caption = QStringLiteral("1920 \u00D7 1080");
        row.Runs.push_back(std::move(run));
        SeriesResult series;
        series.Version = QStringLiteral("1.3.0.0");
        series.Started = QDateTime::currentDateTime();
        series.RunCount = 1;
        series.Rows.push_back(std::move(row));
        bench::resetPeak();
        const qint64 before = bench::peakResident();
        const DataFilePaths paths =
            WriteDataFiles(series, folder.path() + QStringLiteral("/result_1.htm"));
        const qint64 peak = bench::peakResident() - before;
        out << QStringLiteral("frames file: %1 MB").arg(QFileInfo(paths.Frames).size() / 1000000)
            << Qt::endl;
        met &= report("frames file of 16 million frames", peak, 32 * MiB);
    }
    out << "load average " << bench::loadAverage() << Qt::endl;
    return met ? 0 : 1;
}
