#pragma once

#include "game/GamePaths.h"
#include "model/LaunchCommand.h"
#include "model/SeriesSteps.h"
#include "model/SlotTable.h"
#include "model/SystemFacts.h"
#include "model/Timings.h"
#include "process/ProcessRunner.h"
#include "results/RunRecord.h"
#include "run/SeriesView.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class Dialogs;
class ShellOpen;
class SettingsStore;
class ProcessDetection;
class FrameRecording;
class GameWatch;

// The question when the Steam client does not run, and the status once it has been started;
// the command-line series answers the one and waits on the other.
inline constexpr char SteamNotRunningQuestion[] = "Error! The STEAM not running. Run now?";
inline constexpr char SteamStartingStatus[] =
    "Please wait while the Steam successfully loaded. After that click RUN again.";

// The state of the current series; lives for the program run.
struct RunState {
    int SelectedSlotCount = 0;
    int CompletedSlotCount = 0;
    int RunsInSlot = 0;
    qint64 ScoreSum = 0; // several scores near the largest one add up beyond it
    bool HeaderWritten = false;
    QString CurrentSlotTag;
    QString LastScoreText;
    QString SeriesStamp;
    QString StartTimeText;
    bool SeriesFinished = false;
    WindowBounds SavedBounds;
    QStringList ReportLines;
    int RunCount = 0;
    // For the data files beside the report: when the series started, every run collected,
    // and the files written at its end (empty when none was).
    QDateTime StartedAt;
    std::vector<RowRecord> Rows;
    QString ReportPath;
    QString DataPath;
    QString CsvPath;
    QString FramesPath; // empty when the series recorded no frame times
};

// Everything a series works with. All references outlive the sequencer.
struct SeriesContext {
    SeriesView& view;
    Dialogs& dialogs;
    ShellOpen& shell;
    SettingsStore& store;
    ProcessDetection& detection;
    GamePreparation& preparation;
    SystemFactsSource& factsSource;
    const GamePaths& paths;
    Timings timings;
    // The local date and time at the series start.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

// One benchmark series after the other, driven by events on the UI thread: the launcher's end
// (OnLauncherExit) starts the wait for the game, and the game's end the collection and the next
// run. Waits are timers, so the window stays responsive.
class RunSequencer : public QObject {
    Q_OBJECT
public:
    explicit RunSequencer(SeriesContext context, QObject* parent = nullptr);
    ~RunSequencer() override;

    void RunClicked();

    const RunState& State() const { return state_; }
    const SystemFacts& Facts() const { return facts_; }
    bool SeriesFinished() const { return state_.SeriesFinished; }
    // True from the click until the series ends, stops, or is refused.
    bool SeriesRunning() const { return running_; }
    // Stops the series where it is: no step of it runs any more, not even one already waiting.
    void Stop();
    // Frame times through MangoHud for the next series, whatever the setting says.
    void SetFrameTimes(bool on) { frameTimesForced_ = on; }

    ProcessRunner& GameLauncher() { return gameLauncher_; }
    ProcessRunner& SteamStarter() { return steamStarter_; }

signals:
    // A run has been collected and added to RunState::Rows.
    void RunCollected();
    // The launcher has ended; the game is looked for after `waitMs` milliseconds.
    void LauncherEnded(int waitMs);

private:
    void PrepareSeries();
    void StartSlot(int slotIndex);
    void OnLauncherExit();
    void WaitForGameExit();
    void GameGone();
    void CollectRun(const ResolutionSlot& slot);
    void FinishSeries();
    void WriteDataFiles(const QString& reportPath);
    void SeriesEnded();
    void EndAfterError();
    void BeginFrameTimes();
    void EndFrameTimes(bool tell);
    void Guarded(const std::function<void()>& step);
    // Today's layout (the game started through the steam command): the waits follow the game.
    bool TodaysLayout() const { return !ctx_.paths.SteamCommand.isEmpty(); }
    void WatchGame();
    // Ends the series as aborted, the user's files put back; the game is left as it is.
    void AbortSeries(const QString& status, const QString& message);
    void After(int ms, std::function<void()> step);

    SeriesContext ctx_;
    RunState state_;
    SystemFacts facts_;
    BenchmarkSettings settings_;
    LaunchOptions launchOptions_;
    ProcessRunner gameLauncher_;
    ProcessRunner steamStarter_;
    bool running_ = false;
    // Runs of this series that played at another size than asked for, told once it has ended.
    QStringList sizeNotes_;
    bool stopped_ = false;
    // A series broken by an error is being put back; an error meanwhile ends it at once.
    bool endingAfterError_ = false;
    // Frame times: on by the setting "FrameTimes" or SetFrameTimes.
    bool frameTimesForced_ = false;
    std::unique_ptr<FrameRecording> frames_;
    std::unique_ptr<GameWatch> gameWatch_;
};
