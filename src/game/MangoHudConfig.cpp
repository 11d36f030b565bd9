#include "game/MangoHudConfig.h"

#include "platform/CheckedFile.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QByteArray kFirstLine = "# Written by Quillon Varnholt for a benchmark series: frame "
                              "times of the game. Your own file comes back after the series.";

// A link counts as there even when it leads nowhere.
bool present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isProgramFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    const std::optional<QByteArray> content = platform::ReadOwnFile(path, 64 * 1024);
    return content && IsProgramMangoHudConfig(*content);
}

// What may be replaced by a parked file coming back: nothing, the program's own file, or an
// empty file (an interrupted write leaves one).
bool replaceable(const QString& path) {
    if (!present(path))
        return true;
    const QFileInfo info(path);
    return isProgramFile(path) || (!info.isSymLink() && info.isFile() && info.size() == 0);
}

// "<base>(n).conf" from n = 2 on, the first that is free.
QString freeName(const QString& folder, const QString& name) {
    const QString base = name.chopped(5); // ".conf"
    QString path;
    for (int n = 2;; ++n) {
        path = folder + base + QStringLiteral("(%1).conf").arg(n);
        if (!present(path))
            return path;
    }
}

} // namespace

QStringList MangoHudConfigNames() {
    return {QStringLiteral("hl2_linux.conf"), QStringLiteral("wine-hl2.conf")};
}

QString MangoHudConfigFolder(const QString& configHome) {
    QString folder = configHome;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("MangoHud/");
}

QString DefaultMangoHudConfigFolder() {
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home))
        home = QDir::homePath() + QStringLiteral("/.config");
    return MangoHudConfigFolder(home);
}

QByteArray MangoHudConfigText(const QString& logFolder, int cut) {
    QByteArray text = kFirstLine + '\n';
    text += "# log " + QByteArray::number(cut) + '\n';
    text += "output_folder=" + QFile::encodeName(logFolder) + '\n';
    text += "log_interval=0\n";
    text += "autostart_log=1\n";
    text += "alpha=0\n";
    text += "background_alpha=0\n";
    return text;
}

bool IsProgramMangoHudConfig(const QByteArray& content) {
    return content.startsWith(kFirstLine + '\n');
}

QString ParkedMangoHudConfigName(const QString& name) {
    return name + QStringLiteral(".varnholt-kept");
}

MangoHudConfigKeeper::MangoHudConfigKeeper(QString configFolder)
    : folder_(std::move(configFolder)) {}

std::optional<QString> MangoHudConfigKeeper::Install(const QByteArray& text) {
    if (folder_.isEmpty() || !QDir::isAbsolutePath(folder_))
        return QStringLiteral("no configuration folder");
    // Whatever an earlier series left comes back first.
    Restore();
    if (const std::optional<platform::FileError> error = platform::MakeFolders(folder_))
        return error->reason;
    for (const QString& name : MangoHudConfigNames()) {
        const QString path = folder_ + name;
        if (present(path) && !isProgramFile(path)) {
            // A rename needs no space: the user's file is never copied, so a full disk
            // cannot cost it.
            if (const std::optional<platform::FileError> error =
                    platform::RenameReplacing(path, folder_ + ParkedMangoHudConfigName(name))) {
                Restore();
                return error->reason;
            }
        }
        if (const std::optional<QString> error = platform::WriteNewFile(path, text, 0644)) {
            Restore();
            return error;
        }
    }
    return std::nullopt;
}

QStringList MangoHudConfigKeeper::Restore() {
    QStringList keptAside;
    if (folder_.isEmpty() || !QDir::isAbsolutePath(folder_))
        return keptAside;
    for (const QString& name : MangoHudConfigNames()) {
        const QString path = folder_ + name;
        const QString parked = folder_ + ParkedMangoHudConfigName(name);
        if (isProgramFile(path))
            platform::RemoveFile(path);
        if (!present(parked))
            continue;
        if (replaceable(path)) {
            platform::RenameReplacing(parked, path);
        } else {
            // The user put a file of his own in place meanwhile: both are the user's.
            const QString aside = freeName(folder_, name);
            if (!platform::RenameReplacing(parked, aside))
                keptAside << aside;
        }
    }
    return keptAside;
}
