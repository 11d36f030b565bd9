// Stand-in for the game. With "+timedemoquit NAME" and episodic/NAME.dem present in its folder
// it "plays" the demo (VARNHOLT_TESTBED_PLAY_MS, default 3000 ms), writes episodic/sourcebench.csv
// whose fourth line's third field is a frame rate for "-width" x "-height" (or the one
// VARNHOLT_TESTBED_FPS names for this start), and quits with 0.
// Without the demo it quits at once, without a result. Every start appends one JSON line to
// testbed.log in its folder: the arguments, the size used, whether the demo was there and
// whether episodic/cfg/autoexec.cfg was (with its first line, its line count and the SHA-256 of
// its bytes), and the values it found in its per-user settings key of the registry store
// (HKEY_USERS\S-1-22-1-<uid>\Software\Valve\Source\episodic\Settings), as the real game reads
// its video settings from there when it starts.
//
// Built a second time as today's native game "hl2_linux" (TESTBED_MODERN): the same, except that
// without "-width" and "-height" it runs at 1920 x 1080, and that it appends its result to
// episodic/SourceBench.csv as today's engine does: a header line naming the columns when the
// file is new, then one row per timedemo, the command line quoted. Each row also goes to
// testbed-results.csv in its folder, which the program never deletes. Started without
// "+timedemoquit" it sits at its menu until it is ended (SIGTERM), as the real game does.

#include "FrameLog.h"
#include "StandIn.h"
#include "platform/Registry.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kDefaultPlayMs = 3000;
constexpr int kDemoFrames = 5400;

#ifdef TESTBED_MODERN
constexpr bool kModern = true;
constexpr char kOwnName[] = "hl2_linux";
#else
constexpr bool kModern = false;
constexpr char kOwnName[] = "hl2.exe";
#endif

struct GameArgs {
    int width = kModern ? testbed::kModernOwnWidth : 640;
    int height = kModern ? testbed::kModernOwnHeight : 480;
    QString timedemo;
};

GameArgs parseArgs(const QStringList& args) {
    GameArgs game;
    auto positive = [](const QString& text, int fallback) {
        bool ok = false;
        const int value = text.toInt(&ok);
        return ok && value > 0 ? value : fallback;
    };
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg.compare(QLatin1String("-width"), Qt::CaseInsensitive) == 0)
            game.width = positive(args[++i], game.width);
        else if (arg.compare(QLatin1String("-height"), Qt::CaseInsensitive) == 0)
            game.height = positive(args[++i], game.height);
        else if (arg.compare(QLatin1String("+timedemoquit"), Qt::CaseInsensitive) == 0)
            game.timedemo = args[++i];
    }
    return game;
}

int playMs() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue(testbed::kPlayMsEnv, &ok);
    return ok && ms >= 0 ? ms : kDefaultPlayMs;
}

QString firstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromLatin1(line);
}

QByteArray wholeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines as the game's parser sees them: each ended by a line feed, plus an unended last one.
int lineCount(const QByteArray& bytes) {
    return int(bytes.count('\n')) + (bytes.isEmpty() || bytes.endsWith('\n') ? 0 : 1);
}

// The game's own settings key below HKEY_USERS, found from the user id as the program does.
QString settingsKeyPath() {
    return QStringLiteral("S-1-22-1-%1\\Software\\Valve\\Source\\episodic\\Settings")
        .arg(::getuid());
}

// Every integer value of the settings key under its stored name; "settings" is left out when
// the key does not exist, "settingsError" tells a store that could not be read.
void recordSettings(QJsonObject& entry) {
    try {
        const regfile::Key root = readStore(RegRoot::Users);
        const regfile::Key* key = nullptr;
        if (const auto parts = regfile::splitKeyPath(settingsKeyPath()))
            key = regfile::findKey(root, *parts);
        if (!key)
            return;
        QJsonObject values;
        for (const regfile::Value& value : key->values) {
            if (value.type != regfile::TypeDWord)
                continue;
            if (const auto number = regfile::decodeDWord(value.data))
                values.insert(value.name, qint64(qint32(*number)));
        }
        entry.insert(QStringLiteral("settings"), values);
    } catch (const std::exception& error) {
        entry.insert(QStringLiteral("settingsError"), QString::fromLocal8Bit(error.what()));
    }
}

int earlierStarts(const QString& logPath) {
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(file.readAll().count('\n'));
}

// One write with O_APPEND, so games started side by side never interleave their lines.
void appendLog(const QString& logPath, const QJsonObject& entry) {
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    const int fd = ::open(QFile::encodeName(logPath).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, line.constData(), line.size()) != line.size())
        std::fprintf(stderr, "%s: cannot write %s\n", kOwnName, qPrintable(logPath));
    if (fd >= 0)
        ::close(fd);
}

// Roughly what a card of the game's era managed: falls with the pixel count, and wobbles a
// little from one start to the next so averages have something to average.
double frameRate(int width, int height, int start) {
    const double pixels = double(width) * double(height);
    const double fps = 20.0 + 160.0 * std::pow(640.0 * 480.0 / pixels, 0.75);
    static constexpr double kWobble[] = {0.0, 0.37, -0.21, 0.52, -0.44};
    return fps + kWobble[start % 5];
}

QByteArray resultText(const QString& demo, const GameArgs& game, double fps) {
    const QString resolution = QStringLiteral("%1x%2").arg(game.width).arg(game.height);
    const QStringList lines = {
        QStringLiteral("timedemo results,hl2.exe"),
        QStringLiteral("demo,%1.dem").arg(demo),
        QStringLiteral("demo,resolution,fps,frames,seconds"),
        QStringLiteral("%1,%2,%3,%4,%5")
            .arg(demo, resolution, QString::number(fps, 'f', 2), QString::number(kDemoFrames),
                 QString::number(kDemoFrames / fps, 'f', 3)),
    };
    return lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
}

// A CSV field in double quotes, its own quotes doubled.
QString quotedField(QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool appendText(const QString& path, const QByteArray& header, const QByteArray& row) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray bytes = ::lseek(fd, 0, SEEK_END) == 0 ? header + row : row;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

// Today's engine: a header line when the file is new, then the run's row, appended.
bool appendModernResult(const QString& path, const QString& copyPath, const QString& demo,
                        const GameArgs& game, double fps, const QString& commandLine,
                        std::int64_t frames, double seconds) {
    const QString row =
        QStringLiteral("%1,%2,%3,%4,%5,%6,%7,0,0,0,0,95,%8\n")
            .arg(demo, QString::number(fps, 'f', 3), QString::number(fps / 41.7, 'f', 3),
                 QString::number(seconds, 'f', 3), QString::number(frames))
            .arg(game.width)
            .arg(game.height)
            .arg(quotedField(commandLine));
    const QByteArray header = "demofile,fps,framerate variability,totaltime,numframes,width,"
                              "height,windowed,vsync,MSAA,Aniso,dxlevel,cmdline\n";
    return appendText(path, header, row.toUtf8()) && appendText(copyPath, {}, row.toUtf8());
}

// The rate a test asked for this start: a number, "no result" (empty), or nothing.
std::optional<std::optional<double>> knownRate(int start) {
    const QStringList rates =
        qEnvironmentVariable(testbed::kFpsEnv).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (start >= rates.size())
        return std::nullopt;
    const QString rate = rates.at(start).trimmed();
    if (rate == QLatin1String("-"))
        return std::optional<double>();
    bool ok = false;
    const double fps = rate.toDouble(&ok);
    if (!ok || !(fps > 0))
        return std::nullopt;
    return std::optional<double>(fps);
}

// Plays for `ms`; with frames to play, MangoHud (testbed/FrameLog.h) logs them as they end.
void play(int ms, const std::vector<testbed::VirtualFrame>& frames) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    if (!frames.empty())
        testbed::StandInMangoHud(QLatin1String(kOwnName), frames)
            .play<Clock>(start, frames.back().endSeconds);
    std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
    const QString hold = qEnvironmentVariable(testbed::kHoldEnv);
    while (!hold.isEmpty() && QFileInfo::exists(hold))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// No demo to play: the game waits for its user until a signal ends it.
[[noreturn]] void sitAtMenu() {
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString gameDir = testbed::executableFolder();
    const QString episodic = gameDir + QStringLiteral("episodic/");
    const QString logPath = gameDir + QLatin1String(testbed::kGameLogFileName);
    const GameArgs game = parseArgs(args);

    QString demo = game.timedemo;
    if (demo.endsWith(QLatin1String(".dem"), Qt::CaseInsensitive))
        demo.chop(4);
    const bool demoFound =
        !demo.isEmpty() && QFileInfo(episodic + demo + QStringLiteral(".dem")).isFile();
    const QString autoexec = episodic + QStringLiteral("cfg/autoexec.cfg");
    const bool hasAutoexec = QFileInfo(autoexec).isFile();

    QJsonObject entry{
        {QStringLiteral("pid"), qint64(::getpid())},
        {QStringLiteral("args"), QJsonArray::fromStringList(args)},
        {QStringLiteral("width"), game.width},
        {QStringLiteral("height"), game.height},
        {QStringLiteral("timedemo"), game.timedemo},
        {QStringLiteral("demo"), demoFound},
        {QStringLiteral("autoexec"), hasAutoexec},
    };
    if (hasAutoexec) {
        const QByteArray script = wholeFile(autoexec);
        entry.insert(QStringLiteral("autoexecFirstLine"), firstLine(autoexec));
        entry.insert(QStringLiteral("autoexecLines"), lineCount(script));
        entry.insert(QStringLiteral("autoexecSha256"),
                     QString::fromLatin1(
                         QCryptographicHash::hash(script, QCryptographicHash::Sha256).toHex()));
    }
    recordSettings(entry);
    const int start = earlierStarts(logPath);
    appendLog(logPath, entry);

    if (kModern && game.timedemo.isEmpty())
        sitAtMenu();
    if (!demoFound)
        return 0;
    // With frame times asked for, the game loads and then plays exactly its frames.
    const std::optional<testbed::FramePattern> pattern =
        kModern ? testbed::framePattern() : std::nullopt;
    std::int64_t demoFrames = kDemoFrames;
    double demoSeconds = 0;
    std::vector<testbed::VirtualFrame> frames;
    int liveMs = playMs();
    if (pattern) {
        const int loadMs = testbed::loadMsFor(start);
        frames = testbed::virtualFrames(*pattern, loadMs, liveMs, demoFrames, demoSeconds);
        liveMs = static_cast<int>(std::lround(frames.back().endSeconds * 1000));
    }
    play(liveMs, frames);
    if (qEnvironmentVariable(testbed::kNoResultEnv) == QLatin1String("1"))
        return 0;
    const std::optional<std::optional<double>> known = knownRate(start);
    if (known && !*known)
        return 0;
    double fps = known ? **known : frameRate(game.width, game.height, start);
    if (pattern && !known)
        fps = static_cast<double>(demoFrames) / demoSeconds;
    if (!pattern)
        demoSeconds = kDemoFrames / fps;
    if (kModern) {
        const QString path = episodic + QLatin1String(testbed::kModernResultFileName);
        const QString commandLine =
            (QStringList{gameDir + QLatin1String(kOwnName)} + args).join(QLatin1Char(' '));
        if (!appendModernResult(path, gameDir + QLatin1String(testbed::kModernResultCopyName), demo,
                                game, fps, commandLine, demoFrames, demoSeconds)) {
            std::fprintf(stderr, "%s: cannot write %s\n", kOwnName, qPrintable(path));
            return 1;
        }
        return 0;
    }
    QSaveFile result(episodic + QLatin1String(testbed::kResultFileName));
    if (!result.open(QIODevice::WriteOnly) || result.write(resultText(demo, game, fps)) < 0 ||
        !result.commit()) {
        std::fprintf(stderr, "hl2.exe: cannot write %s\n", qPrintable(result.fileName()));
        return 1;
    }
    return 0;
}
