#pragma once

#include "app/SeriesArguments.h"
#include "game/ProcessDetection.h"
#include "game/SteamLibraries.h"
#include "model/Timings.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTimer;
class RunSequencer;
struct RunState;

// What a series from the command line works with besides its arguments.
struct CommandLineEnvironment {
    QString programFolder;     // ends with "/"
    QString registryDirectory; // the registry store's folder
    ProcessSource processes = SystemProcesses();
    // Where today's Steam is looked for when the stored Steam path finds nothing.
    SteamPlaces steamPlaces = SteamPlacesOfThisMachine();
    Timings timings;
    // Raw text for standard output and standard error.
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    // Standard error is a terminal: a progress bar is kept below the step lines.
    bool progressBar = false;
};

// One benchmark series without a window: the window's start-up load, preparation, sequencer
// and restore, with the window's questions answered from the arguments and its texts written
// as lines. Start() from the event loop; Finished() carries the exit status.
class CommandLineSeries : public QObject {
    Q_OBJECT
public:
    static constexpr int ExitReport = 0;
    static constexpr int ExitNoReport = 1;
    // The results folder cannot take the report: found before anything is prepared.
    static constexpr int ExitUnwritableResults = 2;

    CommandLineSeries(CommandLineEnvironment environment, SeriesArguments arguments,
                      QObject* parent = nullptr);
    ~CommandLineSeries() override;

    void Start();
    // Ctrl-C or a termination: the series stops where it is, the game is ended, the user's
    // configuration is put back as the window's close does, and Finished(128 + number) follows.
    void Interrupt(int signalNumber);

    // The series' state once it has started; nothing before.
    const RunState* State() const;

signals:
    void Finished(int exitStatus);

private:
    class Parts;
    void RunCollected();
    // The sequencer waits `waitMs` after the launcher's end: said once, and on a terminal
    // counted down beside the progress bar.
    void LauncherEnded(int waitMs);
    void RedrawCountdown();
    // Today's layout: what the run waits for. Beside the progress bar on a terminal; elsewhere
    // one line whenever the wait turns into another.
    void GameLine(const QString& text);
    void CheckEnded();
    void Close(int exitStatus);
    void StopGame();
    void PrintSummary();
    // One line of progress on standard error, with the progress bar below it on a terminal.
    void Say(const QString& text);
    QString ProgressBar() const;
    // "  waiting N s", the seconds of the wait that are left, or today's game line; empty outside
    // a wait.
    QString WaitLeft() const;

    CommandLineEnvironment env_;
    SeriesArguments args_;
    std::unique_ptr<Parts> parts_;
    QDeadlineTimer waitEnd_{0};
    QString gameLine_;
    QTimer* countdown_ = nullptr;
    bool finishing_ = false;
    bool closing_ = false;
    bool steamRetried_ = false;
    int exitStatus_ = ExitNoReport;
};
