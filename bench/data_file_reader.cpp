// Reading a data file of the results folder back, for the results window: a file at the size
// limit that is mostly members the window does not use (a list of half a million numbers, as a
// later format's frame times would be). Measured against, in the same run: Qt's JSON document
// of the same bytes (what holding the whole file as a tree costs) and `wc -c` of the file.
// Printed: the medians and the peak memory each adds to the process.
//
//   bench_data_file_reader [ROUNDS]

#include "results/DataFileReader.h"
#include "results/DataFiles.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdlib>

namespace {

QTextStream out(stdout);

[[noreturn]] void die(const QString& why) {
    out << "bench_data_file_reader: " << why << Qt::endl;
    std::exit(2);
}

// The process's peak resident memory so far, in KiB.
qint64 peakKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

QByteArray hostileFile() {
    SeriesResult series;
    series.Version = QStringLiteral("1.3.0.0");
    series.Started = QDateTime::currentDateTime();
    series.RunCount = 1;
    QByteArray json = ResultJsonBytes(series);
    QByteArray numbers = "\"frame_times\": [";
    while (json.size() + numbers.size() < DataFileMaxBytes - 16)
        numbers += "0,";
    numbers += "0],\n";
    json.insert(json.indexOf('{') + 1, numbers);
    return json;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    const QByteArray bytes = hostileFile();
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/result_x.json");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        die(QStringLiteral("cannot write the file"));
    file.close();

    // The reader first, so that its peak is not hidden by the document's.
    std::vector<double> read, document, wc;
    const qint64 before = peakKiB();
    for (int r = 0; r < rounds; ++r)
        read.push_back(bench::millisecondsOf([&] {
            if (!ReadDataFile(bytes).Summary)
                die(QStringLiteral("the reader refused the file"));
        }));
    const qint64 afterRead = peakKiB();
    for (int r = 0; r < rounds; ++r)
        document.push_back(bench::millisecondsOf([&] {
            if (QJsonDocument::fromJson(bytes).isNull())
                die(QStringLiteral("Qt refused the file"));
        }));
    const qint64 afterDocument = peakKiB();
    for (int r = 0; r < rounds; ++r)
        wc.push_back(bench::millisecondsOf([&] {
            QProcess p;
            p.start(QStringLiteral("wc"), {QStringLiteral("-c"), path});
            if (!p.waitForFinished(60000) || p.exitCode() != 0)
                die(QStringLiteral("wc -c failed"));
        }));

    out << QStringLiteral("file: %1 bytes, load %2").arg(bytes.size()).arg(bench::loadAverage())
        << Qt::endl;
    out << QStringLiteral("reader:        %1 ms, peak memory +%2 KiB")
               .arg(bench::median(read), 0, 'f', 2)
               .arg(afterRead - before)
        << Qt::endl;
    out << QStringLiteral("JSON document: %1 ms, peak memory +%2 KiB")
               .arg(bench::median(document), 0, 'f', 2)
               .arg(afterDocument - afterRead)
        << Qt::endl;
    out << QStringLiteral("wc -c:         %1 ms").arg(bench::median(wc), 0, 'f', 2) << Qt::endl;
    out << QStringLiteral("reader / wc -c: %1, reader / document: %2")
               .arg(bench::median(read) / bench::median(wc), 0, 'f', 2)
               .arg(bench::median(read) / bench::median(document), 0, 'f', 2)
        << Qt::endl;
    return 0;
}
