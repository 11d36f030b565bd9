#include "ui/ErrorReport.h"

#include "platform/Errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

ErrorReport::ErrorReport(Dialogs& dialogs, QString logFile)
    : dialogs_(dialogs), logFile_(std::move(logFile)) {}

ErrorReport::~ErrorReport() {
    if (installed_)
        setTopLevelErrorReport({});
}

QString ErrorReport::DefaultLogFile() {
    return QDir::homePath() + QStringLiteral("/.local/state/Quillon/varnholt.log");
}

QString ErrorReport::ErrorText(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error))
        return appError->message();
    return QString::fromLocal8Bit(error.what());
}

void ErrorReport::Install() {
    setTopLevelErrorReport([this](const std::exception& error) { Report(error); });
    installed_ = true;
}

void ErrorReport::Report(const std::exception& error) {
    const QString text = ErrorText(error);
    // The log first: it must not depend on the user closing the box.
    AppendToLog(text);
    try {
        dialogs_.showMessage(text);
    } catch (const std::exception& failure) {
        AppendToLog(QStringLiteral("The error could not be shown: ") + ErrorText(failure));
    }
}

void ErrorReport::AppendToLog(const QString& text) {
    QDir().mkpath(QFileInfo(logFile_).absolutePath());
    QFile log(logFile_);
    if (!log.open(QIODevice::Append | QIODevice::Text))
        return;
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString stamp = QDateTime::currentDateTime().toString(Qt::ISODate);
    log.write((stamp + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8());
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
