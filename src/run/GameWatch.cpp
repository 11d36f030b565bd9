#include "run/GameWatch.h"

#include "game/ProcessDetection.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "run/GameWaitTexts.h"
#include "run/ResultFiles.h"
#include "run/ScoreReading.h"

GameWatch::GameWatch(ProcessDetection& detection, const Timings& timings, QObject* parent)
    : QObject(parent), detection_(detection), timings_(timings) {
    lookTimer_.setInterval(timings_.gameLookInterval);
    lineTimer_.setInterval(timings_.waitLineStep);
    settleTimer_.setInterval(timings_.resultLookInterval);
    connect(&lookTimer_, &QTimer::timeout, this, &GameWatch::Look);
    connect(&lineTimer_, &QTimer::timeout, this,
            [this] { ShowLine(GameRunningLine(stageClock_.elapsed())); });
    connect(&settleTimer_, &QTimer::timeout, this, &GameWatch::Settle);
    gameEnd_.OnTerminate = [this](quint32) {
        if (stage_ != Stage::Running)
            return;
        lineTimer_.stop();
        stage_ = Stage::Settling;
        stageClock_.start();
        Settle();
    };
}

GameWatch::~GameWatch() = default;

void GameWatch::Begin(const Run& run) {
    Stop();
    run_ = run;
    stage_ = Stage::Awaiting;
    requested_.start();
    lookTimer_.start();
    Look();
}

void GameWatch::Stop() {
    stage_ = Stage::Idle;
    lookTimer_.stop();
    lineTimer_.stop();
    settleTimer_.stop();
    // A runner still following stops without a report; the game is not touched.
    gameEnd_.StopWaiting();
}

void GameWatch::Look() {
    if (stage_ != Stage::Awaiting)
        return;
    const GameSighting sighting = detection_.LookForGames(run_.gameFolder);
    if (sighting.prepared) {
        if (CheckLaunchOptions(sighting.prepared->look.arguments, run_.demoName) ==
            LaunchOptionsSeen::AllMissing) {
            Stop();
            ShowLine(QString());
            emit LaunchOptionsDropped();
            return;
        }
        Follow(sighting.prepared->pid);
        return;
    }
    if (ResultComplete()) {
        // It came and went between two looks.
        lookTimer_.stop();
        stage_ = Stage::Settling;
        stageClock_.start();
        Settle();
        return;
    }
    const qint64 waited = requested_.elapsed();
    if (waited >= timings_.gameStartDeadline) {
        Stop();
        ShowLine(QString());
        emit NeverStarted();
        return;
    }
    QStringList others;
    for (const SeenGame& other : sighting.others)
        others << OtherGameText(other);
    ShowLine(AwaitingGameLine(waited, waited >= timings_.gameLateNotice, others));
}

void GameWatch::Follow(qint64 pid) {
    lookTimer_.stop();
    stage_ = Stage::Running;
    stageClock_.start();
    try {
        gameEnd_.Follow(pid);
    } catch (const OsError&) {
        // Gone between the look and now: as if its end had been seen.
        stage_ = Stage::Settling;
        Settle();
        return;
    }
    ShowLine(GameRunningLine(0));
    lineTimer_.start();
}

void GameWatch::Settle() {
    if (stage_ != Stage::Settling)
        return;
    // The game has ended; its result is read once complete, or after the system's wait at most.
    if (!ResultComplete() && stageClock_.elapsed() < timings_.beforeCollect) {
        if (!settleTimer_.isActive())
            settleTimer_.start();
        return;
    }
    Stop();
    ShowLine(QString());
    emit GameEnded();
}

void GameWatch::ShowLine(const QString& line) {
    if (line == line_)
        return;
    line_ = line;
    emit LineChanged(line);
}

bool GameWatch::ResultComplete() const {
    const QString path = FindResultFile(run_.episodicFolder);
    if (path.isEmpty())
        return false;
    const platform::OutsideFile read = platform::ReadOutsideFile(path, kMaxResultFileBytes);
    return read.ok() && read.bytes.endsWith('\n');
}
