#include "ui/ResultsWindow.h"

#include "game/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "platform/SafeFile.h"
#include "platform/Shell.h"
#include "results/DataFiles.h"
#include "results/FramesFile.h"
#include "ui/FrameTimePlot.h"
#include "ui/ResultsChart.h"
#include "ui/SensorPlot.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString SizeValue = QStringLiteral("ResultsWindowSize");
constexpr int BatchSize = 50;
constexpr int SortRole = Qt::UserRole;
constexpr int EntryRole = Qt::UserRole + 1;

// Sorted by the series' start (or, for a file that cannot be read, its time on disk).
class ResultItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column != 0)
            return QTreeWidgetItem::operator<(other);
        return data(0, SortRole).toLongLong() < other.data(0, SortRole).toLongLong();
    }
};

QString dateText(const QDateTime& when) {
    return QLocale().toString(when.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
}

// What a list cell shows at most: a long note or caption costs every paint otherwise.
constexpr qsizetype NoteChars = 200;
constexpr qsizetype CaptionChars = 40;
constexpr qsizetype CaptionsChars = 300;

QString meansText(const DataFileSummary& s) {
    QStringList means;
    for (const DataFileRowSummary& row : s.Rows)
        means << (row.Mean ? ChartValueText(*row.Mean) : QStringLiteral("-"));
    return means.join(QStringLiteral(" / "));
}

QString captionsText(const DataFileSummary& s) {
    QStringList captions;
    for (const DataFileRowSummary& row : s.Rows)
        captions << ShownText(row.Caption, CaptionChars);
    return ShownText(captions.join(QStringLiteral(", ")), CaptionsChars);
}

QString seriesLabel(const DataFileSummary& s) {
    return dateText(s.Started) +
           (s.Note.isEmpty() ? QString() : QStringLiteral(" ") + ShownText(s.Note, NoteChars));
}

bool hasFrameTimes(const DataFileSummary& s) {
    return std::any_of(s.Rows.begin(), s.Rows.end(),
                       [](const DataFileRowSummary& row) { return row.FrameTimes.has_value(); });
}

QString valueOrDash(const std::optional<double>& value) {
    return value ? ChartValueText(*value) : QStringLiteral("-");
}

QIcon swatch(const QColor& colour) {
    QPixmap pixmap(10, 10);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// Ends a reading thread, if one runs, and drops what it still queued (its batches or frames,
// its end): those carry the generation it was started in.
void stopReader(QThread*& reader, std::atomic<bool>& stop, int& generation) {
    if (!reader)
        return;
    stop = true;
    reader->wait();
    delete reader;
    reader = nullptr;
    stop = false;
    ++generation;
}

ListedResult readOne(const QString& path, const QDateTime& modified) {
    ListedResult entry{path, modified, {}};
    const platform::OutsideFile file = platform::ReadOutsideFile(path, DataFileMaxBytes);
    if (file.outcome == platform::OutsideFile::Outcome::TooLarge)
        entry.Read.Problem = QStringLiteral("damaged: ") + file.reason;
    else if (!file.ok())
        entry.Read.Problem = QStringLiteral("unreadable: ") + file.reason;
    else
        entry.Read = ReadDataFile(file.bytes);
    return entry;
}

} // namespace

std::optional<QSize> StoredWindowSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{3,5})x([0-9]{3,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() > 16384 || size.height() > 16384)
        return std::nullopt;
    return size;
}

void ReadResultsFolder(const QString& folder, const std::atomic<bool>& stop,
                       const std::function<void(std::vector<ListedResult>)>& batch) {
    // Listed step by step, so that a stop is seen in a folder of any size.
    struct Found {
        QString path;
        QDateTime modified;
    };
    std::vector<Found> files;
    QDirIterator names(folder, {QStringLiteral("result_*.json")},
                       QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    while (names.hasNext()) {
        if (stop)
            return;
        names.next();
        const QFileInfo info = names.fileInfo();
        files.push_back({info.absoluteFilePath(), info.lastModified()});
    }
    // Newest first by their time on disk.
    std::stable_sort(files.begin(), files.end(),
                     [](const Found& a, const Found& b) { return a.modified > b.modified; });
    std::vector<ListedResult> pending;
    for (const Found& found : files) {
        if (stop)
            return;
        pending.push_back(readOne(found.path, found.modified));
        if (pending.size() >= BatchSize) {
            batch(std::move(pending));
            pending.clear();
        }
    }
    if (!pending.empty())
        batch(std::move(pending));
}

ResultsWindow::ResultsWindow(SettingsStore& store, ShellOpen& shell, Dialogs& dialogs,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), shell_(shell), dialogs_(dialogs) {
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QStringLiteral("Results"));
    setMinimumSize(560, 380);
    chooseSavePath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save chart"), suggested,
                                            QStringLiteral("PNG image (*.png)"));
    };

    list_ = new QTreeWidget;
    list_->setObjectName(QStringLiteral("ResultsList"));
    list_->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Note"),
                            QStringLiteral("Resolutions"), QStringLiteral("Average fps")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::DescendingOrder);
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    list_->setColumnWidth(0, 130);
    list_->setColumnWidth(1, 170);
    list_->setColumnWidth(2, 260);
    chart_ = new ResultsChart;

    // Beside the chart: the lows and a run's frame times, for series that recorded them.
    lows_ = new QTreeWidget;
    lows_->setObjectName(QStringLiteral("LowsTable"));
    lows_->setRootIsDecorated(false);
    lows_->setSelectionMode(QAbstractItemView::NoSelection);
    lows_->setFocusPolicy(Qt::NoFocus);
    lows_->header()->setStretchLastSection(false);
    // Every column stays in view: the figures share what room there is rather than scroll.
    lows_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lows_->header()->setMinimumSectionSize(24);
    runChoice_ = new QComboBox;
    runChoice_->setObjectName(QStringLiteral("FrameRun"));
    framesStatus_ = new QLabel;
    framesStatus_->setObjectName(QStringLiteral("FramesStatus"));
    framesStatus_->setWordWrap(true);
    plot_ = new FrameTimePlot;
    plot_->setObjectName(QStringLiteral("FrameTimePlot"));
    // Beside the chart in the smallest window: the two minimums must fit its width.
    plot_->setMinimumWidth(200);
    runChoice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    runChoice_->setMinimumContentsLength(12);
    frames_ = new QWidget;
    frames_->setObjectName(QStringLiteral("FramesPanel"));
    auto* runLine = new QHBoxLayout;
    auto* runLabel = new QLabel(QStringLiteral("Frame times of"));
    runLabel->setBuddy(runChoice_);
    runLine->addWidget(runLabel);
    runLine->addWidget(runChoice_, 1);
    auto* framesLayout = new QVBoxLayout(frames_);
    framesLayout->setContentsMargins(0, 0, 0, 0);
    framesLayout->addWidget(lows_);
    framesLayout->addLayout(runLine);
    framesLayout->addWidget(framesStatus_);
    framesLayout->addWidget(plot_, 1);
    sensors_ = new SensorPlot;
    sensors_->setObjectName(QStringLiteral("SensorPlot"));
    sensors_->hide();
    framesLayout->addWidget(sensors_);
    frames_->hide();
    auto* lower = new QSplitter(Qt::Horizontal);
    lower->addWidget(chart_);
    lower->addWidget(frames_);
    lower->setChildrenCollapsible(false);
    lower_ = lower;

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(list_);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("ResultsStatus"));
    openReport_ = new QPushButton(QStringLiteral("Open report"));
    openReport_->setObjectName(QStringLiteral("OpenReport"));
    openFolder_ = new QPushButton(QStringLiteral("Open folder"));
    openFolder_->setObjectName(QStringLiteral("OpenFolder"));
    saveChart_ = new QPushButton(QStringLiteral("Save chart as PNG..."));
    saveChart_->setObjectName(QStringLiteral("SaveChart"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(openReport_);
    buttons->addWidget(openFolder_);
    buttons->addWidget(saveChart_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &ResultsWindow::SelectionChanged);
    connect(openReport_, &QPushButton::clicked, this, &ResultsWindow::OpenReport);
    connect(openFolder_, &QPushButton::clicked, this, &ResultsWindow::OpenFolder);
    connect(saveChart_, &QPushButton::clicked, this, &ResultsWindow::SaveChart);
    connect(runChoice_, &QComboBox::currentIndexChanged, this, &ResultsWindow::RunChosen);

    resize(StoredWindowSize(store_.ReadValue(SizeValue)).value_or(QSize(900, 600)));
    SelectionChanged();
}

ResultsWindow::~ResultsWindow() {
    StopReading();
    StopFramesReading();
}

void ResultsWindow::KeepOnScreen() {
    // A stored or default size larger than a small screen would leave part of it off screen.
    const QScreen* shown = screen();
    if (!shown)
        return;
    const QRect room = shown->availableGeometry();
    resize(size().boundedTo(room.size()).expandedTo(minimumSize()));
    QRect placed(pos(), size());
    placed.moveRight(std::min(placed.right(), room.right()));
    placed.moveBottom(std::min(placed.bottom(), room.bottom()));
    placed.moveLeft(std::max(placed.left(), room.left()));
    placed.moveTop(std::max(placed.top(), room.top()));
    move(placed.topLeft());
}

void ResultsWindow::StopReading() {
    stopReader(reader_, stop_, generation_);
}

void ResultsWindow::Open(const QString& folder) {
    StopReading();
    folder_ = folder;
    ++generation_;
    damaged_ = 0;
    ShowFrameTimes({});
    list_->clear();
    entries_.clear();
    chart_->SetSeries({});
    status_->setText(QStringLiteral("Reading %1...").arg(QDir::toNativeSeparators(folder)));
    if (!isVisible())
        KeepOnScreen();
    show();
    raise();
    activateWindow();

    const int generation = generation_;
    reader_ = QThread::create([this, folder, generation] {
        ReadResultsFolder(folder, stop_, [this, generation](std::vector<ListedResult> batch) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, batch = std::move(batch)]() mutable {
                    AddBatch(generation, std::move(batch));
                },
                Qt::QueuedConnection);
        });
    });
    connect(reader_, &QThread::finished, this, [this, generation] {
        if (generation != generation_)
            return;
        reader_->deleteLater();
        reader_ = nullptr;
        status_->setText(QStringLiteral("%1 series in %2%3")
                             .arg(entries_.size() - size_t(damaged_))
                             .arg(QDir::toNativeSeparators(folder_))
                             .arg(damaged_
                                      ? QStringLiteral("; %1 files cannot be used").arg(damaged_)
                                      : QString()));
        emit Listed();
    });
    reader_->start();
}

void ResultsWindow::AddBatch(int generation, std::vector<ListedResult> batch) {
    if (generation != generation_)
        return;
    list_->setUpdatesEnabled(false);
    for (ListedResult& entry : batch) {
        entries_.push_back(std::make_unique<ListedResult>(std::move(entry)));
        const ListedResult& e = *entries_.back();
        auto* item = new ResultItem;
        item->setData(0, EntryRole, QVariant::fromValue<quintptr>(quintptr(&e)));
        if (e.Read.Summary) {
            const DataFileSummary& s = *e.Read.Summary;
            item->setData(0, SortRole, s.Started.toMSecsSinceEpoch());
            item->setText(0, dateText(s.Started));
            item->setText(1, ShownText(s.Note, NoteChars));
            item->setText(2, captionsText(s));
            item->setText(3, meansText(s));
            item->setToolTip(0, QDir::toNativeSeparators(e.Path));
        } else {
            ++damaged_;
            item->setData(0, SortRole, e.Modified.toMSecsSinceEpoch());
            item->setText(0, dateText(e.Modified));
            item->setText(1, e.Read.Problem);
            item->setText(2, QFileInfo(e.Path).fileName());
            item->setToolTip(1, e.Read.Problem);
            // Greyed: listed with its reason, never charted.
            item->setFlags(Qt::NoItemFlags);
        }
        list_->addTopLevelItem(item);
    }
    list_->setUpdatesEnabled(true);
    status_->setText(QStringLiteral("Reading %1... %2 files so far")
                         .arg(QDir::toNativeSeparators(folder_))
                         .arg(entries_.size()));
}

std::vector<const ListedResult*> ResultsWindow::Chosen() const {
    std::vector<const ListedResult*> chosen;
    for (QTreeWidgetItem* item : list_->selectedItems())
        if (const auto* e =
                reinterpret_cast<const ListedResult*>(item->data(0, EntryRole).value<quintptr>());
            e && e->Read.Summary)
            chosen.push_back(e);
    // Older first: the difference is the newer series' against the older one.
    std::sort(chosen.begin(), chosen.end(), [](const ListedResult* a, const ListedResult* b) {
        return a->Read.Summary->Started < b->Read.Summary->Started;
    });
    return chosen;
}

void ResultsWindow::SelectionChanged() {
    const std::vector<const ListedResult*> chosen = Chosen();
    std::vector<ChartSeries> series;
    if (chosen.size() <= 2) {
        for (const ListedResult* e : chosen) {
            const DataFileSummary& s = *e->Read.Summary;
            ChartSeries one{seriesLabel(s), {}};
            for (const DataFileRowSummary& row : s.Rows)
                one.Bars.push_back(ChartBar{row.Caption, row.Mean, row.Min, row.Max});
            series.push_back(std::move(one));
        }
    }
    chart_->SetSeries(std::move(series));
    ShowFrameTimes(chosen.size() <= 2 ? chosen : std::vector<const ListedResult*>{});
    openReport_->setEnabled(chosen.size() == 1 &&
                            QFileInfo::exists(ReportPathForJson(chosen.front()->Path)));
    openFolder_->setEnabled(!folder_.isEmpty());
    saveChart_->setEnabled(!chart_->Series().empty());
}

void ResultsWindow::ShowFrameTimes(const std::vector<const ListedResult*>& chosen) {
    StopFramesReading();
    runs_.clear();
    {
        const QSignalBlocker quiet(runChoice_);
        runChoice_->clear();
    }
    lows_->clear();
    plot_->SetRun({}, {}, std::nullopt);
    sensors_->SetTrace({}, 0, false);
    sensors_->hide();
    const bool shown = std::any_of(chosen.begin(), chosen.end(), [](const ListedResult* e) {
        return hasFrameTimes(*e->Read.Summary);
    });
    const bool sizeNow = shown && !framesSized_;
    if (shown && !framesSized_) {
        // The first time: the plot needs the room more than a few bars do. Later, the
        // splitter keeps what the user made of it.
        framesSized_ = true;
        const int width = std::max(lower_->width(), 2);
        lower_->setSizes({width * 2 / 5, width - width * 2 / 5});
    }
    frames_->setVisible(shown);
    if (!shown)
        return;

    // Per resolution, as the chart groups them: each series' average and lows side by side.
    QStringList headers{QStringLiteral("Resolution")};
    for (std::size_t s = 0; s < chosen.size(); ++s)
        headers << QStringLiteral("Average fps") << QStringLiteral("1% low")
                << QStringLiteral("0.1% low");
    // A last column for the runs whose GPU clock fell, when any run logged its sensors.
    bool sensorsLogged = false;
    for (const ListedResult* e : chosen)
        for (const DataFileRowSummary& row : e->Read.Summary->Rows)
            for (const std::optional<RunFrames>& run : row.RunFrameTimes)
                sensorsLogged = sensorsLogged || (run && !run->Sensors.empty());
    const int clockColumn = sensorsLogged ? int(headers.size()) : -1;
    if (sensorsLogged)
        headers << QStringLiteral("GPU clock");
    lows_->setColumnCount(int(headers.size()));
    lows_->setHeaderLabels(headers);
    QTreeWidgetItem* header = lows_->headerItem();
    if (sensorsLogged)
        header->setToolTip(
            clockColumn, QStringLiteral("The runs whose GPU core clock stayed more than 10 % below "
                                        "its median for more than a second (clock_fell)"));
    for (std::size_t s = 0; s < chosen.size(); ++s) {
        const int first = 1 + 3 * int(s);
        const QString of = chosen.size() > 1
                               ? QStringLiteral(" (%1)").arg(seriesLabel(*chosen[s]->Read.Summary))
                               : QString();
        header->setIcon(first, chosen.size() > 1 ? swatch(SeriesColour(s)) : QIcon());
        header->setToolTip(first, QStringLiteral("The mean frame rate of the runs") + of);
        header->setToolTip(first + 1,
                           QStringLiteral("1000 / the 99th percentile frame time, the mean over "
                                          "the runs (low_1_percentile_fps)") +
                               of);
        header->setToolTip(first + 2,
                           QStringLiteral("1000 / the 99.9th percentile frame time, the mean over "
                                          "the runs (low_01_percentile_fps)") +
                               of);
    }
    for (const ChartGroup& group : chart_->Groups()) {
        auto* item = new QTreeWidgetItem(lows_);
        item->setText(0, ShownText(group.Caption, CaptionChars));
        for (std::size_t s = 0; s < chosen.size(); ++s) {
            const std::vector<DataFileRowSummary>& rows = chosen[s]->Read.Summary->Rows;
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) {
                return r.Caption == group.Caption;
            });
            const bool ran = row != rows.end();
            const std::optional<FrameFigures> figures =
                ran ? row->FrameTimes : std::optional<FrameFigures>();
            const int first = 1 + 3 * int(s);
            item->setText(first, valueOrDash(ran ? row->Mean : std::nullopt));
            item->setText(first + 1, valueOrDash(figures ? std::optional(figures->Percentile1LowFps)
                                                         : std::nullopt));
            item->setText(
                first + 2,
                valueOrDash(figures ? std::optional(figures->Percentile01LowFps) : std::nullopt));
            for (int c = first; c < first + 3; ++c)
                item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        // Throttling is the first reason two runs differ: say which runs' clock fell.
        QStringList fell;
        for (std::size_t s = 0; s < chosen.size(); ++s) {
            for (const DataFileRowSummary& row : chosen[s]->Read.Summary->Rows) {
                if (row.Caption != group.Caption)
                    continue;
                for (std::size_t i = 0; i < row.RunFrameTimes.size(); ++i)
                    if (row.RunFrameTimes[i] && row.RunFrameTimes[i]->ClockFell)
                        fell << (chosen.size() > 1 ? QStringLiteral("%1 run %2")
                                                         .arg(seriesLabel(*chosen[s]->Read.Summary))
                                                         .arg(i + 1)
                                                   : QStringLiteral("run %1").arg(i + 1));
            }
        }
        if (sensorsLogged && !fell.isEmpty())
            item->setText(clockColumn,
                          QStringLiteral("clock fell: ") + fell.join(QStringLiteral(", ")));
    }
    // Shared evenly, the figures' columns need what the widest of them needs.
    int tableWidth = 2 * lows_->frameWidth() + 4;
    int widestFigure = 0;
    for (int c = 0; c < lows_->columnCount(); ++c) {
        lows_->resizeColumnToContents(c);
        if (c == 0)
            tableWidth += lows_->header()->sectionSize(c);
        else
            widestFigure = std::max(widestFigure, lows_->header()->sectionSize(c));
        lows_->header()->setSectionResizeMode(c, c == 0 ? QHeaderView::ResizeToContents
                                                        : QHeaderView::Stretch);
    }
    tableWidth += widestFigure * (lows_->columnCount() - 1);
    const QList<int> sizes = lower_->sizes();
    if (sizeNow || (sizes.size() == 2 && sizes[1] < tableWidth)) {
        // The table whole where the window has the room, the chart keeping its minimum; a
        // panel the user made wider stays so.
        const int width = std::max(lower_->width(), 2);
        const int least = sizeNow ? width - width * 2 / 5 : sizes[1];
        const int panel =
            std::clamp(tableWidth, least,
                       std::max(least, width - chart_->minimumWidth() - lower_->handleWidth()));
        lower_->setSizes({width - panel, panel});
    }
    const int rowHeight = lows_->topLevelItemCount() ? lows_->sizeHintForRow(0) : 0;
    lows_->setFixedHeight(std::min(180, lows_->header()->sizeHint().height() +
                                            rowHeight * lows_->topLevelItemCount() +
                                            2 * lows_->frameWidth() + 2));

    // The runs that have frame times, older series first, in run order.
    for (const ListedResult* e : chosen) {
        for (const DataFileRowSummary& row : e->Read.Summary->Rows) {
            for (std::size_t i = 0; i < row.RunFrameTimes.size(); ++i) {
                const std::optional<RunFrames>& frames = row.RunFrameTimes[i];
                if (!frames || !frames->Figures)
                    continue;
                QString title = QStringLiteral("%1, run %2")
                                    .arg(ShownText(row.Caption, CaptionChars))
                                    .arg(i + 1);
                if (frames->Partial)
                    title += QStringLiteral(" (partial: %1 % of the demo)")
                                 .arg(QString::number(frames->Share * 100, 'f', 0));
                if (chosen.size() > 1)
                    title = dateText(e->Read.Summary->Started) + QStringLiteral(": ") + title;
                runs_.push_back({e, row.Caption, int(i) + 1, *frames->Figures, title, frames->Trace,
                                 frames->ClockFell});
            }
        }
    }
    {
        const QSignalBlocker quiet(runChoice_);
        for (const PlottableRun& run : runs_)
            runChoice_->addItem(run.Title);
    }
    runChoice_->setEnabled(!runs_.empty());
    if (runs_.empty()) {
        plot_->hide();
        framesStatus_->setText(QStringLiteral("No run has frame times."));
        framesStatus_->show();
        return;
    }
    RunChosen(0);
}

void ResultsWindow::RunChosen(int index) {
    StopFramesReading();
    if (index < 0 || std::size_t(index) >= runs_.size())
        return;
    const PlottableRun run = runs_[std::size_t(index)];
    plot_->hide();
    plot_->SetRun(run.Title, {}, std::nullopt);
    sensors_->hide();
    framesStatus_->setText(QStringLiteral("Reading the frame times..."));
    framesStatus_->show();

    // Read only now, and off this thread: a frames file may be long.
    const QString path = FramesCsvPathForReport(ReportPathForJson(run.Entry->Path));
    const int generation = framesGeneration_;
    framesReader_ = QThread::create([this, path, run, generation] {
        FramesFileRead read = ReadFramesFileAt(path, run.Caption, run.Run, &framesStop_);
        QMetaObject::invokeMethod(
            this,
            [this, path, run, generation, read = std::move(read)]() mutable {
                if (generation != framesGeneration_)
                    return;
                QString problem = read.Problem;
                if (read.Ok && read.FrameMs.empty())
                    problem = QStringLiteral("it holds no frames of this run");
                else if (read.Ok && read.FrameMs.size() != std::size_t(run.Figures.Frames))
                    problem = QStringLiteral("it holds %1 frames of this run, the data file %2")
                                  .arg(read.FrameMs.size())
                                  .arg(run.Figures.Frames);
                if (problem.isEmpty()) {
                    const double seconds = ScaleFor(read.FrameMs).Seconds;
                    plot_->SetRun(run.Title, std::move(read.FrameMs), run.Figures);
                    sensors_->SetTrace(run.Trace, seconds, run.ClockFell);
                    sensors_->setVisible(sensors_->HasSensors());
                    framesStatus_->hide();
                    plot_->show();
                } else {
                    framesStatus_->setText(QStringLiteral("The frame times cannot be shown: ") +
                                           QFileInfo(path).fileName() + QStringLiteral(": ") +
                                           problem);
                }
                emit FramesShown();
            },
            Qt::QueuedConnection);
    });
    connect(framesReader_, &QThread::finished, this, [this, generation] {
        if (generation != framesGeneration_)
            return;
        framesReader_->deleteLater();
        framesReader_ = nullptr;
    });
    framesReader_->start();
}

void ResultsWindow::StopFramesReading() {
    stopReader(framesReader_, framesStop_, framesGeneration_);
}

void ResultsWindow::OpenReport() {
    const std::vector<const ListedResult*> chosen = Chosen();
    if (chosen.size() == 1)
        shell_.open(ReportPathForJson(chosen.front()->Path));
}

void ResultsWindow::OpenFolder() {
    if (!folder_.isEmpty())
        shell_.open(folder_);
}

void ResultsWindow::SaveChart() {
    const QString path = chooseSavePath(folder_ + QStringLiteral("chart.png"));
    if (path.isEmpty())
        return;
    const QImage image = chart_->Render(chart_->size().expandedTo(QSize(800, 450)));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    try {
        if (!image.save(&buffer, "PNG"))
            throw AppError(QStringLiteral("The chart could not be made into a PNG image."));
        platform::WriteFileAtomically(path, bytes);
    } catch (const AppError& error) {
        dialogs_.showMessage(error.message());
    }
}

void ResultsWindow::closeEvent(QCloseEvent* event) {
    // The folder is read afresh at the next Open(): nothing read from here on would be shown.
    StopReading();
    StopFramesReading();
    QWidget::closeEvent(event);
}

void ResultsWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    try {
        store_.WriteValueGuarded(SizeValue, QStringLiteral("%1x%2").arg(width()).arg(height()));
    } catch (const AppError& error) {
        qWarning("Results window size not kept: %s", qPrintable(error.message()));
    }
}
