#include "game/GameIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QStringList Words(const QStringList& arguments) {
    QStringList words;
    for (const QString& argument : arguments)
        words << argument.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    return words;
}

bool HasOption(const QStringList& words, const char* option) {
    for (qsizetype i = 1; i + 1 < words.size(); ++i)
        if (words[i].compare(QLatin1String(option), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool PathLiesIn(const QString& path, const QString& folder) {
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString cleanFolder = QDir::cleanPath(folder);
    const QString cleanPath = QDir::cleanPath(path);
    if (cleanPath == cleanFolder)
        return true;
    return cleanPath.startsWith(
        cleanFolder.endsWith(QLatin1Char('/')) ? cleanFolder : cleanFolder + QLatin1Char('/'));
}

bool IsWineLoader(const QString& executable) {
    static const QRegularExpression loader(QStringLiteral("^wine(64)?(-preloader)?$"));
    return loader.match(QFileInfo(executable).fileName()).hasMatch();
}

QString UnixPathOfGameArgument(const QString& argument) {
    if (argument.startsWith(QLatin1Char('/')))
        return argument;
    if (argument.size() >= 3 && argument[0].toUpper() == QLatin1Char('Z') &&
        argument[1] == QLatin1Char(':') && argument[2] == QLatin1Char('\\')) {
        QString path = argument.mid(2);
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return path;
    }
    return {};
}

bool IsPreparedGame(const platform::ProcessLook& look, const QString& gameFolder) {
    QString executable = look.executable;
    // A file replaced while it runs (the game updated under it) still counts.
    if (executable.endsWith(QLatin1String(" (deleted)")))
        executable.chop(10);
    if (PathLiesIn(executable, gameFolder))
        return true;
    if (!IsWineLoader(executable))
        return false;
    const QString program =
        look.arguments.isEmpty() ? QString() : UnixPathOfGameArgument(look.arguments.first());
    return PathLiesIn(program, gameFolder) || PathLiesIn(look.workingFolder, gameFolder);
}

LaunchOptionsSeen CheckLaunchOptions(const QStringList& arguments, const QString& demoName) {
    const QStringList words = Words(arguments);
    bool demo = false;
    for (qsizetype i = 1; i + 1 < words.size() && !demo; ++i)
        demo = words[i].compare(QLatin1String("+timedemoquit"), Qt::CaseInsensitive) == 0 &&
               words[i + 1].compare(demoName, Qt::CaseInsensitive) == 0;
    if (!demo)
        return LaunchOptionsSeen::AllMissing;
    if (!HasOption(words, "-width") || !HasOption(words, "-height"))
        return LaunchOptionsSeen::SizeMissing;
    return LaunchOptionsSeen::All;
}

GameSighting SortGames(const std::vector<SeenGame>& games, const QString& gameFolder) {
    GameSighting sighting;
    for (const SeenGame& game : games) {
        if (!sighting.prepared && IsPreparedGame(game.look, gameFolder))
            sighting.prepared = game;
        else
            sighting.others.push_back(game);
    }
    return sighting;
}

QString OtherGameText(const SeenGame& game) {
    QString program = game.look.executable;
    if (IsWineLoader(program) && !game.look.arguments.isEmpty())
        program = game.look.arguments.first();
    return QStringLiteral("%1 (process %2)").arg(program).arg(game.pid);
}
