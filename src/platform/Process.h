#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// Starting a child from one command text, and waiting for its end with a way to stop the wait.
// Children are never left as zombies: a child that was waited for to its end has been reaped,
// and one that is let go unreaped is reaped in the background when it ends. Only our own
// children are ever reaped.

enum class SpawnPriority {
    Idle,    // nice 19
    Normal,  // the caller's
    High,    // nice -10 where permitted, else the caller's
    RealTime // nice -20 where permitted, else the caller's
};

struct SpawnRequest {
    QString applicationName;  // empty: the command line names the program
    QString commandLine;      // see splitCommand()
    QString currentDirectory; // empty: the caller's
    SpawnPriority priority = SpawnPriority::Normal;
    QStringList environment; // "NAME=value" entries; empty: the caller's environment
    bool newProcessGroup = false;
    bool newSession = false;
};

// Set once from any thread; stays set. Wakes every wait that is given it.
class StopEvent {
public:
    StopEvent(); // raises OsError
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    void set();
    int handle() const { return fd_; }

private:
    int fd_;
};

// A process whose end can be waited for: a child of ours, or one that is not.
class EndingProcess {
public:
    virtual ~EndingProcess() = default;
    virtual qint64 pid() const = 0;
    // Blocks until the process ends (returns its exit code) or `stop` is set (returns nothing).
    // Raises OsError when the wait itself fails.
    virtual std::optional<quint32> waitForEnd(const StopEvent& stop) = 0;
};

class ChildProcess : public EndingProcess {
public:
    // Exit code of a child killed by a signal: 128 + the signal number, as shells report it.
    static constexpr quint32 SignalBase = 128;

    ~ChildProcess() override; // an unreaped child is handed to the background reaper
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    qint64 pid() const override { return pid_; }

    // Blocks until the child ends (reaps it and returns its exit code) or `stop` is set
    // (returns nothing; the child is untouched). Raises OsError when the wait itself fails.
    std::optional<quint32> waitForEnd(const StopEvent& stop) override;

private:
    friend std::unique_ptr<ChildProcess> spawnProcess(const SpawnRequest& request);
    ChildProcess(int pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}

    int pid_;
    int pidfd_;
    bool reaped_ = false;
};

// A process that is not ours (a game Steam started), followed through a pidfd: its end is seen
// at once, without polling. It is never reaped here and its exit code is not known:
// waitForEnd gives UnknownExitCode.
class FollowedProcess : public EndingProcess {
public:
    static constexpr quint32 UnknownExitCode = 0;

    ~FollowedProcess() override;
    FollowedProcess(const FollowedProcess&) = delete;
    FollowedProcess& operator=(const FollowedProcess&) = delete;

    qint64 pid() const override { return pid_; }
    std::optional<quint32> waitForEnd(const StopEvent& stop) override;
    // Whether it has ended, without waiting.
    bool ended() const;

private:
    friend std::unique_ptr<FollowedProcess> followProcess(qint64 pid);
    FollowedProcess(qint64 pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}

    qint64 pid_;
    int pidfd_;
};

// Raises OsError (ESRCH when it has gone already).
std::unique_ptr<FollowedProcess> followProcess(qint64 pid);

// Starts the child; returns once it exists (its program has been loaded). Any failure, of the
// program lookup, the working directory or the loading, raises OsError with errno and its text.
std::unique_ptr<ChildProcess> spawnProcess(const SpawnRequest& request);

// Whether `path` is an existing regular file we may execute.
bool isExecutableFile(const QString& path);
