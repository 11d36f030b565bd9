#pragma once

#include "run/SeriesView.h"

#include <functional>

class OptionPages;
class PictureButton;
class QFrame;
class QLabel;
class QWidget;

// The main window as a series sees it: the Run button, the progress panel over the option pages
// with its heading, resolution line, run counter and today's two lines, the status line, and
// the window's placement. The options come from the option pages.
class ProgressPanel : public SeriesView {
public:
    // Builds the Run button, the panel and the status line into `window`, in this order above
    // what is there. `runButtonTurned` is told each time the Run button is enabled or disabled.
    ProgressPanel(QWidget& window, const OptionPages& options,
                  std::function<void()> runButtonTurned);

    PictureButton* RunButton() const { return runButton_; }

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

private:
    QWidget& window_;
    const OptionPages& options_;
    std::function<void()> runButtonTurned_;
    PictureButton* runButton_ = nullptr;
    QFrame* panel_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* resolutionLine_ = nullptr;
    QLabel* runsLine_ = nullptr;
    QLabel* gameLine_ = nullptr;
    QLabel* finishedRunLine_ = nullptr;
    QLabel* statusLine_ = nullptr;
};
