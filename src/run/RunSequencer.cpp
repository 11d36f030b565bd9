#include "run/RunSequencer.h"

#include "model/SettingNames.h"
#include "run/FrameRecording.h"
#include "run/GameWaitTexts.h"
#include "run/GameWatch.h"

#include "game/OptionSaving.h"
#include "game/ProcessDetection.h"
#include "game/SettingsStore.h"
#include "model/SlotTable.h"
#include "platform/CheckedFile.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "platform/Shell.h"
#include "process/RunnerSetup.h"
#include "process/TopLevelErrorReport.h"
#include "results/DataFiles.h"
#include "results/Statistics.h"
#include "run/ReportLines.h"
#include "run/ResultFiles.h"
#include "run/ScoreReading.h"

#include "Version.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString WorkingCopy = QStringLiteral("sourcebench.txt");

// The local date and time as the platform writes them by default: short date, long time.
QString DateTimeText(const QDateTime& when) {
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+"))); // no zone name
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat.trimmed());
}

QString RunsText(int runCount, int run) {
    return QStringLiteral("Runs: %1/%2").arg(runCount).arg(run);
}

void RemoveIfPresent(const QString& path) {
    if (QFile::exists(path))
        QFile::remove(path);
}

} // namespace

RunSequencer::RunSequencer(SeriesContext context, QObject* parent)
    : QObject(parent), ctx_(std::move(context)) {
    ConfigureGameLauncher(gameLauncher_,
                          [this](quint32) { Guarded([this] { OnLauncherExit(); }); });
    ConfigureSteamStarter(steamStarter_);
}

RunSequencer::~RunSequencer() = default;

void RunSequencer::Guarded(const std::function<void()>& step) {
    if (stopped_)
        return;
    try {
        step();
    } catch (const std::exception& e) {
        if (running_ && !endingAfterError_) {
            // A series the error broke ends as one without a result does, so the window and
            // the game's files are left as after any end.
            reportTopLevelError(e);
            EndAfterError();
            return;
        }
        // The step that raised ends here; the user gets the Run button back to try again.
        running_ = false;
        ctx_.view.SetRunButtonEnabled(true);
        if (endingAfterError_) {
            endingAfterError_ = false;
            ctx_.view.SetProgressPanelVisible(false);
        }
        reportTopLevelError(e);
    }
}

void RunSequencer::EndAfterError() {
    endingAfterError_ = true;
    ctx_.view.SetStatus(QStringLiteral("Benchmark aborted!"));
    // The Run button stays off until the restore is done, as at a normal end.
    Guarded([this] {
        ctx_.preparation.RestoreGameConfig(state_.SeriesFinished, [this] {
            Guarded([this] {
                state_.SeriesFinished = true;
                endingAfterError_ = false;
                SeriesEnded();
                ctx_.view.SetProgressPanelVisible(false);
                ctx_.store.WriteValue(SettingName::NoErrorWarning, QStringLiteral("0"));
            });
        });
    });
}

void RunSequencer::Stop() {
    stopped_ = true;
    if (gameWatch_)
        gameWatch_->Stop();
}

void RunSequencer::After(int ms, std::function<void()> step) {
    QTimer::singleShot(ms, this, [this, step = std::move(step)] { Guarded(step); });
}

void RunSequencer::RunClicked() {
    Guarded([this] {
        SeriesView& view = ctx_.view;
        state_.SavedBounds = view.NormalBounds();
        view.SetStatus(QString());
        RemoveResultFiles(ctx_.paths.EpisodicFolder);
        view.SetRunButtonEnabled(false);
        running_ = true;
        state_.LastScoreText.clear();
        state_.SeriesFinished = false;
        sizeNotes_.clear();
        view.SetResolutionLineVisible(false);
        view.SetRunsLabelVisible(false);
        if (TodaysLayout()) {
            view.SetGameLine(QString());
            view.SetFinishedRunLine(QString());
        }

        if (!ctx_.detection.IsSteamRunning()) {
            running_ = false;
            view.SetStatus(QStringLiteral("Error! The Steam NOT running!"));
            view.RepaintNow();
            if (ctx_.dialogs.askYesNo(QLatin1String(SteamNotRunningQuestion))) {
                view.SetStatus(QLatin1String(SteamStartingStatus));
                const ProgramStart client =
                    ClientStart(ctx_.paths.SteamFolder, ctx_.paths.SteamCommand);
                steamStarter_.ApplicationName = client.ApplicationName;
                steamStarter_.CommandLine = client.CommandLine;
                steamStarter_.CurrentDirectory = ctx_.paths.SteamFolder;
                try {
                    steamStarter_.Run();
                } catch (const OsError&) {
                    view.SetStatus(QStringLiteral("Program error, benchmark aborted!"));
                }
            } else {
                view.SetStatus(
                    QStringLiteral("Please RUN the Steam (online or offline) before bench."));
            }
            view.SetRunButtonEnabled(true);
            return;
        }

        view.SetHeading(QStringLiteral("Collecting system information, please wait..."), 10, 50);
        view.SetProgressPanelVisible(true);
        view.RepaintNow();
        state_.RunsInSlot = 0;
        state_.ScoreSum = 0;
        const BenchmarkSettings chosen = view.CurrentSettings();
        const std::optional<int> runItem =
            chosen.RunCount >= 1 ? std::optional<int>(chosen.RunCount - 1) : std::nullopt;
        OptionSaving saving(ctx_.store);
        state_.RunCount = saving.RunNumberSaved(runItem, state_.RunCount);
        ctx_.factsSource.DiagnosticsCapture(facts_,
                                            [this] { Guarded([this] { PrepareSeries(); }); });
    });
}

void RunSequencer::PrepareSeries() {
    SeriesView& view = ctx_.view;
    view.RepaintNow();
    state_.SelectedSlotCount = 0;
    state_.CompletedSlotCount = 0;
    settings_ = view.CurrentSettings();
    // A count that was never chosen runs each resolution once, so a series always ends.
    state_.RunCount = SeriesRunCount(state_.RunCount);
    view.SetRunsLabel(state_.RunCount > 1 ? RunsText(state_.RunCount, 1) : QString());
    state_.SelectedSlotCount = ChosenSlotCount(settings_);
    if (state_.SelectedSlotCount < 1) {
        ctx_.dialogs.showMessage(
            QStringLiteral("Please, choose a resolution of Half-Life 2 Episode One."));
        SeriesEnded();
        view.SetProgressPanelVisible(false);
        return;
    }
    if (const std::optional<QString> problem = ctx_.preparation.CheckDemo(settings_)) {
        view.SetStatus(*problem);
        SeriesEnded();
        view.SetProgressPanelVisible(false);
        return;
    }

    view.RepaintNow();
    state_.SeriesStamp = SeriesStamp(DateTimeText(ctx_.now()));
    state_.StartTimeText = DateTimeText(ctx_.now());
    state_.StartedAt = ctx_.now();
    state_.Rows.clear();
    state_.ReportPath.clear();
    state_.DataPath.clear();
    state_.CsvPath.clear();
    state_.FramesPath.clear();

    GamePreparation& prep = ctx_.preparation;
    prep.BackupAutoexec();
    prep.InstallDemo(settings_);
    prep.ApplyFilterSettings(settings_);
    prep.WriteGameSettings(settings_);
    prep.WriteConfigScript();
    BeginFrameTimes();

    launchOptions_ = MakeLaunchOptions(settings_, prep.DemoName());

    state_.ReportLines.clear();
    ctx_.factsSource.ReportFacts(facts_);
    state_.ReportLines = ReportHead(state_.StartTimeText, facts_, settings_.Note, QLocale());

    view.SetResolutionLineVisible(true);
    view.SetRunsLabelVisible(true);
    view.SetHeading(QStringLiteral("Benchmarking in progress"), 12, 68);

    for (int row = 0; row <= CustomSlotIndex; ++row) {
        const bool flagged = row < FixedSlotCount
                                 ? settings_.ResolutionChecked[static_cast<size_t>(row)]
                                 : settings_.CustomChecked;
        if (flagged) {
            StartSlot(row);
            return;
        }
    }
}

void RunSequencer::StartSlot(int slotIndex) {
    const std::optional<ResolutionSlot> slot = SlotByIndex(settings_, slotIndex);
    if (!slot)
        return;
    if (!IsSlotChosen(settings_, *slot)) {
        if (slotIndex < FixedSlotCount)
            StartSlot(slotIndex + 1);
        return;
    }
    ctx_.view.SetResolutionLine(slot->StatusCaption);
    ctx_.view.RepaintNow();
    state_.CurrentSlotTag = slot->SlotTag;
    gameLauncher_.CurrentDirectory = ctx_.paths.SteamFolder;
    const ProgramStart game =
        GameStart(*slot, launchOptions_, ctx_.paths.SteamFolder, ctx_.paths.SteamCommand);
    gameLauncher_.ApplicationName = game.ApplicationName;
    gameLauncher_.CommandLine = game.CommandLine;
    if (frames_)
        frames_->BeforeRun(QDateTime::currentDateTime());
    try {
        gameLauncher_.Run();
    } catch (const OsError&) {
        // Aborted: the panel stays up and the game stays prepared until the next series or
        // the window's close puts the user's script back.
        ctx_.view.SetStatus(QStringLiteral("Program error, benchmark aborted!"));
        SeriesEnded();
    }
}

void RunSequencer::OnLauncherExit() {
    if (TodaysLayout()) {
        WatchGame();
        return;
    }
    After(ctx_.timings.launcherEndWait, [this] { WaitForGameExit(); });
    emit LauncherEnded(ctx_.timings.launcherEndWait);
}

void RunSequencer::WaitForGameExit() {
    if (ctx_.detection.IsGameRunning())
        After(ctx_.timings.gamePollInterval, [this] { WaitForGameExit(); });
    else
        After(ctx_.timings.beforeCollect, [this] { GameGone(); });
}

void RunSequencer::WatchGame() {
    if (!gameWatch_) {
        gameWatch_ = std::make_unique<GameWatch>(ctx_.detection, ctx_.timings);
        GameWatch* watch = gameWatch_.get();
        connect(watch, &GameWatch::LineChanged, this,
                [this](const QString& line) { Guarded([&] { ctx_.view.SetGameLine(line); }); });
        connect(watch, &GameWatch::GameEnded, this, [this] { Guarded([this] { GameGone(); }); });
        connect(watch, &GameWatch::NeverStarted, this, [this] {
            Guarded([this] {
                AbortSeries(QLatin1String(GameNeverStartedStatus),
                            GameNeverStartedMessage(ctx_.timings.gameStartDeadline));
            });
        });
        connect(watch, &GameWatch::LaunchOptionsDropped, this, [this] {
            Guarded([this] {
                AbortSeries(QLatin1String(LaunchOptionsDroppedStatus),
                            LaunchOptionsDroppedMessage());
            });
        });
    }
    gameWatch_->Begin({ctx_.paths.GameBase, ctx_.paths.EpisodicFolder, launchOptions_.DemoName});
}

void RunSequencer::AbortSeries(const QString& status, const QString& message) {
    ctx_.view.SetStatus(status);
    ctx_.preparation.RestoreGameConfig(state_.SeriesFinished, [this, message] {
        Guarded([this, message] {
            state_.SeriesFinished = true;
            ctx_.view.SetProgressPanelVisible(false);
            ctx_.store.WriteValue(SettingName::NoErrorWarning, QStringLiteral("0"));
            ctx_.dialogs.showMessage(message);
            SeriesEnded();
        });
    });
}

void RunSequencer::GameGone() {
    const std::optional<ResolutionSlot> slot = SlotByTag(settings_, state_.CurrentSlotTag);
    if (!slot)
        return;
    state_.CompletedSlotCount += 1;
    state_.RunsInSlot += 1;
    if (state_.RunsInSlot == 1)
        state_.HeaderWritten = false;

    const int runCount = state_.RunCount;
    if (state_.RunsInSlot != runCount) {
        state_.CompletedSlotCount -= 1;
        CollectRun(*slot);
        if (runCount > 1)
            ctx_.view.SetRunsLabel(RunsText(runCount, state_.RunsInSlot + 1));
        StartSlot(slot->SlotIndex);
        return;
    }
    if (slot->SlotIndex == CustomSlotIndex ||
        state_.SelectedSlotCount == state_.CompletedSlotCount) {
        CollectRun(*slot);
        return;
    }
    CollectRun(*slot);
    state_.RunsInSlot = 0;
    state_.HeaderWritten = false;
    if (runCount > 1)
        ctx_.view.SetRunsLabel(RunsText(runCount, 1));
    StartSlot(slot->SlotIndex + 1);
}

void RunSequencer::CollectRun(const ResolutionSlot& slot) {
    ctx_.view.SetBounds(state_.SavedBounds);
    const QString episodic = ctx_.paths.EpisodicFolder;
    const bool lastRunOfRow = state_.RunsInSlot == state_.RunCount;
    bool scored = false;
    RunRecord record;

    std::optional<QDateTime> resultWritten;
    if (const QString resultFile = FindResultFile(episodic); !resultFile.isEmpty()) {
        resultWritten = QFileInfo(resultFile).lastModified();
        // The working copy holds exactly what was read: a link, a FIFO or a device under the
        // result's name is never opened through, and no more than the limit is taken.
        const platform::OutsideFile read =
            platform::ReadOutsideFile(resultFile, kMaxResultFileBytes);
        bool copied = false;
        if (read.ok()) {
            const std::optional<QString> failure =
                platform::WriteNewFile(episodic + WorkingCopy, read.bytes, 0644);
            if (failure)
                ctx_.dialogs.showMessage(*failure);
            copied = !failure;
        }

        // A result that cannot be read or converted counts as a run without a result.
        std::optional<QString> text;
        if (copied) {
            const RunResult result = ReadRunResult(read.bytes);
            text = result.ScoreText;
            record.Played = result.Played;
            if (const std::optional<QString> note =
                    PlayedSizeNote(result.Played, slot.Width, slot.Height);
                note && !sizeNotes_.contains(*note))
                sizeNotes_ << *note;
        }
        std::optional<int> score;
        if (text && state_.RunCount > 1)
            score = ConvertScore(*text, QLocale());
        record.Text = text;
        record.Score = score;
        if (text && (state_.RunCount == 1 || score)) {
            scored = true;
            record.Fps = ScoreNumber(*text, QLocale());
            if (!state_.HeaderWritten) {
                state_.HeaderWritten = true;
                state_.ReportLines +=
                    ReportRowBlock(slot, settings_, ctx_.preparation.DemoCaption());
            }
            if (state_.RunCount == 1) {
                state_.LastScoreText = *text;
                state_.ReportLines += SingleRunScoreLines(*text);
            } else {
                state_.LastScoreText = QString::number(*score);
                state_.ReportLines += RunScoreLine(*score);
                state_.ScoreSum += *score;
                if (lastRunOfRow) {
                    state_.ReportLines +=
                        AverageScoreLines(AverageScore(state_.ScoreSum, state_.RunCount));
                    state_.ScoreSum = 0;
                }
            }
        }
    }
    if (lastRunOfRow && !scored)
        state_.ScoreSum = 0;
    if (frames_)
        record.Frames = frames_->AfterRun(record.Played, resultWritten);
    if (TodaysLayout())
        ctx_.view.SetFinishedRunLine(FinishedRunLine(state_.RunsInSlot, record.Fps));
    AddRun(state_.Rows, slot, std::move(record));
    emit RunCollected();
    RemoveResultFiles(episodic);
    RemoveIfPresent(episodic + WorkingCopy);
    if (state_.SelectedSlotCount == state_.CompletedSlotCount)
        FinishSeries();
}

void RunSequencer::FinishSeries() {
    state_.ReportLines += ReportFooter();
    QString reportPath;
    if (!state_.LastScoreText.isEmpty()) {
        reportPath = ReportFilePath(settings_.ResultsFolder, state_.SeriesStamp);
        SaveReport(state_.ReportLines, reportPath);
        state_.ReportPath = reportPath;
        WriteDataFiles(reportPath);
        ctx_.view.SetStatus(QStringLiteral("The benchmarking is successful."));
    } else {
        ctx_.view.SetStatus(QStringLiteral("Benchmark aborted!"));
    }
    ctx_.preparation.RestoreGameConfig(state_.SeriesFinished, [this, reportPath] {
        Guarded([this, reportPath] {
            state_.SeriesFinished = true;
            if (!reportPath.isEmpty())
                ctx_.shell.open(reportPath);
            SeriesEnded();
            ctx_.view.SetProgressPanelVisible(false);
            ctx_.store.WriteValue(SettingName::NoErrorWarning, QStringLiteral("0"));
            if (!sizeNotes_.isEmpty())
                ctx_.dialogs.showMessage(sizeNotes_.join(QLatin1Char('\n')));
            EndFrameTimes(true);
        });
    });
}

// The data files go beside the report; when they cannot be written the user is told and the
// series ends as it would without them.
void RunSequencer::WriteDataFiles(const QString& reportPath) {
    SeriesResult result{QStringLiteral(VARNHOLT_VERSION),
                        state_.StartedAt,
                        settings_,
                        state_.RunCount,
                        ctx_.preparation.DemoName(),
                        ctx_.preparation.DemoCaption(),
                        facts_,
                        state_.Rows};
    try {
        const DataFilePaths paths = ::WriteDataFiles(result, reportPath);
        state_.DataPath = paths.Json;
        state_.CsvPath = paths.Csv;
        state_.FramesPath = paths.Frames;
    } catch (const AppError& error) {
        ctx_.dialogs.showMessage(
            QStringLiteral("The report was saved, but its data files were not.\n\n") +
            error.message());
    }
}

// Frame times are an addition: the series goes on as it would without them, whatever becomes
// of them.
void RunSequencer::BeginFrameTimes() {
    frames_.reset();
    bool on = frameTimesForced_;
    try {
        on = on || ctx_.store.ReadValue(SettingName::FrameTimes) == QLatin1String("1");
    } catch (const AppError&) {
        // A store that cannot be read is the series' own matter; no frame times then.
    }
    if (!on)
        return;
    frames_ = std::make_unique<FrameRecording>(DefaultMangoHudConfigFolder(),
                                               DefaultFrameLogFolder(), ctx_.timings.frameLogCut);
    if (const std::optional<QString> why = frames_->Begin()) {
        frames_.reset();
        sizeNotes_ << QStringLiteral("Frame times are not recorded: %1").arg(*why);
    }
}

void RunSequencer::EndFrameTimes(bool tell) {
    if (!frames_)
        return;
    frames_->End();
    if (tell && !frames_->AnyLog())
        ctx_.dialogs.showMessage(NoFrameTimesMessage());
}

void RunSequencer::SeriesEnded() {
    EndFrameTimes(false);
    running_ = false;
    ctx_.view.SetRunButtonEnabled(true);
}
