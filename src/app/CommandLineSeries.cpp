#include "app/CommandLineSeries.h"

#include "game/FileOperation.h"
#include "game/GameDiscovery.h"
#include "game/MachineStartup.h"
#include "game/ProcessDetection.h"
#include "game/SeriesPreparation.h"
#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "model/SettingNames.h"
#include "model/SlotTable.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/ProcessControl.h"
#include "platform/Shell.h"
#include "platform/WritableFolder.h"
#include "results/DataFiles.h"
#include "results/FrameFigures.h"
#include "results/Statistics.h"
#include "run/RunSequencer.h"
#include "sysinfo/SystemInformation.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

namespace {

// The window's question when the Steam client does not run, and its answer once it has
// started the client.
const QString SteamQuestion = QLatin1String(SteamNotRunningQuestion);
const QString SteamStarting = QLatin1String(SteamStartingStatus);

QString fps(const std::optional<double>& value) {
    return value ? QString::number(*value, 'f', 2) : QStringLiteral("-");
}

// Where the window would show a dialog: a line on standard error. The only question answered
// Yes is the Steam question, once, and only when --start-steam was given.
class ConsoleDialogs : public Dialogs {
public:
    ConsoleDialogs(std::function<void(const QString&)> line, bool startSteam)
        : line_(std::move(line)), startSteam_(startSteam) {}

    void showMessage(const QString& text) override { line_(text); }
    bool askYesNo(const QString& text) override {
        const bool yes = text == SteamQuestion && startSteam_ && !steamAnswered_;
        if (text == SteamQuestion)
            steamAnswered_ = true;
        if (text == SteamQuestion && !yes)
            line_(startSteam_ ? QStringLiteral("The Steam client did not start.")
                              : QStringLiteral("The Steam client is not running; start it, or "
                                               "give --start-steam to have it started."));
        else
            line_(text + (yes ? QStringLiteral(" Yes") : QStringLiteral(" No")));
        return yes;
    }
    QString chooseOpenFile(const QString&) override {
        line_(QStringLiteral("No file can be chosen here: give it on the command line."));
        return {};
    }
    QString chooseFolder(const QString&) override {
        line_(QStringLiteral("No folder can be chosen here: give it on the command line."));
        return {};
    }
    bool steamStartAnswered() const { return steamAnswered_ && startSteam_; }

private:
    std::function<void(const QString&)> line_;
    bool startSteam_;
    bool steamAnswered_ = false;
};

// The report is not opened in a browser: its path is printed at the end.
class NoShell : public ShellOpen {
public:
    void open(const QString&) override {}
};

// The window's runs label, "Runs: <total>/<run>", said the way round a line is read: "Run 2 of
// 3". Any other text is kept.
QString RunOfTotal(const QString& label) {
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("Runs: ([0-9]+)/([0-9]+)")));
    const QRegularExpressionMatch match = pattern.match(label);
    if (!match.hasMatch())
        return label;
    return QStringLiteral("Run %1 of %2").arg(match.captured(2), match.captured(1));
}

// What the window shows during a series, as lines: the headings, each launch with its run
// counter, and the status texts.
class ConsoleView : public SeriesView {
public:
    explicit ConsoleView(std::function<void(const QString&)> line) : line_(std::move(line)) {}

    void SetStatus(const QString& text) override {
        status = text;
        if (text == QLatin1String(NoDemoChosenMessage))
            line_(text + QStringLiteral(" On the command line: give --demo PATH."));
        else if (!text.isEmpty())
            line_(text);
    }
    void SetRunButtonEnabled(bool enabled) override {
        if (enabled && runButtonEnabled)
            runButtonEnabled();
    }
    void SetProgressPanelVisible(bool) override {}
    void SetHeading(const QString& text, int, int) override {
        if (text != heading_)
            line_(text);
        heading_ = text;
    }
    void SetResolutionLine(const QString& text) override {
        line_(runsLabel_.isEmpty() ? text : text + QLatin1Char(' ') + RunOfTotal(runsLabel_));
    }
    void SetResolutionLineVisible(bool) override {}
    void SetRunsLabel(const QString& text) override { runsLabel_ = text; }
    void SetRunsLabelVisible(bool) override {}
    void SetGameLine(const QString& text) override {
        if (gameLine)
            gameLine(text);
    }
    // Each run's frame rate has its line as the run is collected.
    void SetFinishedRunLine(const QString&) override {}
    WindowBounds NormalBounds() const override { return {}; }
    void SetBounds(const WindowBounds&) override {}
    void RepaintNow() override {}
    BenchmarkSettings CurrentSettings() const override { return settings; }

    BenchmarkSettings settings;
    QString status;
    std::function<void()> runButtonEnabled;
    std::function<void(const QString&)> gameLine;

private:
    std::function<void(const QString&)> line_;
    QString heading_;
    QString runsLabel_;
};

// Every size of the table and the stored custom size count as offered: the command line runs
// the sizes it is given, whatever the screen it was started from reports, and its start-up
// load leaves the stored custom size alone.
DisplayModeSource everySize(SettingsStore& store) {
    return [&store] {
        std::vector<platform::ScreenSize> sizes;
        for (const ResolutionSlot& slot : FixedSlots())
            sizes.push_back({slot.Width.toInt(), slot.Height.toInt()});
        const int width = store.ReadValue(SettingName::CustomWidth).toInt();
        const int height = store.ReadValue(SettingName::CustomHeight).toInt();
        if (width > 0 && height > 0)
            sizes.push_back({width, height});
        return sizes;
    };
}

} // namespace

class CommandLineSeries::Parts {
public:
    Parts(CommandLineSeries& owner, const CommandLineEnvironment& env, bool startSteam)
        : store(env.registryDirectory),
          dialogs([&owner](const QString& text) { owner.Say(text); }, startSteam),
          view([&owner](const QString& text) { owner.Say(text); }), fileOp(dialogs),
          detection(env.processes), preparation(store, dialogs, fileOp, env.timings),
          facts(store, env.programFolder, env.timings) {}

    SettingsStore store;
    ConsoleDialogs dialogs;
    ConsoleView view;
    NoShell shell;
    FileOperation fileOp;
    ProcessDetection detection;
    SeriesPreparation preparation;
    SystemInformation facts;
    GamePaths paths;
    std::unique_ptr<RunSequencer> sequencer;
};

CommandLineSeries::CommandLineSeries(CommandLineEnvironment environment, SeriesArguments arguments,
                                     QObject* parent)
    : QObject(parent), env_(std::move(environment)), args_(std::move(arguments)),
      countdown_(new QTimer(this)) {
    connect(countdown_, &QTimer::timeout, this, &CommandLineSeries::RedrawCountdown);
}

CommandLineSeries::~CommandLineSeries() = default;

const RunState* CommandLineSeries::State() const {
    return parts_ && parts_->sequencer ? &parts_->sequencer->State() : nullptr;
}

void CommandLineSeries::Say(const QString& text) {
    if (!env_.progressBar) {
        env_.err(text + QLatin1Char('\n'));
        return;
    }
    // Over the bar, then the bar again below the new line.
    env_.err(QStringLiteral("\r\x1b[K") + text + QLatin1Char('\n') + ProgressBar() + WaitLeft());
}

QString CommandLineSeries::WaitLeft() const {
    if (!gameLine_.isEmpty())
        return QStringLiteral("  ") + gameLine_;
    const qint64 left = waitEnd_.remainingTime();
    if (left <= 0)
        return {};
    return QStringLiteral("  waiting %1 s").arg((left + 999) / 1000);
}

void CommandLineSeries::LauncherEnded(int waitMs) {
    if (closing_)
        return;
    if (!env_.progressBar) {
        Say(QStringLiteral("  waiting %1 s for the game to start").arg((waitMs + 999) / 1000));
        return;
    }
    waitEnd_ = QDeadlineTimer(waitMs);
    RedrawCountdown();
    countdown_->start(env_.timings.countdownStep);
}

void CommandLineSeries::GameLine(const QString& text) {
    if (closing_)
        return;
    if (env_.progressBar) {
        gameLine_ = text;
        env_.err(QStringLiteral("\r\x1b[K") + ProgressBar() + WaitLeft());
        return;
    }
    // One line each time the wait turns into another, not one for every second of it.
    static const QRegularExpression time(QStringLiteral(" \\(\\d+:\\d\\d\\)"));
    QString kind = text;
    kind.remove(time);
    if (kind == gameLine_)
        return;
    gameLine_ = kind;
    if (!kind.isEmpty())
        Say(QStringLiteral("  ") + kind);
}

void CommandLineSeries::RedrawCountdown() {
    if (waitEnd_.remainingTime() <= 0)
        countdown_->stop();
    if (!closing_)
        env_.err(QStringLiteral("\r\x1b[K") + ProgressBar() + WaitLeft());
}

QString CommandLineSeries::ProgressBar() const {
    const RunState* state = State();
    if (!state || state->SelectedSlotCount < 1 || state->RunCount < 1)
        return {};
    const int total = state->SelectedSlotCount * state->RunCount;
    int done = 0;
    for (const RowRecord& row : state->Rows)
        done += static_cast<int>(row.Runs.size());
    done = std::min(done, total);
    constexpr int width = 30;
    const int filled = width * done / total;
    return QStringLiteral("[%1%2] %3/%4 runs")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('-')))
        .arg(done)
        .arg(total);
}

void CommandLineSeries::Start() {
    parts_ = std::make_unique<Parts>(*this, env_, args_.StartSteam);
    Parts& p = *parts_;
    try {
        EnsureBenchmarkFolder(env_.programFolder);
        StartupEnvironment startup = StartupEnvironmentOfThisMachine(
            env_.programFolder, env_.registryDirectory, p.preparation);
        startup.displayModes = everySize(p.store);
        startup.steamPlaces = env_.steamPlaces;
        const StartupResult loaded = LoadSettings(p.store, startup);
        if (!loaded.loaded()) {
            Say(loaded.failureMessage);
            if (!loaded.failureDetails.isEmpty())
                Say(loaded.failureDetails);
            if (loaded.failure == StartupResult::Failure::GameNotFound)
                Say(QStringLiteral("Store the game folder by hand, then run again:\n  ") +
                    StorePathCommand(env_.programFolder, env_.registryDirectory));
            emit Finished(ExitNoReport);
            return;
        }
        p.paths = loaded.paths;
        p.preparation.SetPaths(p.paths);
        const QString demo =
            args_.Demo.isEmpty() ? QString() : QFileInfo(args_.Demo).absoluteFilePath();
        const QString results =
            args_.Results.isEmpty() ? QString() : QFileInfo(args_.Results).absoluteFilePath();
        p.view.settings = WithArguments(loaded.settings, args_, demo, results);
        // Found only at the report, a folder that cannot take it would cost the whole series.
        if (const std::optional<QString> refused =
                platform::ResultsFolderRefused(p.view.settings.ResultsFolder)) {
            Say(*refused);
            emit Finished(ExitUnwritableResults);
            return;
        }
    } catch (const std::exception& error) {
        Say(QStringLiteral("Error: ") + QString::fromLocal8Bit(error.what()));
        emit Finished(ExitNoReport);
        return;
    }

    p.sequencer = std::make_unique<RunSequencer>(SeriesContext{p.view, p.dialogs, p.shell, p.store,
                                                               p.detection, p.preparation, p.facts,
                                                               p.paths, env_.timings});
    p.sequencer->SetFrameTimes(args_.FrameTimes);
    connect(p.sequencer.get(), &RunSequencer::RunCollected, this, &CommandLineSeries::RunCollected);
    connect(p.sequencer.get(), &RunSequencer::LauncherEnded, this,
            &CommandLineSeries::LauncherEnded);
    // The end of every series path gives the Run button back; what follows is decided once the
    // step that did so is over.
    p.view.gameLine = [this](const QString& text) { GameLine(text); };
    p.view.runButtonEnabled = [this] {
        QTimer::singleShot(0, this, &CommandLineSeries::CheckEnded);
    };
    p.sequencer->RunClicked();
}

void CommandLineSeries::RunCollected() {
    const RunState& state = parts_->sequencer->State();
    const RowRecord& row = state.Rows.back();
    const RunRecord& run = row.Runs.back();
    const int number = static_cast<int>(row.Runs.size());
    Say(run.Fps ? QStringLiteral("  run %1: %2 FPS").arg(number).arg(fps(run.Fps))
                : QStringLiteral("  run %1: no result").arg(number));
    // The last run: the report is written next, and the series' own end restores.
    finishing_ = state.SelectedSlotCount == state.CompletedSlotCount;
}

void CommandLineSeries::CheckEnded() {
    Parts& p = *parts_;
    if (closing_ || !p.sequencer || p.sequencer->SeriesRunning())
        return;
    if (p.dialogs.steamStartAnswered() && !steamRetried_ && p.view.status == SteamStarting) {
        // The window's user clicks Run again once Steam is up; so does the command line.
        steamRetried_ = true;
        QTimer::singleShot(env_.timings.steamStartWait, this, [this] {
            if (!closing_)
                parts_->sequencer->RunClicked();
        });
        return;
    }
    Close(p.sequencer->State().ReportPath.isEmpty() ? ExitNoReport : ExitReport);
}

void CommandLineSeries::Interrupt(int signalNumber) {
    const int status = 128 + signalNumber;
    if (!parts_) {
        emit Finished(status);
        return;
    }
    if (closing_ || finishing_) {
        // The end is under way and restores by itself; only the status changes.
        exitStatus_ = status;
        if (finishing_ && !closing_)
            Say(QStringLiteral("Interrupted; the series is ending already."));
        return;
    }
    Say(QStringLiteral("Interrupted: stopping the series."));
    if (parts_->sequencer)
        parts_->sequencer->Stop();
    StopGame();
    Close(status);
}

void CommandLineSeries::StopGame() {
    // Only the game of the installation this series prepared: another copy of the game,
    // elsewhere, is none of ours.
    const QString gameBase = parts_->paths.GameBase;
    if (gameBase.isEmpty() || !env_.processes.enumerate)
        return;
    const auto processes = env_.processes.enumerate();
    if (!processes)
        return;
    for (const platform::ProcessEntry& entry : *processes) {
        if (!IsGameProcessName(entry.name))
            continue;
        const QString exe = platform::ProcessExecutablePath(entry.pid);
        if (exe.isEmpty() || !QDir::cleanPath(exe).startsWith(QDir::cleanPath(gameBase) + '/'))
            continue;
        if (platform::TerminateProcess(entry.pid))
            Say(QStringLiteral("Stopped the game (process %1).").arg(entry.pid));
    }
}

void CommandLineSeries::Close(int exitStatus) {
    closing_ = true;
    countdown_->stop();
    waitEnd_ = QDeadlineTimer(0);
    if (exitStatus_ < 128)
        exitStatus_ = exitStatus;
    Parts& p = *parts_;
    const bool finished = p.sequencer && p.sequencer->SeriesFinished();
    // As the window's close: the user's configuration comes back unless the series finished,
    // and the diagnostics cache is emptied. The note stays as stored.
    p.preparation.RestoreGameConfig(finished, [this] {
        Parts& parts = *parts_;
        try {
            for (const QLatin1StringView name :
                 {SettingName::DisplayMemory, SettingName::DriverVersion, SettingName::Sound})
                parts.store.WriteValueGuarded(name, QString());
        } catch (const std::exception& error) {
            Say(QStringLiteral("Error: ") + QString::fromLocal8Bit(error.what()));
        }
        if (env_.progressBar)
            env_.err(QStringLiteral("\r\x1b[K"));
        if (exitStatus_ >= 128 &&
            (!parts.sequencer || parts.sequencer->State().ReportPath.isEmpty()))
            env_.err(QStringLiteral("No report was written.\n"));
        PrintSummary();
        emit Finished(exitStatus_);
    });
}

void CommandLineSeries::PrintSummary() {
    const RunState* state = State();
    if (!state || state->Rows.empty())
        return;
    int runColumns = 0;
    int captionWidth = static_cast<int>(QStringLiteral("Resolution").size());
    for (const RowRecord& row : state->Rows) {
        runColumns = std::max(runColumns, static_cast<int>(row.Runs.size()));
        captionWidth = std::max(captionWidth, static_cast<int>(row.Caption.size()));
    }
    // The lows, over the row's runs that recorded frames, when any did.
    const auto rowFrames = [](const RowRecord& row) {
        std::vector<std::optional<FrameFigures>> runs;
        for (const RunRecord& run : row.Runs)
            runs.push_back(run.Frames ? run.Frames->Figures : std::nullopt);
        return MeanFrameFigures(runs);
    };
    const bool lows = std::any_of(state->Rows.begin(), state->Rows.end(),
                                  [&](const RowRecord& row) { return rowFrames(row).has_value(); });
    const auto cell = [](const QString& text) { return text.rightJustified(9); };
    QString table = QStringLiteral("Resolution").leftJustified(captionWidth);
    for (int i = 1; i <= runColumns; ++i)
        table += cell(QStringLiteral("Run %1").arg(i));
    table +=
        cell(QStringLiteral("Mean")) + cell(QStringLiteral("Min")) + cell(QStringLiteral("Max"));
    if (lows)
        table += cell(QStringLiteral("1% low")) + cell(QStringLiteral("0.1% low"));
    table += QLatin1Char('\n');
    for (const RowRecord& row : state->Rows) {
        std::vector<std::optional<double>> rates;
        table += row.Caption.leftJustified(captionWidth);
        for (int i = 0; i < runColumns; ++i) {
            const std::optional<double> rate =
                i < static_cast<int>(row.Runs.size()) ? row.Runs[size_t(i)].Fps : std::nullopt;
            rates.push_back(rate);
            table += cell(fps(rate));
        }
        const RowStatistics s = ComputeStatistics(rates);
        table += cell(fps(s.Mean)) + cell(fps(s.Min)) + cell(fps(s.Max));
        if (lows) {
            const std::optional<FrameFigures> f = rowFrames(row);
            table += cell(fps(f ? std::optional(f->Percentile1LowFps) : std::nullopt)) +
                     cell(fps(f ? std::optional(f->Percentile01LowFps) : std::nullopt));
        }
        table += QLatin1Char('\n');
    }
    if (!state->ReportPath.isEmpty())
        table += QStringLiteral("\nReport: ") + state->ReportPath + QLatin1Char('\n');
    if (!state->DataPath.isEmpty())
        table += QStringLiteral("Data:   ") + state->DataPath + QLatin1Char('\n');
    if (!state->CsvPath.isEmpty())
        table += QStringLiteral("CSV:    ") + state->CsvPath + QLatin1Char('\n');
    if (!state->FramesPath.isEmpty())
        table += QStringLiteral("Frames: ") + state->FramesPath + QLatin1Char('\n');
    env_.out(table);
}
