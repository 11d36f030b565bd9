#include "ui/SensorPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

bool anyValue(const std::vector<float>& values) {
    return std::any_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

} // namespace

QColor GpuClockColour() {
    return QColor(0x2e, 0x7d, 0x32);
}
QColor CpuLoadColour() {
    return QColor(0x6a, 0x1b, 0x9a);
}
QColor GpuLoadColour() {
    return QColor(0xef, 0x6c, 0x00);
}

SensorPlot::SensorPlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 110);
}

void SensorPlot::SetTrace(SensorTrace trace, double seconds, bool clockFell) {
    trace_ = std::move(trace);
    seconds_ = seconds;
    clockFell_ = clockFell;
    update();
}

bool SensorPlot::HasSensors() const {
    return anyValue(trace_.GpuClock) || anyValue(trace_.CpuLoad) || anyValue(trace_.GpuLoad);
}

QImage SensorPlot::Render(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, size);
    return image;
}

void SensorPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    paint(painter, size());
}

void SensorPlot::paint(QPainter& painter, QSize size) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(painter.font());
    const int line = metrics.height();
    // The same left and right edges as the frame-time plot above.
    const double left = metrics.horizontalAdvance(QStringLiteral("0000 ms")) + 8;
    const double width = size.width() - metrics.horizontalAdvance(QStringLiteral("0000 ms")) - 24;
    if (!HasSensors() || width < 10) {
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, size.width(), size.height()), Qt::AlignCenter,
                         QStringLiteral("No GPU clock or load was logged"));
        return;
    }
    double seconds = seconds_;
    if (!trace_.Seconds.empty())
        seconds = std::max<double>(seconds, trace_.Seconds.back());
    if (!(seconds > 0))
        seconds = 1;
    const double strip = (size.height() - 3 * line - 8) / 2.0;
    const QRectF clockArea(left, line + 2, width, strip);
    const QRectF loadArea(left, clockArea.bottom() + line + 4, width, strip);
    const auto x = [&](double s) { return left + s / seconds * width; };

    const auto drawLine = [&](const QRectF& area, const std::vector<float>& values, double top,
                              const QColor& colour) {
        QPainterPath path;
        bool open = false;
        for (std::size_t i = 0; i < values.size() && i < trace_.Seconds.size(); ++i) {
            if (!std::isfinite(values[i])) {
                open = false;
                continue;
            }
            const QPointF point(x(trace_.Seconds[i]),
                                area.bottom() -
                                    std::clamp(values[i] / top, 0.0, 1.0) * area.height());
            if (open)
                path.lineTo(point);
            else
                path.moveTo(point);
            open = true;
        }
        painter.setPen(QPen(colour, 1.5));
        painter.drawPath(path);
    };
    const auto frame = [&](const QRectF& area, const QString& top, const QString& bottom) {
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
        painter.drawLine(QPointF(area.left(), area.center().y()),
                         QPointF(area.right(), area.center().y()));
        painter.setPen(Qt::black);
        painter.drawRect(area);
        painter.drawText(QRectF(0, area.top() - line / 2.0, left - 4, line),
                         Qt::AlignRight | Qt::AlignVCenter, top);
        painter.drawText(QRectF(0, area.bottom() - line / 2.0, left - 4, line),
                         Qt::AlignRight | Qt::AlignVCenter, bottom);
    };

    float clockTop = 0;
    for (const float v : trace_.GpuClock)
        if (std::isfinite(v))
            clockTop = std::max(clockTop, v);
    const double clockScale = clockTop > 0 ? clockTop * 1.1 : 1.0;
    frame(clockArea, QString::number(std::lround(clockScale)), QStringLiteral("0"));
    drawLine(clockArea, trace_.GpuClock, clockScale, GpuClockColour());
    frame(loadArea, QStringLiteral("100 %"), QStringLiteral("0 %"));
    drawLine(loadArea, trace_.CpuLoad, 100, CpuLoadColour());
    drawLine(loadArea, trace_.GpuLoad, 100, GpuLoadColour());

    // What each line is.
    QString clockText = anyValue(trace_.GpuClock) ? QStringLiteral("GPU clock (MHz)")
                                                  : QStringLiteral("GPU clock: no sensor");
    if (clockFell_)
        clockText += QStringLiteral(": clock fell");
    painter.setPen(clockFell_ ? QColor(0xc0, 0x28, 0x28) : GpuClockColour());
    painter.drawText(QPointF(left, line), clockText);
    double at = left;
    const struct {
        QString name;
        QColor colour;
        bool shown;
    } loads[] = {
        {QStringLiteral("CPU load"), CpuLoadColour(), anyValue(trace_.CpuLoad)},
        {QStringLiteral("GPU load"), GpuLoadColour(), anyValue(trace_.GpuLoad)},
    };
    for (const auto& load : loads) {
        const QString text = load.shown ? load.name : load.name + QStringLiteral(": no sensor");
        painter.setPen(load.colour);
        painter.drawText(QPointF(at, clockArea.bottom() + line + 1), text);
        at += metrics.horizontalAdvance(text) + 24;
    }
}
