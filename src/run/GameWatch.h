#pragma once

#include "game/GameIdentity.h"
#include "model/Timings.h"
#include "process/ProcessRunner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class ProcessDetection;

// One run's game on today's layout, from Steam's taking the request to the game's end: the
// waits follow the game, not the clock. The game of the prepared installation is looked for a
// few times a second until it is seen or the deadline passes; once seen, its end is followed
// through the runner's pidfd wait and the result is collected as soon as it is complete.
class GameWatch : public QObject {
    Q_OBJECT
public:
    struct Run {
        QString gameFolder;     // the prepared installation; its game is the only one counted
        QString episodicFolder; // where its result file appears
        QString demoName;       // the demo the launch options name
    };

    GameWatch(ProcessDetection& detection, const Timings& timings, QObject* parent = nullptr);
    ~GameWatch() override;

    // After Steam has taken the request of one run.
    void Begin(const Run& run);
    // No look, signal or line follows; a game that runs keeps running.
    void Stop();
    bool Watching() const { return stage_ != Stage::Idle; }

signals:
    // What is waited for, for the progress panel and the terminal; empty once the wait is over.
    void LineChanged(const QString& line);
    // The game has ended (or came and went between two looks): its result can be collected.
    void GameEnded();
    // Steam did not start the game before the deadline.
    void NeverStarted();
    // The game runs without the benchmark's demo: it sits at its menu and is left running.
    void LaunchOptionsDropped();

private:
    enum class Stage { Idle, Awaiting, Running, Settling };

    void Look();
    void Follow(qint64 pid);
    void Settle();
    void ShowLine(const QString& line);
    bool ResultComplete() const;

    ProcessDetection& detection_;
    Timings timings_;
    Run run_;
    Stage stage_ = Stage::Idle;
    QElapsedTimer requested_;
    QElapsedTimer stageClock_;
    QTimer lookTimer_;
    QTimer lineTimer_;
    QTimer settleTimer_;
    QString line_;
    // The runner's wait thread, reused to follow a game that is not our child.
    ProcessRunner gameEnd_;
};
