#pragma once

#include "game/FileOperation.h"
#include "game/GamePaths.h"
#include "game/OptionSaving.h"
#include "game/ProcessDetection.h"
#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "model/SeriesSteps.h"
#include "model/Timings.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "run/SeriesView.h"
#include "ui/Links.h"

#include <QWidget>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class GroupBar;
class ModePicker;
class OptionPages;
class PictureButton;
class ProgressPanel;
class ResultsWindow;
class RunSequencer;

// What the main window works with. Every reference outlives the window.
struct MainWindowContext {
    SettingsStore& store;
    Dialogs& dialogs;
    ShellOpen& shell;
    Links& links;
    GamePreparation& preparation;
    SystemFactsSource& factsSource;
    ProcessDetection& detection;
    FileOperation& fileOp;
    Timings timings;
    // Start-up's sources; an empty programFolder means the folder of the running program.
    StartupEnvironment startup;
    // Told the folders once start-up has found them.
    std::function<void(const GamePaths&)> pathsFound;
    // Opens the news window; called when the window is first shown.
    std::function<void()> openNews;
    // Starts the update check.
    std::function<void()> checkForUpdate;
    // The machine's physical memory in bytes, for the heap size advice.
    std::function<quint64()> physicalMemory;
    // Ends the program at once, without the close steps.
    std::function<void()> quitProgram;
};

// The program's main window: a borderless 556 x 475 surface with the option pages, the group
// bar that chooses them, the Run button, the progress panel and the status line. It loads the
// options at creation and wires the window's buttons and life cycle; the option pages
// (OptionPages) store each option at its moment, and the progress panel (ProgressPanel) is what
// the window's series sees.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowContext components, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What this window's series sees and reads.
    SeriesView& View();
    // The options as the controls hold them now.
    BenchmarkSettings CurrentSettings() const;

    // The sequencer of this window's series; gone once the window has closed.
    RunSequencer* Sequencer() const { return sequencer_.get(); }
    const GamePaths& Paths() const { return paths_; }
    const QString& ProgramFolder() const { return paths_.ProgramFolder; }
    OptionSaving& Saving() { return saving_; }

    // The display mode picker shown by "Possibilities".
    void SetModePicker(ModePicker* picker) { modePicker_ = picker; }
    // Makes the picker (which then calls SetModePicker) when it is first wanted, so that a start
    // does not build a window the user may never open.
    void SetModePickerMaker(std::function<void()> make) { makeModePicker_ = std::move(make); }
    // The picker's result: the custom width and height boxes.
    void SetCustomSize(const QString& width, const QString& height);

signals:
    // A series has started (true) or ended, stopped or been refused (false).
    void SeriesRunningChanged(bool running);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildGroupBar();
    void ConnectHandlers();

    void LoadOptions();
    void FirstShown();
    void AskToClose();
    void FinishClosing();

    void ShowPage(int index);
    void ShowAboutView();
    void StartDrag(QMouseEvent* event);
    void Quit();
    void Minimize();
    void CheckForUpdate();
    void OpenHomePage();
    void OpenHelp();
    void OpenTweakGuide();
    void ShowResults();
    void RunClicked();
    void OpenResultsFolder();
    void ShowModePicker();
    void NoteSeriesActivity();

    MainWindowContext c_;
    OptionSaving saving_;
    GamePaths paths_;
    // The pages and the panel outlive the sequencer, which reads and shows through them.
    std::unique_ptr<OptionPages> options_;
    std::unique_ptr<ProgressPanel> progress_;
    std::unique_ptr<RunSequencer> sequencer_;
    ModePicker* modePicker_ = nullptr;
    std::function<void()> makeModePicker_;
    std::unique_ptr<ResultsWindow> results_;
    bool shownOnce_ = false;
    bool seriesRunning_ = false;
    bool closeQueryRunning_ = false;
    bool closeConfirmed_ = false;
    // Dragging by moving the window ourselves, where the platform has no system move.
    bool dragging_ = false;
    QPoint dragOffset_;

    QLabel* background_ = nullptr;
    PictureButton* exitButton_ = nullptr;
    PictureButton* minimizeButton_ = nullptr;
    PictureButton* updateButton_ = nullptr;
    PictureButton* siteButton_ = nullptr;
    PictureButton* helpButton_ = nullptr;
    GroupBar* groupBar_ = nullptr;
    QFrame* separator_ = nullptr;
    QLabel* aboutPicture_ = nullptr;
};
