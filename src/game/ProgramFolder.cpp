#include "game/ProgramFolder.h"

#include "platform/FolderAccess.h"

#include <QDir>
#include <QFileInfo>

QString UserDataFolder(const QString& xdgDataHome, const QString& home) {
    QString base = xdgDataHome;
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = home + QStringLiteral("/.local/share");
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + QStringLiteral("varnholt/");
}

QString WritableFolderByRule(const QString& programFolder, const ProgramFolderFacts& facts) {
    if (!facts.packaged && facts.writable)
        return programFolder;
    return UserDataFolder(facts.xdgDataHome, facts.home);
}

ProgramFolderFacts ProgramFolderFactsOf(const QString& programFolder) {
    ProgramFolderFacts facts;
    facts.packaged = ProgramIsPackaged(programFolder);
    facts.writable = platform::FolderWritable(programFolder);
    facts.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    facts.home = QDir::homePath();
    return facts;
}

QString WritableFolder(const QString& programFolder) {
    return WritableFolderByRule(programFolder, ProgramFolderFactsOf(programFolder));
}

bool ProgramIsPackaged(const QString& programFolder) {
    return QFileInfo(programFolder + QLatin1String(PackageMarkerFile)).isFile();
}
