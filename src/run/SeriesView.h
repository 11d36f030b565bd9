#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>

// The main window's normal placement.
struct WindowBounds {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
};

// What the series shows and reads in the main window: the status line, the Run button, the
// progress panel with its heading, resolution line and run counter, and the window's
// placement. The window implements it; tests record it.
class SeriesView {
public:
    virtual ~SeriesView() = default;
    virtual void SetStatus(const QString& text) = 0;
    virtual void SetRunButtonEnabled(bool enabled) = 0;
    virtual void SetProgressPanelVisible(bool visible) = 0;
    virtual void SetHeading(const QString& text, int fontSize, int left) = 0;
    virtual void SetResolutionLine(const QString& text) = 0;
    virtual void SetResolutionLineVisible(bool visible) = 0;
    virtual void SetRunsLabel(const QString& text) = 0;
    virtual void SetRunsLabelVisible(bool visible) = 0;
    // Today's layout, in the progress panel: what the run waits for ("waiting for Steam to start
    // the game (0:42)", "the game is running (1:05)"; empty when nothing), and the frame rate
    // of the run that finished last ("run 1: 179.56 FPS").
    virtual void SetGameLine(const QString& text) = 0;
    virtual void SetFinishedRunLine(const QString& text) = 0;
    virtual WindowBounds NormalBounds() const = 0;
    virtual void SetBounds(const WindowBounds& bounds) = 0;
    // Paints the window at once, so that a text set just before is seen.
    virtual void RepaintNow() = 0;
    // The options as the controls hold them now (RunCount 0: the run count box is empty).
    virtual BenchmarkSettings CurrentSettings() const = 0;
};
