#pragma once

#include "model/SystemFacts.h"
#include "model/Timings.h"
#include "process/ProcessRunner.h"

#include <QObject>
#include <QString>
#include <functional>

class SettingsStore;

// Learns the adapter name, display memory, display driver version and sound device, from the
// cache in the program key or from a run of the diagnostics tool in the program's system
// folder, and then hands on to the series' prepare step exactly once per Begin.
class DiagnosticsCapture : public QObject {
    Q_OBJECT
public:
    // The environment variable that hands the tool its command text as written.
    static constexpr char CommandTextVariable[] = "VARNHOLT_COMMAND_LINE";

    // Fall-backs of the facts.
    static QString Indeterminable() { return QStringLiteral("indeterminable"); }
    static QString NoInformation() { return QStringLiteral("No information"); }

    // `programFolder` ends with "/". The store and the facts given to Begin must outlive the
    // capture.
    DiagnosticsCapture(SettingsStore& store, QString programFolder, Timings timings = {},
                       QObject* parent = nullptr);

    // Fills `facts` from the cache and calls `prepareSeries` at once, or starts the tool and
    // returns; the tool's end then fills `facts` and calls `prepareSeries` from the event
    // loop. A Begin while the tool of an earlier one still runs gets the facts of a missing
    // tool, so that every caller is handed on.
    void Begin(SystemFacts& facts, std::function<void()> prepareSeries);
    bool Pending() const { return facts_ != nullptr; }

    // ProgramFolder + "system", without a trailing "/".
    QString SystemFolder() const;
    QString ToolPath() const;
    // The report the tool writes: "dxinfo.txt" in the program folder, or in the user's data
    // folder when the program folder cannot be written (WritableFolder).
    QString DiagnosticsFile() const;

    ProcessRunner& DiagnosticsRunner() { return diagnosticsRunner_; }

private:
    void OnDiagnosticsExit();
    void ScanDiagnosticsFile();
    void ToolUnavailable(SystemFacts& facts);
    void HandOn();

    SettingsStore& store_;
    QString programFolder_;
    Timings timings_;
    ProcessRunner diagnosticsRunner_;
    SystemFacts* facts_ = nullptr;
    std::function<void()> prepareSeries_;
};
