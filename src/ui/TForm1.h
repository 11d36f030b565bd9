#pragma once

#include "game/GamePaths.h"
#include "game/OptionSaving.h"
#include "game/ProcessDetection.h"
#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "game/TJvSHFileOperation.h"
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
class TForm3;

// What the main window works with. Every reference outlives the window.
struct TForm1Components {
    SettingsStore& store;
    Dialogs& dialogs;
    ShellOpen& shell;
    Links& links;
    GamePreparation& preparation;
    SystemFactsSource& factsSource;
    ProcessDetection& detection;
    TJvSHFileOperation& fileOp;
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
class TForm1 : public QWidget, public SeriesView {
    Q_OBJECT
public:
    explicit TForm1(TForm1Components components, QWidget* parent = nullptr);
    ~TForm1() override;

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
    void SetModePicker(TForm3* picker) { modePicker_ = picker; }
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

    void FormCreate();
    void ApplyStartup(const StartupResult& result);
    void FormShow();
    void FormCloseQuery();
    void FormClose();

    void ShowPage(int index);
    void ShowAboutView();
    void Image4MouseDown(QMouseEvent* event);
    void SpeedButton1Click();
    void SpeedButton2Click();
    void RzShapeButton1Click();
    void RzShapeButton3Click();
    void RzShapeButton4Click();
    void RzGroup3Items0Click();
    void RzGroup3Items3Click();
    void ResultsItemClick();
    void BenchButtonClick();
    void RzToolButton5Click();
    void OpenResFolderClick();
    void CusPossibilitiesClick();
    void HeapsizeBoxChange();
    void AFBoxChange();
    void AABoxChange();
    void RunNumberBoxChange();
    void NoteEditChange();
    void RefreshBoxChange();
    void HDRBoxChange();
    void demoChanging(int item);
    void DemoEditButtonClick();
    void ResEditExit();
    void PointerLeft(QObject* control);
    void NoteSeriesActivity();

    std::array<bool, FixedSlotCount> ResolutionTicks() const;
    std::optional<DemoKind> ChosenDemo() const;

    TForm1Components c_;
    OptionSaving saving_;
    GamePaths paths_;
    std::unique_ptr<RunSequencer> sequencer_;
    TForm3* modePicker_ = nullptr;
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
    QLabel* Image4 = nullptr;
    PictureButton* SpeedButton1 = nullptr;
    PictureButton* SpeedButton2 = nullptr;
    PictureButton* RzShapeButton1 = nullptr;
    PictureButton* RzShapeButton3 = nullptr;
    PictureButton* RzShapeButton4 = nullptr;
    PictureButton* BenchButton = nullptr;
    GroupBar* RzGroupBar1 = nullptr;
    QFrame* RzSeparator1 = nullptr;
    QStackedWidget* PageControl = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label20 = nullptr;
    QLabel* Label21 = nullptr;
    QLabel* RunsLabel = nullptr;
    // Today's layout: what the run waits for, and the last finished run's frame rate.
    QLabel* GameLine = nullptr;
    QLabel* FinishedRunLine = nullptr;
    QLabel* StatusInfo = nullptr;
    // Page 1
    QLineEdit* HL2PathEdit = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* ResEdit = nullptr;
    QToolButton* OpenResFolder = nullptr;
    QToolButton* RzToolButton5 = nullptr;
    // Page 2
    QGroupBox* res = nullptr;
    std::array<QCheckBox*, FixedSlotCount> resItems{};
    QCheckBox* cusresbox = nullptr;
    QLineEdit* CusWidth = nullptr;
    QLineEdit* CusHeight = nullptr;
    QPushButton* CusPossibilities = nullptr;
    QGroupBox* DetailBox = nullptr;
    // Page 3
    QComboBox* AFBox = nullptr;
    QComboBox* AABox = nullptr;
    QGroupBox* demo = nullptr;
    QButtonGroup* demoItems = nullptr;
    QLineEdit* DemoEdit = nullptr;
    QToolButton* DemoEditButton = nullptr;
    QComboBox* RunNumberBox = nullptr;
    // Page 4
    QLineEdit* NoteEdit = nullptr;
    QComboBox* HeapsizeBox = nullptr;
    QComboBox* RefreshBox = nullptr;
    QComboBox* HDRBox = nullptr;
    QCheckBox* FastZBox = nullptr;
    QCheckBox* ColorCorrBox = nullptr;
};
