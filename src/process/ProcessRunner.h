#pragma once

#include "platform/Errors.h"
#include "platform/Process.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

class EndingProcess;

// The runner's own error: an operation that needs it idle while it waits for its process.
class RunnerBusyError : public AppError {
public:
    using AppError::AppError;
};

// Starts one outside program at a time and, when asked, reports its end through OnTerminate,
// always from the event loop of the thread that owns the runner and never inside Run. The
// runner is idle again before OnTerminate is called, so a handler may Run it anew.
class ProcessRunner : public QObject {
    Q_OBJECT
public:
    enum class RunnerState { Idle, Started, Waiting };
    using TerminateEvent = std::function<void(quint32 ExitCode)>;
    // The exit code reported when the wait was stopped instead of the process ending.
    static constexpr quint32 StoppedExitCode = 0xFFFFFFFF;

    explicit ProcessRunner(QObject* parent = nullptr);
    // A runner that still waits stops waiting without an event; the process keeps running.
    ~ProcessRunner() override;

    QString ApplicationName;  // empty: the command line names the program
    QString CommandLine;      // the whole command line
    QString CurrentDirectory; // empty: ours
    SpawnPriority Priority = SpawnPriority::Normal;
    bool NewProcessGroup = false; // the child leads a process group of its own
    bool NewSession = false;      // the child leads a session of its own, without our terminal
    QStringList Environment;      // "NAME=value" entries; empty: ours
    TerminateEvent OnTerminate;

    bool WaitForTerminate() const { return waitForTerminate_; }
    // Resets the runner first, so it raises RunnerBusyError while waiting.
    void SetWaitForTerminate(bool value);

    // Starts the process. Raises RunnerBusyError while waiting for the previous one and
    // OsError when the process cannot be created (the runner is then idle).
    void Run();

    // Follows a process that is not ours (one Steam started) to its end, reported through
    // OnTerminate as a started one's is, with exit code 0 (not known). Raises RunnerBusyError
    // while waiting and OsError when the process has gone already.
    void Follow(qint64 pid);

    // Stops waiting without a report; the process keeps running.
    void StopWaiting();

    RunnerState State() const { return state_; }
    int PendingReports() const { return pending_; }
    // Exit code of the last waited process, StoppedExitCode after a stopped wait.
    quint32 ExitCode() const { return exitCode_; }

private:
    struct WaitJob;
    static void WaitMain(WaitJob* job, ProcessRunner* runner);

    void Reset();
    void WaitFor(const std::function<std::unique_ptr<EndingProcess>()>& open);
    void WaitEnded(quint32 exitCode, const std::exception_ptr& error);

    bool waitForTerminate_ = true;
    RunnerState state_ = RunnerState::Idle;
    int pending_ = 0;
    quint32 exitCode_ = 0;
    std::unique_ptr<WaitJob> job_;
    std::thread waitThread_;
};
