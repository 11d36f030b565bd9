// Walks a large generated tree for "hl2.exe" with the file search and with GNU find, several
// rounds each, and prints the median times and their ratio.
//
//   bench_file_search [TREE_FOLDER] [ROUNDS]
//
// The tree is generated once (deterministically) and kept for later runs.

#include "game/FileFinder.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int FolderCount = 20000;
constexpr int FileCount = 200000;
const char* const MatchNames[] = {"hl2.exe", "HL2.EXE", "hl2.exe", "Hl2.Exe",
                                  "hl2.exe", "HL2.EXE", "hl2.exe", "hl2.exe"};
constexpr int MatchCount = static_cast<int>(sizeof(MatchNames) / sizeof(MatchNames[0]));
const QString Marker = QStringLiteral(".tree-complete-v1");

QTextStream out(stdout);

// mt19937's raw output is fixed by the standard, unlike the distributions: same tree everywhere.
class Random {
public:
    std::uint32_t below(std::uint32_t limit) { return engine_() % limit; }
    QString word(int minLength, int maxLength) {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789_-";
        const int length = minLength + static_cast<int>(below(maxLength - minLength + 1));
        QString text;
        for (int i = 0; i < length; ++i)
            text += QLatin1Char(letters[below(sizeof(letters) - 1)]);
        return text;
    }

private:
    std::mt19937 engine_{20240601u};
};

void touch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        out << "cannot create " << path << Qt::endl;
        std::exit(2);
    }
}

// A random recursive tree: every new folder hangs below one of the folders made before it,
// which gives a Steam-like mix of wide and deep parts.
void generateTree(const QString& root) {
    out << "generating " << FolderCount << " folders and " << FileCount << " files in " << root
        << " ..." << Qt::endl;
    QDir(root).removeRecursively();
    static const char* const extensions[] = {".vpk", ".dll", ".txt", ".vtf", ".vmt",
                                             ".cfg", ".res", ".mdl", ".wav", ""};
    Random random;
    std::vector<QString> folders{root + QLatin1Char('/')};
    if (!QDir().mkpath(root))
        std::exit(2);
    for (int i = 1; i < FolderCount; ++i) {
        const QString parent = folders[random.below(static_cast<std::uint32_t>(folders.size()))];
        const QString folder =
            parent + random.word(3, 12) + QLatin1Char('_') + QString::number(i) + QLatin1Char('/');
        if (!QDir().mkdir(folder))
            std::exit(2);
        folders.push_back(folder);
    }
    for (int i = 0; i < FileCount; ++i) {
        const QString& folder = folders[random.below(FolderCount)];
        touch(folder + random.word(4, 14) + QLatin1Char('_') + QString::number(i) +
              QLatin1String(extensions[random.below(10)]));
    }
    // The matches go into distinct folders, none of them the root.
    std::vector<std::uint32_t> chosen;
    while (static_cast<int>(chosen.size()) < MatchCount) {
        const std::uint32_t index = 1 + random.below(FolderCount - 1);
        if (std::find(chosen.begin(), chosen.end(), index) == chosen.end())
            chosen.push_back(index);
    }
    for (int i = 0; i < MatchCount; ++i)
        touch(folders[chosen[i]] + QLatin1String(MatchNames[i]));
    touch(root + QLatin1Char('/') + Marker);
}

int walkOnce(const QString& root) {
    FileFinder finder;
    finder.Search.Location = root;
    finder.Search.FileName = QStringLiteral("hl2.exe");
    int matches = 0;
    finder.OnMatch = [&](const QString&, const FoundFile&) { ++matches; };
    finder.Run();
    return matches;
}

QStringList findArguments(const QString& root) {
    return {root, QStringLiteral("-iname"), QStringLiteral("hl2.exe")};
}

// Runs find to /dev/null; the time includes starting the process, as a user of find pays it.
void findOnce(const QString& root) {
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    find.start(QStringLiteral("find"), findArguments(root));
    if (!find.waitForFinished(-1) || find.exitCode() != 0) {
        out << "find failed" << Qt::endl;
        std::exit(2);
    }
}

int findCount(const QString& root) {
    QProcess find;
    find.start(QStringLiteral("find"), findArguments(root));
    find.waitForFinished(-1);
    return static_cast<int>(find.readAllStandardOutput().count('\n'));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString root = QDir::cleanPath(
        args.size() > 1 ? args[1] : QDir::tempPath() + QStringLiteral("/varnholt-bench-tree"));
    const int rounds = args.size() > 2 ? std::max(1, args[2].toInt()) : 9;

    if (!QFile::exists(root + QLatin1Char('/') + Marker))
        generateTree(root);

    // Warm-up: both walks then see the same cached tree.
    const int ours = walkOnce(root);
    const int theirs = findCount(root);
    out << "matches: ours " << ours << ", find " << theirs << " (placed " << MatchCount << ")"
        << Qt::endl;
    if (ours != theirs || ours != MatchCount) {
        out << "MISMATCH" << Qt::endl;
        return 1;
    }

    std::vector<double> oursMs, findMs;
    for (int round = 0; round < rounds; ++round) {
        oursMs.push_back(bench::millisecondsOf([&] {
            if (walkOnce(root) != MatchCount)
                std::exit(1);
        }));
        findMs.push_back(bench::millisecondsOf([&] { findOnce(root); }));
    }
    const double a = bench::median(oursMs), b = bench::median(findMs);
    out << Qt::fixed;
    out.setRealNumberPrecision(1);
    out << "rounds " << rounds << ", median: FileFinder " << a << " ms, find " << b << " ms"
        << Qt::endl;
    out.setRealNumberPrecision(2);
    out << "ratio ours/find: " << a / b << Qt::endl;
    return 0;
}
