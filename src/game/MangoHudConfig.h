#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// MangoHud's per-application configuration for the game, written by the program for the
// length of a series so that MangoHud logs every frame into a folder of the program's. The
// user's own files of those names are parked beside them and put back byte for byte; a file
// parked by a series that never ended comes back at the next start.

// The file names MangoHud looks for: "hl2_linux.conf" for the native game (named after the
// executable's file name) and "wine-hl2.conf" under Proton ("wine-" and the Windows program's
// name without ".exe").
QStringList MangoHudConfigNames();

// "<config home>/MangoHud/": $XDG_CONFIG_HOME or else ~/.config, as MangoHud reads it.
QString MangoHudConfigFolder(const QString& configHome);
// That folder for this user.
QString DefaultMangoHudConfigFolder();

// The configuration: every frame logged into `logFolder`, logging started with the game, the
// overlay drawn fully transparent (alpha=0, background_alpha=0; every version from 0.6.8 to
// 0.8.x has both keys). Never "no_display": from 0.7.2 on it keeps autostart_log from ever
// starting a log. `cut` only changes the text: MangoHud watches the file, and a change stops
// and writes the active log and starts a new one.
QByteArray MangoHudConfigText(const QString& logFolder, int cut = 0);

// Whether a file's content is a configuration the program wrote (its first line).
bool IsProgramMangoHudConfig(const QByteArray& content);

// The name a user's file is parked under while the program's is in place.
QString ParkedMangoHudConfigName(const QString& name);

class MangoHudConfigKeeper {
public:
    explicit MangoHudConfigKeeper(QString configFolder);

    // Parks the user's files and puts the program's configuration in their place (again, for
    // a new text, when it is there already). Nothing when it is in place, else why not; on a
    // failure the user's files are back where they were.
    std::optional<QString> Install(const QByteArray& text);

    // Takes the program's files away and puts the user's back. A file the user put in place
    // meanwhile is kept; the parked one then stays parked, and its name is returned.
    QStringList Restore();

    const QString& folder() const { return folder_; }

private:
    QString folder_;
};
