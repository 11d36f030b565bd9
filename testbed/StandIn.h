#pragma once

// Names shared by the stand-in Steam client, the stand-in game and the layout helper.

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <climits>
#include <unistd.h>

namespace testbed {

inline constexpr char kSteamExeName[] = "steam.exe";
inline constexpr char kGameExeName[] = "hl2.exe";
inline constexpr char kGameFolderName[] = "half-life 2 episode one";
inline constexpr char kResultFileName[] = "sourcebench.csv";
// Today's layout on Linux: the "steam" command, the Steam root below the home folder with its
// library list, and the game folder of Half-Life 2 in a library, which holds Episode One.
inline constexpr char kSteamCommandName[] = "steam";
inline constexpr char kSteamScriptName[] = "steam.sh";
inline constexpr char kSteamRootLink[] = ".steam/root"; // below $HOME, a link to the root
inline constexpr char kModernRootPath[] = ".local/share/Steam";
inline constexpr char kLibraryListPath[] = "steamapps/libraryfolders.vdf";
inline constexpr char kModernGameFolder[] = "steamapps/common/Half-Life 2";
inline constexpr char kModernGameExeName[] = "hl2_linux";
inline constexpr char kModernGameScriptName[] = "hl2.sh";
inline constexpr char kModernResultFileName[] = "SourceBench.csv";
// In today's game folder: every row the game wrote, kept for tests (the program deletes the
// result file after each run).
inline constexpr char kModernResultCopyName[] = "testbed-results.csv";
// "1": today's client drops "-width" and "-height" from the arguments it hands on, as it does
// when minimised to the tray, so the game runs at its own size.
inline constexpr char kDropSizeEnv[] = "VARNHOLT_TESTBED_DROP_SIZE";
// "1": today's client hands on no argument at all, as it does in the tray or in Big Picture
// mode; the game then sits at its menu until it is ended.
inline constexpr char kDropArgsEnv[] = "VARNHOLT_TESTBED_DROP_ARGS";
// Milliseconds: today's client takes the request at once but starts the game this much later,
// as when it first updates the game or prepares its shaders.
inline constexpr char kStartDelayEnv[] = "VARNHOLT_TESTBED_START_DELAY_MS";
// The size today's game runs at when it is given none.
inline constexpr int kModernOwnWidth = 1920;
inline constexpr int kModernOwnHeight = 1080;

// In the Steam folder while a client runs: its pid, under an open-file-description lock.
inline constexpr char kClientPidFileName[] = "steam.pid";
// In the game folder: one JSON object per game start.
inline constexpr char kGameLogFileName[] = "testbed.log";

// How long the game plays a demo, in milliseconds (default 3000).
inline constexpr char kPlayMsEnv[] = "VARNHOLT_TESTBED_PLAY_MS";
// "1": the game plays the demo but writes no result.
inline constexpr char kNoResultEnv[] = "VARNHOLT_TESTBED_NO_RESULT";
// Frame rates for the game's starts, separated by commas: the n-th start of the game in its
// folder (counted from 0 in its log) reports the n-th rate; "-" there writes no result. Starts
// beyond the list report the game's own rate.
inline constexpr char kFpsEnv[] = "VARNHOLT_TESTBED_FPS";
// A file path: after its play time the game keeps playing as long as that file exists, so a
// test can look at a running game without racing against the play time.
inline constexpr char kHoldEnv[] = "VARNHOLT_TESTBED_HOLD";

// Target of a symbolic link such as /proc/<pid>/exe; empty when it cannot be read.
inline QString readLink(const QString& link) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf);
    if (n <= 0 || n == ssize_t(sizeof buf))
        return {};
    return QFile::decodeName(QByteArray(buf, n));
}

// Whether a process whose /proc/<pid>/exe reads `exe` runs the program at `path`; also when
// that file was replaced while it ran (laid out again), which the link shows as
// "<path> (deleted)".
inline bool RunsProgramAt(const QString& exe, const QString& path) {
    return !path.isEmpty() && (exe == path || exe == path + QLatin1String(" (deleted)"));
}

// Folder of the running executable, with a trailing "/". The stand-ins work relative to
// where they lie, never relative to their working directory.
inline QString executableFolder() {
    const QString exe = readLink(QStringLiteral("/proc/self/exe"));
    if (exe.isEmpty())
        return {};
    const QString dir = QFileInfo(exe).absolutePath();
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

// The real folder a path leads to, with a trailing "/"; empty when it is no folder.
inline QString linkedFolder(const QString& path) {
    const QFileInfo info(path);
    const QString real = info.isDir() ? info.canonicalFilePath() : QString();
    if (real.isEmpty())
        return {};
    return real.endsWith(QLatin1Char('/')) ? real : real + QLatin1Char('/');
}

} // namespace testbed
