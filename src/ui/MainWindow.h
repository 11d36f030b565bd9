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

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class GroupBar;
class PictureButton;
class ResultsWindow;
class RunSequencer;
class ModePicker;

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
// options at creation, stores each one at its moment, and shows a series for the sequencer.
class MainWindow : public QWidget, public SeriesView {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowContext components, QWidget* parent = nullptr);
    ~MainWindow() override;

    // SeriesView
    void SetStatus(const QString& text) override;
    void SetRunButtonEnabled(bool enabled) override;
    void SetProgressPanelVisible(bool visible) override;
    void SetHeading(const QString& text, int fontSize, int left) override;
    void SetResolutionLine(const QString& text) override;
    void SetResolutionLineVisible(bool visible) override;
    void SetRunsLabel(const QString& text) override;
    void SetRunsLabelVisible(bool visible) override;
    void SetGameLine(const QString& text) override;
    void SetFinishedRunLine(const QString& text) override;
    WindowBounds NormalBounds() const override;
    void SetBounds(const WindowBounds& bounds) override;
    void RepaintNow() override;
    BenchmarkSettings CurrentSettings() const override;

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
    void BuildPage1(QWidget* page);
    void BuildPage2(QWidget* page);
    void BuildPage3(QWidget* page);
    void BuildPage4(QWidget* page);
    void BuildGroupBar();
    void ConnectHandlers();
    void SetColours();

    void LoadOptions();
    void ApplyStartup(const StartupResult& result);
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
    void ChooseResultsFolder();
    void OpenResultsFolder();
    void ShowModePicker();
    void HeapSizeChosen();
    void FilteringChosen();
    void AntialiasingChosen();
    void RunCountChosen();
    void NoteEdited();
    void RefreshRateChosen();
    void HdrChosen();
    void DemoChosen(int item);
    void ChooseCustomDemo();
    void ResultsFolderEdited();
    void PointerLeft(QObject* control);
    void NoteSeriesActivity();

    std::array<bool, FixedSlotCount> ResolutionTicks() const;
    std::optional<DemoKind> ChosenDemo() const;

    MainWindowContext c_;
    OptionSaving saving_;
    GamePaths paths_;
    std::unique_ptr<RunSequencer> sequencer_;
    ModePicker* modePicker_ = nullptr;
    std::function<void()> makeModePicker_;
    std::unique_ptr<ResultsWindow> results_;
    int runCount_ = 0;
    bool shownOnce_ = false;
    bool seriesRunning_ = false;
    bool closeQueryRunning_ = false;
    bool closeConfirmed_ = false;
    // Dragging by moving the window ourselves, where the platform has no system move.
    bool dragging_ = false;
    QPoint dragOffset_;

    // Fixed elements
    QLabel* background_ = nullptr;
    PictureButton* exitButton_ = nullptr;
    PictureButton* minimizeButton_ = nullptr;
    PictureButton* updateButton_ = nullptr;
    PictureButton* siteButton_ = nullptr;
    PictureButton* helpButton_ = nullptr;
    PictureButton* runButton_ = nullptr;
    GroupBar* groupBar_ = nullptr;
    QFrame* separator_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* aboutPicture_ = nullptr;
    QFrame* progressPanel_ = nullptr;
    QLabel* progressHeading_ = nullptr;
    QLabel* resolutionLine_ = nullptr;
    QLabel* runsLabel_ = nullptr;
    // Today's layout: what the run waits for, and the last finished run's frame rate.
    QLabel* GameLine = nullptr;
    QLabel* FinishedRunLine = nullptr;
    QLabel* statusLine_ = nullptr;
    // Page 1
    QLineEdit* gamePathEdit_ = nullptr;
    QLabel* versionCaption_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLineEdit* resultsFolderEdit_ = nullptr;
    QToolButton* openResultsButton_ = nullptr;
    QToolButton* browseResultsButton_ = nullptr;
    // Page 2
    QGroupBox* resolutionGroup_ = nullptr;
    std::array<QCheckBox*, FixedSlotCount> resolutionBoxes_{};
    QCheckBox* customResolutionBox_ = nullptr;
    QLineEdit* customWidthEdit_ = nullptr;
    QLineEdit* customHeightEdit_ = nullptr;
    QPushButton* possibilitiesButton_ = nullptr;
    QGroupBox* DetailBox = nullptr;
    // Page 3
    QComboBox* filteringBox_ = nullptr;
    QComboBox* antialiasingBox_ = nullptr;
    QGroupBox* demoGroup_ = nullptr;
    QButtonGroup* demoChoices_ = nullptr;
    QLineEdit* customDemoEdit_ = nullptr;
    QToolButton* browseDemoButton_ = nullptr;
    QComboBox* runCountBox_ = nullptr;
    // Page 4
    QLineEdit* noteEdit_ = nullptr;
    QComboBox* heapSizeBox_ = nullptr;
    QComboBox* refreshRateBox_ = nullptr;
    QComboBox* hdrBox_ = nullptr;
    QCheckBox* fastZBox_ = nullptr;
    QCheckBox* colourCorrectionBox_ = nullptr;
};
