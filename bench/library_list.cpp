// Steam's library list of a machine with many libraries and games: reading it (the file read
// through the program's checked reader, parsed, and the library folders taken from it) is
// measured against `wc -c` reading the same file in the same run. A reader whose cost grows
// with the square of the file shows at once: the list is read at two sizes, and the larger
// one should cost about twice the smaller (the peer's figure is printed beside it).
//
//   bench_library_list [FOLDER] [ROUNDS]

#include "game/KeyValues.h"
#include "game/SteamLibraries.h"
#include "platform/OutsideFile.h"
#include "platform/SafeFile.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdlib>

namespace {

QTextStream out(stdout);

[[noreturn]] void die(const QString& why) {
    out << "bench_library_list: " << why << Qt::endl;
    std::exit(2);
}

// Today's form: numbered library blocks, each with its facts and the games it holds; every
// other one names no path (a look-up that finds nothing must not walk the rest of the file).
QByteArray libraryList(int libraries, int appsPerLibrary) {
    QByteArray text = "\"libraryfolders\"\n{\n";
    for (int l = 0; l < libraries; ++l) {
        text += "\t\"" + QByteArray::number(l) + "\"\n\t{\n";
        if (l % 2 == 0)
            text += "\t\t\"path\"\t\t\"/mnt/games" + QByteArray::number(l) + "/SteamLibrary\"\n";
        text += "\t\t\"label\"\t\t\"\"\n\t\t\"contentid\"\t\t\"" +
                QByteArray::number(7000000000000000000LL + l) + "\"\n";
        text += "\t\t\"totalsize\"\t\t\"0\"\n\t\t\"apps\"\n\t\t{\n";
        for (int a = 0; a < appsPerLibrary; ++a)
            text += "\t\t\t\"" + QByteArray::number(100000 + l * appsPerLibrary + a) + "\"\t\t\"" +
                    QByteArray::number(1000000 + a) + "\"\n";
        text += "\t\t}\n\t}\n";
    }
    text += "}\n";
    return text;
}

double readListMs(const QString& path, int expected) {
    return bench::millisecondsOf([&] {
        const platform::OutsideFile file = platform::ReadOutsideFile(path, KvLimits().maxBytes);
        const KvParse parsed = ParseKeyValues(file.bytes);
        if (!file.ok() || parsed.error ||
            LibraryFoldersIn(parsed.tree).size() != qsizetype(expected + 1) / 2)
            die(QStringLiteral("the list was not read whole"));
    });
}

double wcMs(const QString& path) {
    return bench::millisecondsOf([&] {
        QProcess wc;
        wc.start(QStringLiteral("wc"), {QStringLiteral("-c"), path});
        if (!wc.waitForFinished(60000) || wc.exitCode() != 0)
            die(QStringLiteral("wc -c failed"));
    });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir tmp;
    const QString folder = args.size() > 1 ? args.at(1) : tmp.path();
    const int rounds = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 5;
    QDir().mkpath(folder);

    struct Size {
        int libraries;
        QString path;
        qsizetype bytes = 0;
        double readMs = 0;
        double peerMs = 0;
    };
    // About 1.3 MB and twice that.
    std::vector<Size> sizes = {{800, folder + QStringLiteral("/small.vdf")},
                               {1600, folder + QStringLiteral("/large.vdf")}};
    for (Size& size : sizes) {
        const QByteArray bytes = libraryList(size.libraries, 40);
        size.bytes = bytes.size();
        platform::WriteFileAtomically(size.path, bytes);
    }
    for (Size& size : sizes) {
        std::vector<double> read, peer;
        for (int r = 0; r < rounds; ++r) {
            read.push_back(readListMs(size.path, size.libraries));
            peer.push_back(wcMs(size.path));
        }
        size.readMs = bench::median(read);
        size.peerMs = bench::median(peer);
        out << QStringLiteral("%1 bytes, %2 libraries: read %3 ms, wc -c %4 ms, ratio %5")
                   .arg(size.bytes)
                   .arg(size.libraries)
                   .arg(size.readMs, 0, 'f', 2)
                   .arg(size.peerMs, 0, 'f', 2)
                   .arg(size.readMs / size.peerMs, 0, 'f', 2)
            << Qt::endl;
    }
    out << QStringLiteral("twice the file costs %1 times the time (load %2)")
               .arg(sizes[1].readMs / sizes[0].readMs, 0, 'f', 2)
               .arg(bench::loadAverage())
        << Qt::endl;
    return 0;
}
