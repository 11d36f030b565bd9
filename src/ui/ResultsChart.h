#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

// One resolution of one series: its mean with the spread of its runs.
struct ChartBar {
    QString Caption;
    std::optional<double> Mean; // nothing: the resolution had no result
    std::optional<double> Min;
    std::optional<double> Max;
};

// One series as the chart shows it.
struct ChartSeries {
    QString Label;
    std::vector<ChartBar> Bars;
};

// The bars of one resolution side by side: one place per series (empty where a series did
// not run it), and for two series the second's difference to the first in per cent and which
// of them is better (the higher frame rate).
struct ChartGroup {
    QString Caption;
    std::vector<std::optional<ChartBar>> PerSeries;
    std::optional<double> Difference;
    int Better = -1; // index of the better series; -1 when not compared or equal
};

// Resolutions smallest first ("640 × 480" before "800 × 600"); captions that name no size after
// them, in the order the series first name them. Two means whose difference shows as
// 0.0 % are a tie: neither is better.
std::vector<ChartGroup> GroupByResolution(const std::vector<ChartSeries>& series);

// The difference as the chart writes it: "+4.8 %", "-0.2 %", "0.0 %" (never "-0.0 %").
QString DifferenceText(double percent);

// A value as the chart and the list write it: one decimal, or three significant digits for a
// value too large for that to stay short.
QString ChartValueText(double value);

// The value axis for a highest value: a round step and the top line, both finite however
// large the value (the largest double included); the lines from 0 to the top are at most 12.
struct ValueAxis {
    double step = 1;
    double top = 1;
};
ValueAxis ValueAxisFor(double highest);

// The colour of the series at `index` (0 or 1) in the chart, for what is shown beside it.
QColor SeriesColour(std::size_t index);

// A text of outside origin cut for showing on one line: line breaks and other control
// characters become blanks, and beyond `maxChars` it ends with "\u2026".
QString ShownText(const QString& text, qsizetype maxChars);

// Where the legend's labels go: side by side when every label fits whole between `left` and
// `right`, else one line each, cut to that width (cut to the same width, two labels of one day
// would both read as that day). Each text follows a 14-pixel swatch.
struct LegendPlace {
    int Row = 0;
    int Left = 0; // of the swatch
    QString Text;
};
std::vector<LegendPlace> LayOutLegend(const QStringList& labels, const QFontMetrics& metrics,
                                      int left, int right);

// A bar chart drawn with QPainter: per resolution one bar per series with its mean, a whisker
// from the lowest to the highest run, and the values written on it.
class ResultsChart : public QWidget {
    Q_OBJECT
public:
    explicit ResultsChart(QWidget* parent = nullptr);

    void SetSeries(std::vector<ChartSeries> series);
    const std::vector<ChartSeries>& Series() const { return series_; }
    const std::vector<ChartGroup>& Groups() const { return groups_; }
    // The chart drawn on a white image of the given size, for saving.
    QImage Render(const QSize& size) const;

    QSize sizeHint() const override { return {640, 360}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Draw(QPainter& painter, const QRect& area) const;

    std::vector<ChartSeries> series_;
    std::vector<ChartGroup> groups_;
};
