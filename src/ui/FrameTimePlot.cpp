#include "ui/FrameTimePlot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace {

// A round step for about `count` grid lines over `range`.
double niceStep(double range, int count) {
    const double raw = range / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * magnitude)
            return m * magnitude;
    return 10 * magnitude;
}

QString number(double value) {
    return QString::number(value, 'g', 4);
}

} // namespace

QColor Low1Colour() {
    return QColor(0xd9, 0x82, 0x1e);
}

QColor Low01Colour() {
    return QColor(0xc0, 0x28, 0x28);
}

PlotScale ScaleFor(const std::vector<float>& frameMs) {
    PlotScale scale;
    float slowest = 0;
    for (const float ms : frameMs) {
        scale.Seconds += ms / 1000.0;
        slowest = std::max(slowest, ms);
    }
    scale.TopMs = slowest > 0 ? slowest * 1.1 : 1.0;
    if (!(scale.Seconds > 0))
        scale.Seconds = 1;
    return scale;
}

FrameTimePlot::FrameTimePlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 160);
}

void FrameTimePlot::SetRun(const QString& title, std::vector<float> frameMs,
                           std::optional<FrameFigures> figures) {
    title_ = title;
    frameMs_ = std::move(frameMs);
    figures_ = figures;
    update();
}

QImage FrameTimePlot::Render(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, size);
    return image;
}

void FrameTimePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    paint(painter, size());
}

void FrameTimePlot::paint(QPainter& painter, QSize size) const {
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(painter.font());
    const int line = metrics.height();
    const QRectF area(metrics.horizontalAdvance(QStringLiteral("0000 ms")) + 8, 2 * line + 4,
                      size.width() - metrics.horizontalAdvance(QStringLiteral("0000 ms")) - 24,
                      size.height() - 4 * line - 8);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, 0, size.width(), line + 2), Qt::AlignCenter, title_);
    if (frameMs_.empty() || area.width() < 10 || area.height() < 10) {
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("No frame times"));
        return;
    }
    const PlotScale scale = ScaleFor(frameMs_);
    const auto x = [&](double seconds) {
        return area.left() + seconds / scale.Seconds * area.width();
    };
    const auto y = [&](double ms) { return area.bottom() - ms / scale.TopMs * area.height(); };

    // Grid and axes.
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    const double msStep = niceStep(scale.TopMs, 5);
    for (double ms = 0; ms <= scale.TopMs; ms += msStep) {
        painter.drawLine(QPointF(area.left(), y(ms)), QPointF(area.right(), y(ms)));
        painter.save();
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, y(ms) - line / 2.0, area.left() - 4, line),
                         Qt::AlignRight | Qt::AlignVCenter, number(ms) + QStringLiteral(" ms"));
        painter.restore();
    }
    const double secondStep = niceStep(scale.Seconds, 8);
    for (double s = 0; s <= scale.Seconds + 1e-9; s += secondStep) {
        painter.drawLine(QPointF(x(s), area.top()), QPointF(x(s), area.bottom()));
        painter.save();
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x(s) - 40, area.bottom() + 2, 80, line), Qt::AlignCenter,
                         number(s) + QStringLiteral(" s"));
        painter.restore();
    }
    painter.setPen(Qt::black);
    painter.drawRect(area);

    // The frames: one point per frame, joined.
    QPainterPath path;
    double at = 0;
    for (std::size_t i = 0; i < frameMs_.size(); ++i) {
        at += frameMs_[i] / 1000.0;
        const QPointF point(x(at), y(frameMs_[i]));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    painter.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 1));
    painter.drawPath(path);

    // The lows as frame times, with what they are.
    if (figures_) {
        const struct {
            double fps;
            QColor colour;
            QString name;
        } lows[] = {
            {figures_->Percentile1LowFps, Low1Colour(), QStringLiteral("1% low")},
            {figures_->Percentile01LowFps, Low01Colour(), QStringLiteral("0.1% low")},
        };
        for (const auto& low : lows) {
            if (!(low.fps > 0))
                continue;
            const double ms = 1000.0 / low.fps;
            painter.setPen(QPen(low.colour, 2, Qt::DashLine));
            painter.drawLine(QPointF(area.left(), y(ms)), QPointF(area.right(), y(ms)));
        }
        int left = static_cast<int>(area.left());
        for (const auto& low : lows) {
            const QString text = QStringLiteral("%1: %2 fps (%3 ms)")
                                     .arg(low.name, number(low.fps), number(1000.0 / low.fps));
            painter.setPen(low.colour);
            painter.drawText(QPointF(left, size.height() - line / 2.0), text);
            left += metrics.horizontalAdvance(text) + 24;
        }
        painter.setPen(Qt::black);
        const QString summary = QStringLiteral("%1 frames, average %2 fps, %3 stutters")
                                    .arg(figures_->Frames)
                                    .arg(number(figures_->AverageFps))
                                    .arg(figures_->Stutters);
        if (left + metrics.horizontalAdvance(summary) <= size.width())
            painter.drawText(QPointF(left, size.height() - line / 2.0), summary);
        else // a narrow plot: above it, under the title, rather than cut off
            painter.drawText(QRectF(area.left(), line + 2, area.width(), line + 2),
                             Qt::AlignRight | Qt::AlignVCenter, summary);
    }
}
