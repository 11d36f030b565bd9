#include "ui/ResultsWindow.h"

#include "game/SettingsStore.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/OutsideFile.h"
#include "platform/SafeFile.h"
#include "platform/Shell.h"
#include "results/DataFiles.h"
#include "ui/ResultsChart.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
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

QString meansText(const ResultSummary& s) {
    QStringList means;
    for (const ResultRowSummary& row : s.Rows)
        means << (row.Mean ? ChartValueText(*row.Mean) : QStringLiteral("-"));
    return means.join(QStringLiteral(" / "));
}

QString captionsText(const ResultSummary& s) {
    QStringList captions;
    for (const ResultRowSummary& row : s.Rows)
        captions << ShownText(row.Caption, CaptionChars);
    return ShownText(captions.join(QStringLiteral(", ")), CaptionsChars);
}

ListedResult readOne(const QString& path, const QDateTime& modified) {
    ListedResult entry{path, modified, {}};
    const platform::OutsideFile file = platform::ReadOutsideFile(path, ResultFileMaxBytes);
    if (file.outcome == platform::OutsideFile::Outcome::TooLarge)
        entry.Read.Problem = QStringLiteral("damaged: ") + file.reason;
    else if (!file.ok())
        entry.Read.Problem = QStringLiteral("unreadable: ") + file.reason;
    else
        entry.Read = ReadResultFile(file.bytes);
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

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(list_);
    splitter->addWidget(chart_);
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

    resize(StoredWindowSize(store_.ReadValue(SizeValue)).value_or(QSize(900, 600)));
    SelectionChanged();
}

ResultsWindow::~ResultsWindow() {
    StopReading();
}

void ResultsWindow::StopReading() {
    if (!reader_)
        return;
    stop_ = true;
    reader_->wait();
    delete reader_;
    reader_ = nullptr;
    stop_ = false;
    // What the stopped reader still queued (batches, its end) is dropped.
    ++generation_;
}

void ResultsWindow::Open(const QString& folder) {
    StopReading();
    folder_ = folder;
    ++generation_;
    damaged_ = 0;
    list_->clear();
    entries_.clear();
    chart_->SetSeries({});
    status_->setText(QStringLiteral("Reading %1...").arg(QDir::toNativeSeparators(folder)));
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
            const ResultSummary& s = *e.Read.Summary;
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
            const ResultSummary& s = *e->Read.Summary;
            ChartSeries one{dateText(s.Started) +
                                (s.Note.isEmpty()
                                     ? QString()
                                     : QStringLiteral(" ") + ShownText(s.Note, NoteChars)),
                            {}};
            for (const ResultRowSummary& row : s.Rows)
                one.Bars.push_back(ChartBar{row.Caption, row.Mean, row.Min, row.Max});
            series.push_back(std::move(one));
        }
    }
    chart_->SetSeries(std::move(series));
    openReport_->setEnabled(chosen.size() == 1 &&
                            QFileInfo::exists(ReportPathForJson(chosen.front()->Path)));
    openFolder_->setEnabled(!folder_.isEmpty());
    saveChart_->setEnabled(!chart_->Series().empty());
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
