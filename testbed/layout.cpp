// testbed-layout STEAMDIR [ACCOUNT]: lays out a Steam folder with the stand-in client and game
// (taken from this program's folder) and prints the paths as shell assignments, e.g. for
//   eval "$(testbed-layout "$HOME/my steam")"
// testbed-layout --modern DIR: lays out today's Steam on Linux below DIR instead (a home folder
// with the Steam root, a second library with the game, and the steam command; see
// layOutModernSteam), printed the same way.

#include "SteamLayout.h"

#include <QString>
#include <cstdio>
#include <exception>

namespace {

QString shellQuoted(QString text) {
    text.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

void print(std::initializer_list<std::pair<const char*, QString>> lines) {
    for (const auto& [name, value] : lines)
        std::printf("%s=%s\n", name, shellQuoted(value).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    const bool modern = argc == 3 && QLatin1String(argv[1]) == QLatin1String("--modern");
    const char* usage = "usage: testbed-layout STEAMDIR [ACCOUNT]\n"
                        "       testbed-layout --modern DIR\n";
    if (argc == 2 && (QLatin1String(argv[1]) == QLatin1String("--help") ||
                      QLatin1String(argv[1]) == QLatin1String("-h"))) {
        std::fputs(usage, stdout);
        return 0;
    }
    // Any other option is a mistake, not a folder's name (a folder named so is "./--x").
    if (argc < 2 || argc > 3 || (!modern && argv[1][0] == '-')) {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        if (modern) {
            const testbed::ModernSteamLayout layout =
                testbed::layOutModernSteam(QString::fromLocal8Bit(argv[2]));
            print({
                {"HOME_DIR", layout.home},
                {"STEAM_ROOT", layout.steamRoot},
                {"COMMAND_DIR", layout.commandDir},
                {"STEAM_COMMAND", layout.steamCommand},
                {"LIBRARY_DIR", layout.library},
                {"GAME_DIR", layout.gameDir},
                {"GAME_EXE", layout.gameExe},
                {"EPISODIC_DIR", layout.episodicDir},
                {"CFG_DIR", layout.cfgDir},
            });
            return 0;
        }
        const QString steamDir = QString::fromLocal8Bit(argv[1]);
        const QString account =
            argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("player");
        const testbed::SteamLayout layout = testbed::layOutSteamFolder(steamDir, account);
        print({
            {"STEAM_DIR", layout.steamDir},
            {"STEAM_EXE", layout.steamExe},
            {"GAME_DIR", layout.gameDir},
            {"GAME_EXE", layout.gameExe},
            {"EPISODIC_DIR", layout.episodicDir},
            {"CFG_DIR", layout.cfgDir},
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "testbed-layout: %s\n", e.what());
        return 1;
    }
    return 0;
}
