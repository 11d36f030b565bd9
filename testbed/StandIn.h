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

// Folder of the running executable, with a trailing "/". The stand-ins work relative to
// where they lie, never relative to their working directory.
inline QString executableFolder() {
    const QString exe = readLink(QStringLiteral("/proc/self/exe"));
    if (exe.isEmpty())
        return {};
    const QString dir = QFileInfo(exe).absolutePath();
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

} // namespace testbed
