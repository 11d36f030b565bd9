#include "game/GameConfigBackup.h"

#include "game/ConfigScript.h"
#include "model/SettingNames.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kScript = QStringLiteral("autoexec.cfg");
const QString kParked = QStringLiteral("autoexec_old.cfg");

bool fileExists(const QString& path) {
    return QFileInfo::exists(path);
}

// A folder that was never found is held relative; acting on it would touch files in
// whatever folder the program was started from.
bool usableFolder(const QString& folder) {
    return !folder.isEmpty() && QDir::isAbsolutePath(folder);
}

// Single files are deleted directly; a failure leaves the file, which a following move
// replaces (or which is simply kept).
void removeFile(const QString& path) {
    platform::RemoveFile(path);
}

// What may be replaced by the parked script coming back: nothing, the program's own script,
// or an empty file (which holds nothing of anyone's: an interrupted write leaves one). Any
// other file there is taken for the user's.
bool replaceableByParked(const QString& script) {
    const QFileInfo info(script);
    return !info.exists() || IsProgramScript(script) || (info.isFile() && info.size() == 0);
}

// A parked copy of the program's own script (left by an older version of the program) is
// nothing of the user's and would otherwise come back as the user's script.
void dropParkedProgramScript(const QString& cfgFolder) {
    if (IsProgramScript(cfgFolder + kParked))
        removeFile(cfgFolder + kParked);
}

} // namespace

QString FreeScriptName(const QString& folder, const QString& base) {
    QString path = folder + base + QStringLiteral(".cfg");
    for (int n = 2; fileExists(path); ++n)
        path = folder + base + QStringLiteral("(%1).cfg").arg(n);
    return path;
}

QString LeftoverConfigQuestion() {
    return QStringLiteral(
        "Maybe the last time an error occured. The program restored the original settings, but "
        "found an autoexec.cfg file in your HL2 user folder. If it's not yours, please delete "
        "it. Do you wish to delete the autoexec.cfg file?");
}

GameConfigBackup::GameConfigBackup(FileOperation& fileOp, Dialogs& dialogs, Timings timings)
    : fileOp_(fileOp), dialogs_(dialogs) {
    timer_.setSingleShot(true);
    timer_.setInterval(timings.beforeRestore);
    QObject::connect(&timer_, &QTimer::timeout, [this] { finishRestore(); });
}

GameConfigBackup::~GameConfigBackup() {
    if (!timer_.isActive())
        return;
    timer_.stop();
    // The window's file operation and dialogs may be gone already: a plain rename, and only
    // where it replaces nothing of the user's; otherwise the script stays parked for the next
    // start to find.
    const QString script = restoreFolder_ + kScript;
    if (replaceableByParked(script))
        platform::RenameReplacing(restoreFolder_ + kParked, script);
}

void GameConfigBackup::move(const QString& from, const QString& to) {
    fileOp_.SourceFiles.append(from);
    fileOp_.Destinations.append(to);
    fileOp_.Operation = FileOperation::Kind::Move;
    // A failure has been shown to the user by the operation itself; the program goes on.
    fileOp_.Run();
    fileOp_.Clear();
}

void GameConfigBackup::BackupAutoexec(const QString& cfgFolder) {
    if (!usableFolder(cfgFolder))
        return;
    const QString script = cfgFolder + kScript;
    const QString parked = cfgFolder + kParked;
    dropParkedProgramScript(cfgFolder);
    if (!fileExists(script) || IsProgramScript(script))
        return;
    if (!fileExists(parked)) {
        move(script, parked);
        return;
    }
    // A script of the user's is parked already and stays where it is; this one goes beside it.
    const QString aside = FreeScriptName(cfgFolder, QStringLiteral("autoexec_old"));
    move(script, aside);
    dialogs_.showMessage(
        QStringLiteral("An earlier benchmark that did not end left your previous autoexec.cfg "
                       "set aside as %1; it is put back after this benchmark.\n\nYour current "
                       "autoexec.cfg has been kept as %2.")
            .arg(parked, aside));
}

void GameConfigBackup::RestoreGameConfig(const QString& cfgFolder, bool seriesFinished,
                                         std::function<void()> done) {
    if (timer_.isActive()) {
        waiting_.push_back(std::move(done));
        return;
    }
    if (seriesFinished || !usableFolder(cfgFolder)) {
        done();
        return;
    }
    const QString script = cfgFolder + kScript;
    dropParkedProgramScript(cfgFolder);
    if (IsProgramScript(script))
        removeFile(script);
    if (!fileExists(cfgFolder + kParked)) {
        done();
        return;
    }
    restoreFolder_ = cfgFolder;
    waiting_.push_back(std::move(done));
    timer_.start();
}

void GameConfigBackup::putParkedScriptBack() {
    const QString script = restoreFolder_ + kScript;
    const QString parked = restoreFolder_ + kParked;
    if (fileExists(parked)) {
        if (!replaceableByParked(script)) {
            // The user put a script of his own in place meanwhile: both are the user's.
            const QString aside = FreeScriptName(restoreFolder_, QStringLiteral("autoexec"));
            move(parked, aside);
            dialogs_.showMessage(
                QStringLiteral("Your autoexec.cfg in %1 was kept.\n\nThe autoexec.cfg that had "
                               "been set aside for the benchmark was put back as %2.")
                    .arg(restoreFolder_, aside));
        } else {
            move(parked, script);
        }
    }
}

void GameConfigBackup::finishRestore() {
    putParkedScriptBack();
    std::vector<std::function<void()>> callbacks;
    callbacks.swap(waiting_);
    for (const auto& callback : callbacks)
        callback();
}

void GameConfigBackup::CheckLeftoverConfig(const GamePaths& paths, SettingsStore& store) {
    const QString cfgFolder = paths.CfgFolder;
    const QString script = cfgFolder + kScript;
    const QString parked = cfgFolder + kParked;
    const bool usable = usableFolder(cfgFolder);

    // A parked script means a series never got to its restore: the program was killed. The
    // user's script comes back first, replacing at most the program's own leftover.
    bool recovered = false;
    if (usable) {
        dropParkedProgramScript(cfgFolder);
        if (fileExists(parked) && replaceableByParked(script)) {
            move(parked, script);
            recovered = !fileExists(parked) && fileExists(script);
        }
    }

    const bool scriptFound = usable && fileExists(script);
    const QString marker = SettingName::NoErrorWarning;
    if (scriptFound || fileExists(paths.ProgramFolder + QStringLiteral("hl2set.ini")))
        store.WriteValue(marker, QStringLiteral("1"));
    if (recovered)
        return; // the file there is the user's own, just put back: nothing to ask about
    if (store.ReadValue(marker) != QLatin1String("1"))
        return;
    if (!scriptFound)
        return;
    if (dialogs_.askYesNo(LeftoverConfigQuestion())) {
        removeFile(script);
        store.WriteValue(marker, QStringLiteral("0"));
    }
}
