#include "ui/ResultsChart.h"

#include "results/Statistics.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor SeriesColours[] = {QColor(47, 123, 216), QColor(230, 126, 34)};
const QColor Whisker(40, 40, 40);
const QColor Grid(225, 228, 232);
const QColor Text(30, 30, 30);
const QColor Better(30, 140, 60);
const QColor Worse(192, 40, 40);

// What a label may hold before it is cut: far more than a chart has room for.
constexpr qsizetype LabelChars = 120;

QString value(double v) {
    return ChartValueText(v);
}

// A round step for the value axis: 1, 2 or 5 times a power of ten.
double niceStep(double range, int lines) {
    const double raw = range / std::max(1, lines);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

bool drawable(const std::optional<double>& v) {
    return v && std::isfinite(*v);
}

} // namespace

QColor SeriesColour(std::size_t index) {
    return SeriesColours[std::min<std::size_t>(index, std::size(SeriesColours) - 1)];
}

QString DifferenceText(double percent) {
    QString number = QString::number(percent, 'f', 1);
    if (number == QLatin1String("-0.0"))
        number = QStringLiteral("0.0");
    const bool gain = number != QLatin1String("0.0") && percent > 0;
    return (gain ? QStringLiteral("+") : QString()) + number + QStringLiteral(" %");
}

QString ChartValueText(double value) {
    if (std::fabs(value) < 1e6)
        return QString::number(value, 'f', 1);
    return QString::number(value, 'g', 3);
}

ValueAxis ValueAxisFor(double highest) {
    if (!std::isfinite(highest) || highest <= 0)
        highest = 1;
    // A tenth of room above the highest value, where that room is still a finite number.
    const double room =
        highest > std::numeric_limits<double>::max() / 1.1 ? highest : highest * 1.1;
    ValueAxis axis;
    axis.step = niceStep(room, 5);
    const double lines = std::ceil(room / axis.step);
    axis.top = lines * axis.step;
    if (!std::isfinite(axis.top)) {
        // The round top would pass the largest double: the axis ends at the highest value.
        axis.top = highest;
        axis.step = highest / 5;
    }
    return axis;
}

QString ShownText(const QString& text, qsizetype maxChars) {
    const bool cut = text.size() > maxChars;
    QString shown = text.left(maxChars);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    if (cut)
        shown += QChar(0x2026);
    return shown;
}

std::vector<ChartGroup> GroupByResolution(const std::vector<ChartSeries>& series) {
    std::vector<ChartGroup> groups;
    for (size_t s = 0; s < series.size(); ++s) {
        for (const ChartBar& bar : series[s].Bars) {
            auto found = std::find_if(groups.begin(), groups.end(), [&](const ChartGroup& g) {
                return g.Caption == bar.Caption;
            });
            if (found == groups.end()) {
                groups.push_back(ChartGroup{bar.Caption, {}, std::nullopt, -1});
                groups.back().PerSeries.resize(series.size());
                found = groups.end() - 1;
            }
            if (!found->PerSeries[s])
                found->PerSeries[s] = bar;
        }
    }
    // Compared, the sizes go smallest first, whichever series named them first; a caption that
    // names no size keeps its place after them.
    const auto sizeOf = [](const QString& caption) -> std::optional<std::pair<int, int>> {
        static const QRegularExpression pattern(QStringLiteral("^([0-9]+) \u00D7 ([0-9]+)"));
        const QRegularExpressionMatch match = pattern.match(caption);
        if (!match.hasMatch())
            return std::nullopt;
        return std::pair(match.captured(1).toInt(), match.captured(2).toInt());
    };
    std::stable_sort(groups.begin(), groups.end(), [&](const ChartGroup& a, const ChartGroup& b) {
        const auto sa = sizeOf(a.Caption), sb = sizeOf(b.Caption);
        if (!sa || !sb)
            return sa.has_value() && !sb.has_value();
        return *sa < *sb;
    });
    if (series.size() == 2) {
        for (ChartGroup& g : groups) {
            const auto& a = g.PerSeries[0];
            const auto& b = g.PerSeries[1];
            if (!a || !b || !a->Mean || !b->Mean)
                continue;
            g.Difference = PercentDifference(*b->Mean, *a->Mean);
            if (g.Difference && DifferenceText(*g.Difference) == DifferenceText(0))
                g.Difference = 0.0; // a tie as shown is a tie
            else if (*b->Mean > *a->Mean)
                g.Better = 1;
            else if (*a->Mean > *b->Mean)
                g.Better = 0;
        }
    }
    return groups;
}

ResultsChart::ResultsChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ResultsChart"));
    // Beside the frame-time panel in the smallest results window: both minimums fit its width.
    setMinimumSize(240, 200);
}

void ResultsChart::SetSeries(std::vector<ChartSeries> series) {
    series_ = std::move(series);
    groups_ = GroupByResolution(series_);
    update();
}

QImage ResultsChart::Render(const QSize& size) const {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, QRect(QPoint(0, 0), size));
    return image;
}

void ResultsChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    Draw(painter, rect());
}

std::vector<LegendPlace> LayOutLegend(const QStringList& labels, const QFontMetrics& metrics,
                                      int left, int right) {
    constexpr int swatch = 14, gap = 24;
    int whole = 0;
    for (const QString& label : labels)
        whole += swatch + metrics.horizontalAdvance(label) + gap;
    const bool stacked = left + whole - gap > right;
    std::vector<LegendPlace> places;
    int x = left;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        LegendPlace place;
        place.Row = stacked ? int(i) : 0;
        place.Left = stacked ? left : x;
        place.Text = metrics.elidedText(labels[i], Qt::ElideRight,
                                        std::max(40, right - place.Left - swatch));
        x += swatch + metrics.horizontalAdvance(place.Text) + gap;
        places.push_back(place);
    }
    return places;
}

void ResultsChart::Draw(QPainter& p, const QRect& area) const {
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const QFontMetrics fm(font);
    if (groups_.empty()) {
        p.setPen(Text);
        p.drawText(area, Qt::AlignCenter,
                   series_.empty() ? tr("Choose one or two series to chart.")
                                   : tr("This series has no result to chart."));
        return;
    }

    double top = 0;
    for (const ChartGroup& g : groups_)
        for (const auto& bar : g.PerSeries)
            if (bar && drawable(bar->Mean))
                top = std::max({top, *bar->Mean, drawable(bar->Max) ? *bar->Max : 0.0});
    const ValueAxis axis = ValueAxisFor(top);
    const double step = axis.step;
    const double axisTop = axis.top;

    // Legend above, captions below, the value axis on the left.
    const int line = fm.height();
    const int axisWidth = fm.horizontalAdvance(QStringLiteral("0000.0")) + 14;
    // One series is named too: a saved image says which series it shows.
    QStringList labels;
    for (size_t s = 0; s < series_.size() && s < std::size(SeriesColours); ++s)
        labels << ShownText(series_[s].Label, LabelChars);
    const std::vector<LegendPlace> legendPlaces =
        LayOutLegend(labels, fm, area.left() + axisWidth, area.right());
    const int legendRows = legendPlaces.empty() ? 0 : legendPlaces.back().Row + 1;
    const int legend = legendRows > 0 ? legendRows * line + 10 : 6;
    const QRect plot = area.adjusted(axisWidth, legend + line + 6, -12, -(2 * line + 14));
    // A value beyond the axis (a negative one, say) is drawn at its end, not off the chart.
    const auto y = [&](double v) {
        return plot.bottom() - std::clamp(v, 0.0, axisTop) / axisTop * plot.height();
    };

    p.setPen(Grid);
    for (int i = 0; i <= 12 && double(i) <= axisTop / step + 0.5; ++i) {
        const double v = double(i) * step;
        const int gy = qRound(y(v));
        p.drawLine(plot.left(), gy, plot.right(), gy);
        p.setPen(Text);
        p.drawText(QRect(area.left(), gy - line / 2, plot.left() - area.left() - 6, line),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'g', 6));
        p.setPen(Grid);
    }
    p.setPen(Text);
    p.drawText(QRect(area.left(), area.top() + legend, plot.left() + 80, line),
               Qt::AlignLeft | Qt::AlignVCenter, tr("FPS"));

    for (size_t s = 0; s < legendPlaces.size(); ++s) {
        const LegendPlace& place = legendPlaces[s];
        const int rowTop = area.top() + 4 + place.Row * line;
        p.fillRect(QRect(place.Left, rowTop + line / 2 - 5, 10, 10), SeriesColours[s]);
        p.drawText(QPoint(place.Left + 14, rowTop + fm.ascent()), place.Text);
    }

    const double groupWidth = double(plot.width()) / double(groups_.size());
    const size_t places = std::max<size_t>(1, series_.size());
    const double barWidth = std::min(90.0, groupWidth * 0.7 / double(places));
    for (size_t gi = 0; gi < groups_.size(); ++gi) {
        const ChartGroup& g = groups_[gi];
        const double centre = plot.left() + groupWidth * (double(gi) + 0.5);
        const double left = centre - barWidth * double(places) / 2;
        for (size_t s = 0; s < g.PerSeries.size(); ++s) {
            const auto& bar = g.PerSeries[s];
            const QRectF slot(left + barWidth * double(s), plot.top(), barWidth, plot.height());
            if (!bar || !drawable(bar->Mean)) {
                p.setPen(Text);
                p.drawText(
                    QRectF(slot.left() - 10, plot.bottom() - line - 4, slot.width() + 20, line),
                    Qt::AlignCenter, bar ? tr("no result") : tr("not run"));
                continue;
            }
            const QRectF body(slot.left() + 3, y(*bar->Mean), slot.width() - 6,
                              plot.bottom() - y(*bar->Mean));
            p.fillRect(body, SeriesColours[std::min<size_t>(s, 1)]);
            if (g.Better == int(s)) {
                p.setPen(QPen(Better, 3));
                p.drawRect(body.adjusted(1.5, 1.5, -1.5, 0));
            }
            const bool spread = drawable(bar->Min) && drawable(bar->Max);
            if (spread) {
                p.setPen(QPen(Whisker, 1.5));
                const double wx = body.center().x();
                const double cap = std::min(8.0, body.width() / 4);
                p.drawLine(QPointF(wx, y(*bar->Min)), QPointF(wx, y(*bar->Max)));
                p.drawLine(QPointF(wx - cap, y(*bar->Min)), QPointF(wx + cap, y(*bar->Min)));
                p.drawLine(QPointF(wx - cap, y(*bar->Max)), QPointF(wx + cap, y(*bar->Max)));
            }
            p.setPen(Text);
            const double labelTop = std::min(y(*bar->Mean), spread ? y(*bar->Max) : 1e9);
            QString text = value(*bar->Mean);
            if (g.Better == int(s))
                text = QStringLiteral("\u25B2 ") + text;
            p.drawText(QRectF(slot.left() - 10, labelTop - line - 2, slot.width() + 20, line),
                       Qt::AlignCenter, text);
            if (spread && *bar->Max > *bar->Min) {
                QFont small = font;
                small.setPixelSize(10);
                p.setFont(small);
                p.setPen(Qt::white);
                p.drawText(QRectF(body.left(), body.bottom() - line - 2, body.width(), line),
                           Qt::AlignCenter,
                           value(*bar->Min) + QStringLiteral("\u2013") + value(*bar->Max));
                p.setFont(font);
            }
        }
        p.setPen(Text);
        p.drawText(
            QRectF(centre - groupWidth / 2, plot.bottom() + 4, groupWidth, line), Qt::AlignCenter,
            fm.elidedText(ShownText(g.Caption, LabelChars), Qt::ElideRight, int(groupWidth)));
        if (g.Difference) {
            // The newer series' change: green when it got faster, red when slower.
            p.setPen(g.Better == 1 ? Better : g.Better == 0 ? Worse : Text);
            p.drawText(QRectF(centre - groupWidth / 2, plot.bottom() + 4 + line, groupWidth, line),
                       Qt::AlignCenter, DifferenceText(*g.Difference));
        }
    }
    p.setPen(Text);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
}
