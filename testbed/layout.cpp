// testbed-layout STEAMDIR [ACCOUNT]: lays out a Steam folder with the stand-in client and game
// (taken from this program's folder) and prints the paths as shell assignments, e.g. for
//   eval "$(testbed-layout "$HOME/my steam")"

#include "SteamLayout.h"

#include <QString>
#include <cstdio>
#include <exception>

namespace {

QString shellQuoted(QString text) {
    text.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: testbed-layout STEAMDIR [ACCOUNT]\n");
        return 2;
    }
    const QString steamDir = QString::fromLocal8Bit(argv[1]);
    const QString account = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("player");
    try {
        const testbed::SteamLayout layout = testbed::layOutSteamFolder(steamDir, account);
        const std::pair<const char*, QString> lines[] = {
            {"STEAM_DIR", layout.steamDir},       {"STEAM_EXE", layout.steamExe},
            {"GAME_DIR", layout.gameDir},         {"GAME_EXE", layout.gameExe},
            {"EPISODIC_DIR", layout.episodicDir}, {"CFG_DIR", layout.cfgDir},
        };
        for (const auto& [name, value] : lines)
            std::printf("%s=%s\n", name, shellQuoted(value).toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testbed-layout: %s\n", e.what());
        return 1;
    }
    return 0;
}
