#pragma once

#include "results/FrameFigures.h"

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

// Where a plot puts its points: frame i at (the time its frame ended, its milliseconds), the
// x axis from 0 to the run's time, the y axis from 0 to a little above the slowest frame.
struct PlotScale {
    double Seconds = 0;
    double TopMs = 0;
};
PlotScale ScaleFor(const std::vector<float>& frameMs);

// The frame times of one run: time on x, milliseconds on y, and the frame times of the 1 % and
// 0.1 % lows (1000 / the low) drawn across as lines.
class FrameTimePlot : public QWidget {
    Q_OBJECT
public:
    explicit FrameTimePlot(QWidget* parent = nullptr);

    void SetRun(const QString& title, std::vector<float> frameMs,
                std::optional<FrameFigures> figures);

    // The plot as it is painted, at `size`.
    QImage Render(QSize size) const;

    const QString& Title() const { return title_; }
    const std::vector<float>& Frames() const { return frameMs_; }
    const std::optional<FrameFigures>& Figures() const { return figures_; }

    QSize sizeHint() const override { return {640, 320}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paint(QPainter& painter, QSize size) const;

    QString title_;
    std::vector<float> frameMs_;
    std::optional<FrameFigures> figures_;
};

// The colours of the two lows' lines, for whoever shows them beside the plot.
QColor Low1Colour();
QColor Low01Colour();
