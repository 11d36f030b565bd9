#pragma once

#include "platform/Dialogs.h"
#include "process/TopLevelErrorReport.h"

#include <QApplication>
#include <QString>
#include <exception>
#include <stdexcept>

// Where errors end that no step caught: the user is told in a message box, one line with a
// time stamp goes to the log file, the step that raised the error is over and the program
// keeps running.
class ErrorReport {
public:
    explicit ErrorReport(Dialogs& dialogs, QString logFile = DefaultLogFile());
    // Stops being the installed report.
    ~ErrorReport();
    ErrorReport(const ErrorReport&) = delete;
    ErrorReport& operator=(const ErrorReport&) = delete;

    // ~/.local/state/Quillon/varnholt.log
    static QString DefaultLogFile();
    // The text the user is shown for an error.
    static QString ErrorText(const std::exception& error);

    // Makes this the report that reportTopLevelError() reaches.
    void Install();
    void Report(const std::exception& error);
    const QString& LogFile() const { return logFile_; }

private:
    void AppendToLog(const QString& text);

    Dialogs& dialogs_;
    QString logFile_;
    bool installed_ = false;
};

// Runs an event handler; an error escaping it goes to the top-level error report.
template <class Handler> void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        reportTopLevelError(error);
    } catch (...) {
        reportTopLevelError(std::runtime_error("Unknown error."));
    }
}

// Delivers every event inside guarded(), so that no error escaping a handler reaches Qt's
// event loop and ends the program.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
