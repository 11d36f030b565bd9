#include "ui/DesktopShellOpen.h"

#include "platform/Dialogs.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QUrl ShellOpenUrl(const QString& target) {
    const QFileInfo file(target);
    // A relative path of something that is there (a results folder given as "results/", say)
    // is a file too, not a host name.
    if (file.isAbsolute() || (!target.isEmpty() && file.exists()))
        return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl::fromUserInput(target);
}

QString ShellOpenFailureText(const QString& shown, const QString& reason) {
    return QStringLiteral("Could not open \"%1\".\n\n%2").arg(shown, reason);
}

DesktopShellOpen::DesktopShellOpen(Dialogs& dialogs, QString opener)
    : dialogs_(dialogs), opener_(std::move(opener)) {}

void DesktopShellOpen::open(const QString& target) {
    const QUrl url = ShellOpenUrl(target);
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const QString program =
        opener_.contains(QLatin1Char('/')) ? opener_ : QStandardPaths::findExecutable(opener_);
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        failed(shown, QStringLiteral("No program to open it was found (%1).").arg(opener_));
        return;
    }
    // Not parented: an opener still running when the program ends is left to finish.
    auto* process = new QProcess;
    process->setProgram(program);
    process->setArguments(
        {url.isLocalFile() ? url.toLocalFile() : QString::fromUtf8(url.toEncoded())});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(process, &QProcess::finished, &context_,
                     [this, shown, process](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit)
                             failed(shown,
                                    QStringLiteral("%1 ended abnormally.").arg(process->program()));
                         else if (code != 0)
                             failed(shown, QStringLiteral("%1 ended with exit code %2.")
                                               .arg(process->program())
                                               .arg(code));
                     });
    QObject::connect(process, &QProcess::errorOccurred, &context_,
                     [this, shown, process](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             failed(shown, QStringLiteral("%1 could not be started: %2")
                                               .arg(process->program(), process->errorString()));
                     });
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             process->deleteLater();
                     });
    process->start();
}

void DesktopShellOpen::failed(const QString& shown, const QString& reason) {
    dialogs_.showMessage(ShellOpenFailureText(shown, reason));
}
