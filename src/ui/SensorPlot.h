#pragma once

#include "results/SensorFigures.h"

#include <QImage>
#include <QWidget>

// Under a run's frame times: the GPU core clock (MHz) in one strip and the CPU and GPU load (%)
// in another, over the same seconds of the demo, as MangoHud logged them. A column without a
// sensor is left out; without any the widget says so.
class SensorPlot : public QWidget {
    Q_OBJECT
public:
    explicit SensorPlot(QWidget* parent = nullptr);

    // `seconds`: the demo's length, so the x axis matches the frame-time plot's.
    void SetTrace(SensorTrace trace, double seconds, bool clockFell);

    QImage Render(QSize size) const;
    const SensorTrace& Trace() const { return trace_; }
    bool HasSensors() const;

    QSize sizeHint() const override { return {640, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paint(QPainter& painter, QSize size) const;

    SensorTrace trace_;
    double seconds_ = 0;
    bool clockFell_ = false;
};

QColor GpuClockColour();
QColor CpuLoadColour();
QColor GpuLoadColour();
