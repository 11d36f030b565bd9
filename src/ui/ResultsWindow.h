#pragma once

#include "results/DataFileReader.h"

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class Dialogs;
class FrameTimePlot;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;
class QThread;
class QTreeWidget;
class ResultsChart;
class SensorPlot;
class SettingsStore;
class ShellOpen;

// A data file of the results folder as the list shows it.
struct ListedResult {
    QString Path;
    QDateTime Modified;
    DataFileRead Read;
};

// Reads the data files of a folder, newest first by their time on disk; `batch` receives them
// a few at a time, `stop` ends the reading early, also while the folder is being listed.
// Only regular files are read, never through a link and never waiting on one; the others are
// listed as unreadable. Runs on any thread.
void ReadResultsFolder(const QString& folder, const std::atomic<bool>& stop,
                       const std::function<void(std::vector<ListedResult>)>& batch);

// The results window: the series kept in the results folder, newest first, read in the
// background; one chosen is charted per resolution, two side by side with their difference.
// Beside the chart, for chosen series that recorded frame times, each resolution's lows and
// the frame-time plot of a chosen run, whose frames are read from the frames file only then,
// in the background. It remembers its size in the program's key ("ResultsWindowSize",
// "<width>x<height>").
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    ResultsWindow(SettingsStore& store, ShellOpen& shell, Dialogs& dialogs,
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Shows the window and lists the folder (ends with "/") afresh.
    void Open(const QString& folder);

    // Asks where to save the chart; empty when cancelled. A save dialog by default.
    std::function<QString(const QString& suggested)> chooseSavePath;

    bool Listing() const { return reader_ != nullptr; }
    QTreeWidget* List() const { return list_; }
    ResultsChart* Chart() const { return chart_; }
    // The frame times beside the chart: hidden unless a chosen series has them.
    QWidget* FramesPanel() const { return frames_; }
    QTreeWidget* Lows() const { return lows_; }
    QComboBox* RunChoice() const { return runChoice_; }
    FrameTimePlot* Plot() const { return plot_; }
    SensorPlot* Sensors() const { return sensors_; }
    // What the panel says instead of the plot (reading, or why it cannot be shown).
    QLabel* FramesStatus() const { return framesStatus_; }
    bool ReadingFrames() const { return framesReader_ != nullptr; }

signals:
    // The folder has been read to its end.
    void Listed();
    // The chosen run's frames have been read and plotted, or the reason shown.
    void FramesShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StopReading();
    void AddBatch(int generation, std::vector<ListedResult> batch);
    void SelectionChanged();
    void OpenReport();
    void OpenFolder();
    void SaveChart();
    // Fits the window into the screen's free area before it is shown.
    void KeepOnScreen();
    std::vector<const ListedResult*> Chosen() const;
    void ShowFrameTimes(const std::vector<const ListedResult*>& chosen);
    void RunChosen(int index);
    void StopFramesReading();

    // A run that can be plotted: its series, row and number (1 for the first), its figures.
    struct PlottableRun {
        const ListedResult* Entry;
        QString Caption;
        int Run;
        FrameFigures Figures;
        QString Title;
        SensorTrace Trace;
        bool ClockFell = false;
    };

    SettingsStore& store_;
    ShellOpen& shell_;
    Dialogs& dialogs_;
    QString folder_;
    std::vector<std::unique_ptr<ListedResult>> entries_;
    int generation_ = 0;
    int damaged_ = 0;
    std::atomic<bool> stop_{false};
    QThread* reader_ = nullptr;
    std::vector<PlottableRun> runs_;
    int framesGeneration_ = 0;
    std::atomic<bool> framesStop_{false};
    QThread* framesReader_ = nullptr;

    QTreeWidget* list_ = nullptr;
    ResultsChart* chart_ = nullptr;
    QSplitter* lower_ = nullptr; // the chart and the frames beside it
    QWidget* frames_ = nullptr;
    bool framesSized_ = false;
    QTreeWidget* lows_ = nullptr;
    SensorPlot* sensors_ = nullptr; // under the frame times
    QComboBox* runChoice_ = nullptr;
    QLabel* framesStatus_ = nullptr;
    FrameTimePlot* plot_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* openReport_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* saveChart_ = nullptr;
};

// "<width>x<height>" as stored; nothing for anything else.
std::optional<QSize> StoredWindowSize(const QString& text);
