#pragma once

#include "game/OptionSaving.h"
#include "game/SettingsStore.h"
#include "game/StartupLoad.h"
#include "model/BenchmarkSettings.h"
#include "platform/Dialogs.h"

#include <QObject>
#include <array>
#include <functional>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QWidget;

// The main window's four option pages and the BenchmarkSettings they show: builds the pages'
// controls, fills them from start-up's settings, reads them back as settings, and stores each
// option at its moment (a choice in a box, the pointer leaving a control, a folder or file
// chosen) through OptionSaving.
class OptionPages : public QObject {
public:
    // Builds the pages into `window`, above the controls it already has.
    OptionPages(QWidget* window, SettingsStore& store, OptionSaving& saving, Dialogs& dialogs,
                std::function<quint64()> physicalMemory);

    // The stack of the four pages.
    QStackedWidget* Pages() const { return pages_; }
    // Opens the custom size choice; the window wires it to the display mode picker.
    QPushButton* PossibilitiesButton() const { return possibilitiesButton_; }
    // Opens the results folder; the window wires it to the shell.
    QToolButton* OpenResultsButton() const { return openResultsButton_; }

    // The boxes' colours, given once start-up begins.
    void SetColours();
    void ShowVersion(const QString& version);
    // Shows start-up's settings without storing them again.
    void Fill(const StartupResult& result);
    // The picker's result: the custom width and height boxes.
    void SetCustomSize(const QString& width, const QString& height);

    // The options as the controls hold them now (RunCount 0: the run count box is empty).
    BenchmarkSettings Settings() const;
    QString ResultsFolder() const;
    QString Note() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPathPage(QWidget* page);
    void BuildResolutionPage(QWidget* page);
    void BuildDemoPage(QWidget* page);
    void BuildMiscellaneousPage(QWidget* page);
    void ConnectHandlers();

    void HeapSizeChosen();
    void FilteringChosen();
    void AntialiasingChosen();
    void RunCountChosen();
    void NoteEdited();
    void RefreshRateChosen();
    void HdrChosen();
    void DemoChosen(int item);
    void ChooseCustomDemo();
    void ChooseResultsFolder();
    void ResultsFolderEdited();
    void PointerLeft(QObject* control);

    std::array<bool, FixedSlotCount> ResolutionTicks() const;
    std::optional<DemoKind> ChosenDemo() const;

    SettingsStore& store_;
    OptionSaving& saving_;
    Dialogs& dialogs_;
    std::function<quint64()> physicalMemory_;
    int runCount_ = 0;

    QStackedWidget* pages_ = nullptr;
    // Path and information
    QLineEdit* gamePathEdit_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    QLineEdit* resultsFolderEdit_ = nullptr;
    QToolButton* openResultsButton_ = nullptr;
    QToolButton* browseResultsButton_ = nullptr;
    // Resolution and detail
    QGroupBox* resolutionGroup_ = nullptr;
    std::array<QCheckBox*, FixedSlotCount> resolutionBoxes_{};
    QCheckBox* customResolutionBox_ = nullptr;
    QLineEdit* customWidthEdit_ = nullptr;
    QLineEdit* customHeightEdit_ = nullptr;
    QPushButton* possibilitiesButton_ = nullptr;
    QGroupBox* detailGroup_ = nullptr;
    // Filters and demos
    QComboBox* filteringBox_ = nullptr;
    QComboBox* antialiasingBox_ = nullptr;
    QGroupBox* demoGroup_ = nullptr;
    QButtonGroup* demoChoices_ = nullptr;
    QLineEdit* customDemoEdit_ = nullptr;
    QToolButton* browseDemoButton_ = nullptr;
    QComboBox* runCountBox_ = nullptr;
    // Miscellaneous
    QLineEdit* noteEdit_ = nullptr;
    QComboBox* heapSizeBox_ = nullptr;
    QComboBox* refreshRateBox_ = nullptr;
    QComboBox* hdrBox_ = nullptr;
    QCheckBox* fastZBox_ = nullptr;
    QCheckBox* colourCorrectionBox_ = nullptr;
};
