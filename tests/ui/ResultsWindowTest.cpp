#include "Recorders.h"
#include "TestSupport.h"

#include "game/SettingsStore.h"
#include "model/SlotTable.h"
#include "platform/Registry.h"
#include "results/DataFiles.h"
#include "ui/FrameTimePlot.h"
#include "ui/ResultsChart.h"
#include "ui/ResultsWindow.h"
#include "ui/SensorPlot.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTreeWidget>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RunRecord run(double fps) {
    RunRecord r;
    r.Text = QString::number(fps);
    r.Fps = fps;
    return r;
}

// A series written as the program writes it: the given frame rates per table row.
SeriesResult series(const QDateTime& started, const QString& note,
                    const std::vector<std::pair<int, std::vector<double>>>& rows) {
    SeriesResult r;
    r.Version = QStringLiteral("1.3.0.0");
    r.Started = started;
    r.Settings.Note = note;
    r.RunCount = 3;
    for (const auto& [slot, rates] : rows) {
        r.Settings.ResolutionChecked[size_t(slot)] = true;
        for (const double fps : rates)
            AddRun(r.Rows, FixedSlots()[size_t(slot)], run(fps));
    }
    return r;
}

QDateTime at(int day, int hour) {
    return QDateTime(QDate(2024, 3, day), QTime(hour, 0), QTimeZone(3600));
}

class ResultsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        regDir = tmp.path() + "/registry/";
        ASSERT_TRUE(
            Registry(RegRoot::LocalMachine, regDir).openKey(SettingsStore::ProgramKey(), true));
        store = std::make_unique<SettingsStore>(regDir);
        folder = tmp.path() + "/results/";
        QDir().mkpath(folder);
    }

    // Three series, a report beside the newest, and three files that cannot be used.
    void writeFixtures() {
        WriteDataFiles(series(at(10, 20), "old driver", {{0, {60, 62, 64}}, {2, {40, 41, 45}}}),
                       folder + "result_a.htm");
        WriteDataFiles(series(at(12, 20), "new driver", {{0, {66, 66, 69}}, {2, {39, 40, 41}}}),
                       folder + "result_b.htm");
        testsupport::writeFile(folder + "result_b.htm", "<html></html>");
        WriteDataFiles(series(at(11, 9), "", {{1, {50}}}), folder + "result_c.htm");
        const QByteArray good = testsupport::readFile(folder + "result_a.json");
        testsupport::writeFile(folder + "result_cut.json", good.left(good.size() / 3));
        QByteArray later = good;
        later.replace("\"format\": 1", "\"format\": 7");
        testsupport::writeFile(folder + "result_later.json", later);
        ASSERT_TRUE(QDir().mkpath(folder + "result_folder.json"));
        testsupport::writeFile(folder + "notes.json", good);
        // The unusable ones are listed by their time on disk: older than every series here.
        for (const char* name : {"result_cut.json", "result_later.json", "result_folder.json"})
            std::filesystem::last_write_time((folder + name).toStdString(),
                                             std::filesystem::file_time_type::clock::now() -
                                                 std::chrono::hours(24 * 365 * 20));
    }

    ResultsWindow& open() {
        window = std::make_unique<ResultsWindow>(*store, shell, dialogs);
        bool listed = false;
        QObject::connect(window.get(), &ResultsWindow::Listed, [&listed] { listed = true; });
        window->Open(folder);
        EXPECT_TRUE(testsupport::waitUntil([&] { return listed; }, 60000));
        return *window;
    }

    QStringList column(int c) const {
        QStringList texts;
        for (int i = 0; i < window->List()->topLevelItemCount(); ++i)
            texts << window->List()->topLevelItem(i)->text(c);
        return texts;
    }

    void select(const QList<int>& rows) {
        window->List()->clearSelection();
        for (const int row : rows)
            window->List()->topLevelItem(row)->setSelected(true);
    }

    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QString::fromLatin1(name));
    }

    QTemporaryDir tmp;
    QString regDir, folder;
    std::unique_ptr<SettingsStore> store;
    RecordingShell shell;
    RecordingDialogs dialogs;
    std::unique_ptr<ResultsWindow> window;
};

TEST_F(ResultsWindowTest, ListsTheSeriesNewestFirstAndTheUnusableOnesGreyedWithTheirReason) {
    writeFixtures();
    open();
    EXPECT_EQ(window->windowTitle(), "Results");
    const QStringList notes = column(1);
    ASSERT_EQ(notes.size(), 6) << "data files only, the unusable ones too";
    EXPECT_EQ(notes.mid(0, 3), QStringList({"new driver", "", "old driver"}))
        << "newest first by their start";
    EXPECT_EQ(column(2)[0], "640 \u00D7 480, 1024 \u00D7 768");
    EXPECT_EQ(column(3)[0], "67.0 / 40.0") << "each resolution's mean";

    QStringList reasons;
    for (int i = 0; i < window->List()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window->List()->topLevelItem(i);
        if (item->flags() == Qt::NoItemFlags)
            reasons << item->text(2) + ": " + item->text(1);
    }
    reasons.sort();
    ASSERT_EQ(reasons.size(), 3);
    EXPECT_TRUE(reasons[0].startsWith("result_cut.json: damaged: not JSON"))
        << reasons[0].toStdString();
    EXPECT_TRUE(reasons[1].startsWith("result_folder.json: unreadable"))
        << reasons[1].toStdString();
    EXPECT_EQ(reasons[2], "result_later.json: unknown format version 7");
}

TEST_F(ResultsWindowTest, OneSeriesIsChartedPerResolutionAndItsReportOpens) {
    writeFixtures();
    open();
    select({0});
    ASSERT_EQ(window->Chart()->Series().size(), 1u);
    const std::vector<ChartGroup>& groups = window->Chart()->Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].Caption, "640 \u00D7 480");
    EXPECT_DOUBLE_EQ(*groups[0].PerSeries[0]->Mean, 67.0);
    EXPECT_DOUBLE_EQ(*groups[0].PerSeries[0]->Min, 66.0);
    EXPECT_DOUBLE_EQ(*groups[0].PerSeries[0]->Max, 69.0);
    EXPECT_FALSE(groups[0].Difference);

    ASSERT_TRUE(button("OpenReport")->isEnabled());
    button("OpenReport")->click();
    button("OpenFolder")->click();
    EXPECT_EQ(shell.opened, QStringList({folder + "result_b.htm", folder}));

    select({1});
    EXPECT_FALSE(button("OpenReport")->isEnabled()) << "no report beside that data file";
}

TEST_F(ResultsWindowTest, TwoSeriesSideBySideWithTheDifferenceAndTheBetterMarked) {
    writeFixtures();
    open();
    select({0, 2}); // new driver and old driver
    const std::vector<ChartGroup>& groups = window->Chart()->Groups();
    ASSERT_EQ(window->Chart()->Series().size(), 2u);
    EXPECT_TRUE(window->Chart()->Series()[0].Label.endsWith("old driver")) << "older first";
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_NEAR(*groups[0].Difference, (67.0 - 62.0) / 62.0 * 100, 1e-9);
    EXPECT_EQ(groups[0].Better, 1);
    EXPECT_NEAR(*groups[1].Difference, (40.0 - 42.0) / 42.0 * 100, 1e-9);
    EXPECT_EQ(groups[1].Better, 0);
    EXPECT_FALSE(button("OpenReport")->isEnabled());

    select({0, 1, 2});
    EXPECT_TRUE(window->Chart()->Series().empty()) << "three are not compared";
}

TEST_F(ResultsWindowTest, TheChartIsSavedAsAPngImage) {
    writeFixtures();
    open();
    select({0});
    const QString target = tmp.path() + "/saved chart.png";
    QString suggested;
    window->chooseSavePath = [&](const QString& s) {
        suggested = s;
        return target;
    };
    button("SaveChart")->click();
    EXPECT_EQ(suggested, folder + "chart.png");
    QImage image;
    ASSERT_TRUE(image.load(target));
    EXPECT_GE(image.width(), 800);
    EXPECT_GE(image.height(), 450);
    // The bars are drawn in their colour.
    int barPixels = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            barPixels += image.pixelColor(x, y) == QColor(47, 123, 216);
    EXPECT_GT(barPixels, 500);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    window->chooseSavePath = [&](const QString&) { return tmp.path() + "/no folder/chart.png"; };
    button("SaveChart")->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains("no folder/chart.png"));
}

TEST_F(ResultsWindowTest, RemembersItsSize) {
    open();
    window->resize(1010, 707);
    window->close();
    EXPECT_EQ(store->ReadValue("ResultsWindowSize"), "1010x707");
    open();
    // Taken as far as the screen has room (the offscreen screen here is smaller), and all of
    // the window on it.
    const QRect room = window->screen()->availableGeometry();
    EXPECT_EQ(window->size(), QSize(1010, 707).boundedTo(room.size()));
    EXPECT_TRUE(room.contains(QRect(window->pos(), window->size())))
        << room.width() << "x" << room.height();
    window.reset();
    store->WriteValue("ResultsWindowSize", "700x500");
    open();
    EXPECT_EQ(window->size(), QSize(700, 500).boundedTo(room.size()));
    EXPECT_EQ(StoredWindowSize("12x9"), std::nullopt);
    EXPECT_EQ(StoredWindowSize("800x600x2"), std::nullopt);
}

TEST_F(ResultsWindowTest, AThousandFilesAreReadInTheBackground) {
    const QByteArray bytes = ResultJsonBytes(series(at(10, 20), "many", {{0, {60, 61, 62}}}));
    for (int i = 0; i < 1000; ++i)
        testsupport::writeFile(folder + QStringLiteral("result_%1.json").arg(i), bytes);
    window = std::make_unique<ResultsWindow>(*store, shell, dialogs);
    bool listed = false;
    QObject::connect(window.get(), &ResultsWindow::Listed, [&listed] { listed = true; });
    window->Open(folder);
    EXPECT_TRUE(window->Listing()) << "Open() hands the reading to a thread and returns";
    EXPECT_EQ(window->List()->topLevelItemCount(), 0) << "nothing was read before Open() returned";
    ASSERT_TRUE(testsupport::waitUntil([&] { return listed; }, 120000));
    EXPECT_EQ(window->List()->topLevelItemCount(), 1000);
    EXPECT_FALSE(window->Listing());
}

// A data file the reader must not wait on or read through: listed greyed, and the window
// (and the program with it) can always be closed.
TEST_F(ResultsWindowTest, LinksAreListedAsUnreadableAndNeverWaitedOn) {
    writeFixtures();
    const QByteArray fifo = QFile::encodeName(tmp.path() + "/fifo");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(tmp.path() + "/fifo", folder + "result_fifo.json"));
    ASSERT_TRUE(QFile::link(folder + "result_a.json", folder + "result_link.json"));

    window = std::make_unique<ResultsWindow>(*store, shell, dialogs);
    bool listed = false;
    QObject::connect(window.get(), &ResultsWindow::Listed, [&listed] { listed = true; });
    window->Open(folder);
    const bool done = testsupport::waitUntil([&] { return listed; }, 20000);
    if (!done) {
        // Give the waiting reader a writer and an end, so that the test fails and ends.
        const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    ASSERT_TRUE(done) << "the reader waited on the FIFO";

    QStringList reasons;
    for (int i = 0; i < window->List()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window->List()->topLevelItem(i);
        if (item->flags() == Qt::NoItemFlags)
            reasons << item->text(2) + ": " + item->text(1);
    }
    EXPECT_TRUE(reasons.contains("result_fifo.json: unreadable: a symbolic link"))
        << reasons.join(" | ").toStdString();
    EXPECT_TRUE(reasons.contains("result_link.json: unreadable: a symbolic link"));
    EXPECT_EQ(window->List()->topLevelItemCount(), 8);
}

TEST_F(ResultsWindowTest, ClosingTheWindowStopsTheReading) {
    const QByteArray bytes = ResultJsonBytes(series(at(10, 20), "many", {{0, {60, 61, 62}}}));
    for (int i = 0; i < 2000; ++i)
        testsupport::writeFile(folder + QStringLiteral("result_%1.json").arg(i), bytes);
    window = std::make_unique<ResultsWindow>(*store, shell, dialogs);
    bool listed = false;
    QObject::connect(window.get(), &ResultsWindow::Listed, [&listed] { listed = true; });
    window->Open(folder);
    ASSERT_TRUE(window->Listing());
    window->close();
    EXPECT_FALSE(window->Listing()) << "the reading thread has ended with the window";
    QCoreApplication::processEvents();
    EXPECT_FALSE(listed) << "nothing it had queued is shown";
    EXPECT_LT(window->List()->topLevelItemCount(), 2000);

    window->Open(folder);
    ASSERT_TRUE(testsupport::waitUntil([&] { return listed; }, 120000));
    EXPECT_EQ(window->List()->topLevelItemCount(), 2000) << "read afresh when opened again";
}

// A series written as the program writes it, with one member put in by hand.
QByteArray withMember(QByteArray json, const QByteArray& member, const QByteArray& value) {
    const qsizetype at = json.indexOf("\"" + member + "\": ");
    EXPECT_GE(at, 0);
    const qsizetype start = at + member.size() + 4;
    qsizetype end = start;
    while (end < json.size() && json[end] != ',' && json[end] != '\n')
        ++end;
    json.replace(start, end - start, value);
    return json;
}

TEST_F(ResultsWindowTest, LongTextsAreCutAndHugeValuesStillCharted) {
    QByteArray json = ResultJsonBytes(series(at(10, 20), "x", {{0, {60, 61, 62}}}));
    json = withMember(json, "note", "\"" + QByteArray(900000, 'n') + "\"");
    json = withMember(json, "caption", "\"" + QByteArray(50000, 'c') + "\\nsecond line\"");
    json = withMember(json, "mean", "1e308");
    json = withMember(json, "max", "1.7976931348623157e308");
    testsupport::writeFile(folder + "result_huge.json", json);
    open();
    ASSERT_EQ(window->List()->topLevelItemCount(), 1);
    const QTreeWidgetItem* item = window->List()->topLevelItem(0);
    ASSERT_NE(item->flags(), Qt::NoItemFlags) << item->text(1).left(200).toStdString();
    EXPECT_LE(item->text(1).size(), 201) << "the note is cut";
    EXPECT_TRUE(item->text(1).endsWith(QChar(0x2026)));
    EXPECT_LE(item->text(2).size(), 301) << "the captions are cut";
    EXPECT_FALSE(item->text(2).contains('\n'));
    EXPECT_EQ(item->text(3), "1e+308");

    select({0});
    ASSERT_EQ(window->Chart()->Series().size(), 1u);
    EXPECT_LE(window->Chart()->Series()[0].Label.size(), 240);
    const QImage image = window->Chart()->Render(QSize(800, 450));
    int barPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            barPixels += image.pixelColor(x, y) == QColor(47, 123, 216);
    EXPECT_GT(barPixels, 2000) << "a mean of 1e308 is drawn as a bar";
}

// 1000 frames of 10 ms, every `every`-th one 40 ms.
std::vector<float> spikyFrames(int every) {
    std::vector<float> ms(1000, 10.0f);
    for (std::size_t i = std::size_t(every); i <= ms.size(); i += std::size_t(every))
        ms[i - 1] = 40.0f;
    return ms;
}

// A series that recorded frame times on two rows: the first run of each learns, two have them.
SeriesResult framesSeries(const QDateTime& started, const QString& note, int every) {
    SeriesResult r = series(started, note, {});
    for (const int slot : {0, 2}) {
        r.Settings.ResolutionChecked[size_t(slot)] = true;
        RunRecord learning = run(60);
        learning.Frames = RunFrames{{}, QStringLiteral("the first run learns"), false, 0, {}};
        AddRun(r.Rows, FixedSlots()[size_t(slot)], learning);
        for (const double fps : {61.0, 62.0}) {
            RunRecord recorded = run(fps);
            const std::vector<float> ms = spikyFrames(every);
            recorded.Frames = RunFrames{ComputeFrameFigures(ms), {}, fps == 62.0, 0.8, ms};
            AddRun(r.Rows, FixedSlots()[size_t(slot)], recorded);
        }
    }
    return r;
}

class ResultsFramesTest : public ResultsWindowTest {
protected:
    // Selects the rows and waits until the chosen run's frames are shown (or why not).
    void selectAndWait(const QList<int>& rows) {
        bool shown = false;
        const QMetaObject::Connection c =
            QObject::connect(window.get(), &ResultsWindow::FramesShown, [&shown] { shown = true; });
        select(rows);
        EXPECT_TRUE(testsupport::waitUntil([&] { return shown; }, 30000));
        QObject::disconnect(c);
    }

    QList<QStringList> lows() const {
        QList<QStringList> table;
        QTreeWidget* lows = window->Lows();
        QStringList header;
        for (int c = 0; c < lows->columnCount(); ++c)
            header << lows->headerItem()->text(c);
        table << header;
        for (int i = 0; i < lows->topLevelItemCount(); ++i) {
            QStringList line;
            for (int c = 0; c < lows->columnCount(); ++c)
                line << lows->topLevelItem(i)->text(c);
            table << line;
        }
        return table;
    }

    QStringList runChoices() const {
        QStringList items;
        for (int i = 0; i < window->RunChoice()->count(); ++i)
            items << window->RunChoice()->itemText(i);
        return items;
    }

    QImage settledImage() {
        QCoreApplication::processEvents();
        return window->grab().toImage();
    }
};

TEST_F(ResultsFramesTest, OneSeriesShowsItsLowsAndThePlotOfAChosenRun) {
    writeFixtures();
    WriteDataFiles(framesSeries(at(13, 20), "frames", 100), folder + "result_f.htm");
    open();
    ASSERT_EQ(column(1)[0], "frames");
    selectAndWait({0});
    EXPECT_TRUE(window->FramesPanel()->isVisible());
    const QString sd = QStringLiteral("640 \u00D7 480"), xga = QStringLiteral("1024 \u00D7 768");
    // 1000 frames with 10 spikes: the 99th percentile is 10 ms, the 99.9th 40 ms.
    EXPECT_EQ(lows(), (QList<QStringList>{{"Resolution", "Average fps", "1% low", "0.1% low"},
                                          {sd, "61.0", "100.0", "25.0"},
                                          {xga, "61.0", "100.0", "25.0"}}));
    EXPECT_TRUE(window->Lows()->headerItem()->toolTip(2).contains("low_1_percentile_fps"));
    EXPECT_EQ(runChoices(),
              QStringList({sd + ", run 2", sd + ", run 3 (partial: 80 % of the demo)",
                           xga + ", run 2", xga + ", run 3 (partial: 80 % of the demo)"}))
        << "the learning runs have no frame times";

    // The first run with frame times is plotted with its lows.
    EXPECT_TRUE(window->Plot()->isVisible());
    EXPECT_FALSE(window->FramesStatus()->isVisible());
    EXPECT_EQ(window->Plot()->Title(), sd + ", run 2");
    EXPECT_EQ(window->Plot()->Frames(), spikyFrames(100));
    ASSERT_TRUE(window->Plot()->Figures());
    EXPECT_DOUBLE_EQ(window->Plot()->Figures()->Percentile1LowFps, 100.0);
    EXPECT_DOUBLE_EQ(window->Plot()->Figures()->Percentile01LowFps, 25.0);

    // Another run is read when it is chosen.
    bool shown = false;
    QObject::connect(window.get(), &ResultsWindow::FramesShown, [&shown] { shown = true; });
    window->RunChoice()->setCurrentIndex(3);
    EXPECT_TRUE(window->ReadingFrames() || shown);
    ASSERT_TRUE(testsupport::waitUntil([&] { return shown; }, 30000));
    EXPECT_EQ(window->Plot()->Title(), xga + ", run 3 (partial: 80 % of the demo)");
    EXPECT_EQ(window->Plot()->Frames().size(), 1000u);

    // Three chosen are not compared: nothing beside the chart.
    select({0, 1, 2});
    EXPECT_FALSE(window->FramesPanel()->isVisible());
    EXPECT_FALSE(window->ReadingFrames());
}

// Runs that logged MangoHud's sensors: the GPU clock and the loads under the frame times, and
// the runs whose clock fell named in the lows table.
TEST_F(ResultsFramesTest, TheSensorsOfARunAreDrawnUnderItsFrameTimes) {
    writeFixtures();
    SeriesResult r = framesSeries(at(13, 20), "sensors", 100);
    const float none = std::nanf("");
    for (RowRecord& row : r.Rows) {
        for (std::size_t i = 1; i < row.Runs.size(); ++i) {
            RunFrames& frames = *row.Runs[i].Frames;
            const bool fell = i == 2;
            for (int p = 0; p < 40; ++p) {
                frames.Trace.Seconds.push_back(0.25f * float(p));
                frames.Trace.GpuClock.push_back(fell && p > 20 && p < 30 ? 1200 : 1800);
                frames.Trace.CpuLoad.push_back(float(30 + p));
                frames.Trace.GpuLoad.push_back(none); // no sensor
            }
            frames.Sensors = {{"gpu_core_clock", 1800, 1800}, {"cpu_load", 50, 69}};
            frames.ClockFell = fell;
        }
    }
    WriteDataFiles(r, folder + "result_s.htm");
    open();
    selectAndWait({0});
    const QString sd = QStringLiteral("640 \u00D7 480"), xga = QStringLiteral("1024 \u00D7 768");
    EXPECT_EQ(lows(),
              (QList<QStringList>{{"Resolution", "Average fps", "1% low", "0.1% low", "GPU clock"},
                                  {sd, "61.0", "100.0", "25.0", "clock fell: run 3"},
                                  {xga, "61.0", "100.0", "25.0", "clock fell: run 3"}}));
    EXPECT_TRUE(window->Lows()->headerItem()->toolTip(4).contains("clock_fell"));
    ASSERT_TRUE(window->Sensors()->isVisible());
    EXPECT_EQ(window->Sensors()->Trace().Seconds.size(), 40u);
    EXPECT_EQ(window->Sensors()->Trace().GpuClock[25], 1800.0f) << "run 2: steady";

    // The run whose clock fell: its trace, drawn under its frame times.
    bool shown = false;
    QObject::connect(window.get(), &ResultsWindow::FramesShown, [&shown] { shown = true; });
    window->RunChoice()->setCurrentIndex(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return shown; }, 30000));
    ASSERT_TRUE(window->Sensors()->isVisible());
    EXPECT_EQ(window->Sensors()->Trace().GpuClock[25], 1200.0f);
    const QImage strip = window->Sensors()->Render(QSize(640, 150));
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                   std::abs(a.blue() - b.blue()) <
               60;
    };
    int clockPixels = 0, cpuPixels = 0;
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x) {
            clockPixels += near(strip.pixelColor(x, y), GpuClockColour());
            cpuPixels += near(strip.pixelColor(x, y), CpuLoadColour());
        }
    EXPECT_GT(clockPixels, 100);
    EXPECT_GT(cpuPixels, 100);
    if (const QByteArray shot = qgetenv("VARNHOLT_SCREENSHOT"); !shot.isEmpty())
        settledImage().save(QString::fromLocal8Bit(shot));

    // A series without sensors has neither.
    select({1});
    EXPECT_FALSE(window->Sensors()->isVisible());
}

TEST_F(ResultsFramesTest, ASeriesWithoutFrameTimesLooksAsBefore) {
    writeFixtures();
    WriteDataFiles(framesSeries(at(13, 20), "frames", 100), folder + "result_f.htm");
    open();
    QStringList headers;
    for (int c = 0; c < window->List()->columnCount(); ++c)
        headers << window->List()->headerItem()->text(c);
    EXPECT_EQ(headers, QStringList({"Date", "Note", "Resolutions", "Average fps"}));

    select({1}); // "new driver", format 1
    EXPECT_FALSE(window->FramesPanel()->isVisible());
    const QImage before = settledImage();
    const QRect chart = window->Chart()->geometry();
    EXPECT_EQ(chart.width(), window->Chart()->parentWidget()->width())
        << "the chart takes the whole width, as it did";

    selectAndWait({0});
    EXPECT_TRUE(window->FramesPanel()->isVisible());
    EXPECT_LT(window->Chart()->width(), chart.width());

    select({1});
    EXPECT_FALSE(window->FramesPanel()->isVisible());
    const QImage after = settledImage();
    EXPECT_EQ(window->Chart()->geometry(), chart);
    EXPECT_EQ(after, before) << "the window shows a format-1 series as it did";
}

TEST_F(ResultsFramesTest, TwoSeriesShowTheirLowsSideBySide) {
    writeFixtures();
    WriteDataFiles(framesSeries(at(13, 20), "every 100", 100), folder + "result_f.htm");
    WriteDataFiles(framesSeries(at(14, 20), "every 50", 50), folder + "result_g.htm");
    open();
    ASSERT_EQ(column(1).mid(0, 2), QStringList({"every 50", "every 100"}));
    const QString sd = QStringLiteral("640 \u00D7 480"), xga = QStringLiteral("1024 \u00D7 768");
    selectAndWait({0, 1});
    // Older first, as the chart has them; 20 spikes in 1000 frames reach the 99th percentile.
    EXPECT_EQ(lows(), (QList<QStringList>{{"Resolution", "Average fps", "1% low", "0.1% low",
                                           "Average fps", "1% low", "0.1% low"},
                                          {sd, "61.0", "100.0", "25.0", "61.0", "25.0", "25.0"},
                                          {xga, "61.0", "100.0", "25.0", "61.0", "25.0", "25.0"}}));
    EXPECT_FALSE(window->Lows()->headerItem()->icon(1).isNull()) << "in the chart's colours";
    EXPECT_FALSE(window->Lows()->headerItem()->icon(4).isNull());
    EXPECT_TRUE(window->Lows()->headerItem()->toolTip(4).contains("every 50"));
    const QStringList runs = runChoices();
    ASSERT_EQ(runs.size(), 8);
    EXPECT_EQ(runs[0], column(0)[1] + ": " + sd + ", run 2");
    EXPECT_EQ(runs[7], column(0)[0] + ": " + xga + ", run 3 (partial: 80 % of the demo)");

    // Beside a series of format 1: its averages, and no lows.
    selectAndWait({0, 4}); // "every 50" and "old driver"
    const QList<QStringList> mixed = lows();
    ASSERT_EQ(mixed.size(), 3);
    EXPECT_EQ(mixed[1], QStringList({sd, "62.0", "-", "-", "61.0", "25.0", "25.0"}));
    EXPECT_EQ(mixed[2], QStringList({xga, "42.0", "-", "-", "61.0", "25.0", "25.0"}));
    EXPECT_EQ(runChoices().size(), 4);

    // One series again: its columns are no longer marked.
    selectAndWait({0});
    EXPECT_EQ(lows().first().size(), 4);
    EXPECT_TRUE(window->Lows()->headerItem()->icon(1).isNull());
}

// Two series with frame times at the window's default and smallest sizes: the lows table keeps
// its last column in view, and chart and panel share the width without overlapping. With
// VARNHOLT_SHOTS set, the window is saved there as PNGs to look at.
TEST_F(ResultsFramesTest, TwoSeriesFitTheDefaultAndTheSmallestSize) {
    writeFixtures();
    WriteDataFiles(framesSeries(at(13, 20), "every 100", 100), folder + "result_f.htm");
    WriteDataFiles(framesSeries(at(14, 20), "every 50", 50), folder + "result_g.htm");
    open();
    window->show();
    selectAndWait({0, 1});
    for (const QSize& size : {QSize(900, 600), window->minimumSize()}) {
        SCOPED_TRACE(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
        window->resize(size);
        const QImage shot = settledImage();
        if (const QString shots = qEnvironmentVariable("VARNHOLT_SHOTS"); !shots.isEmpty())
            shot.save(QStringLiteral("%1/results-%2x%3.png")
                          .arg(shots)
                          .arg(size.width())
                          .arg(size.height()));
        ASSERT_EQ(window->size(), size);
        QTreeWidget* lows = window->Lows();
        const int last = lows->columnCount() - 1;
        EXPECT_LE(lows->header()->sectionViewportPosition(last) + lows->header()->sectionSize(last),
                  lows->viewport()->width())
            << "the last column is in view";
        const QRect chart = window->Chart()->geometry();
        const QRect panel = window->FramesPanel()->geometry();
        EXPECT_FALSE(chart.intersects(panel));
        EXPECT_GE(window->Chart()->width(), window->Chart()->minimumSizeHint().width());
    }
}

TEST_F(ResultsFramesTest, AFramesFileThatCannotBeUsedIsToldAndNeverWaitedOn) {
    const struct {
        const char* stamp;
        std::function<void(const QString& path)> spoil;
        const char* status;
    } cases[] = {
        {"missing", [](const QString& path) { QFile::remove(path); },
         "result_missing.frames.csv: No such file or directory"},
        {"damaged",
         [](const QString& path) {
             QByteArray bytes = testsupport::readFile(path);
             bytes.replace(",2,10,10\r\n", ",2,10,ten\r\n");
             testsupport::writeFile(path, bytes);
         },
         "result_damaged.frames.csv: line 11: the milliseconds are no frame time"},
        {"fewer",
         [](const QString& path) {
             SeriesResult shorter = framesSeries(at(1, 1), "", 100);
             shorter.Rows[0].Runs[1].Frames->FrameMs.resize(10);
             testsupport::writeFile(path, FramesCsvBytes(shorter.Rows));
         },
         "result_fewer.frames.csv: it holds 10 frames of this run, the data file 1000"},
        // More frames than the data file names are no more this run's than fewer.
        {"more",
         [](const QString& path) {
             SeriesResult longer = framesSeries(at(1, 1), "", 100);
             longer.Rows[0].Runs[1].Frames->FrameMs.resize(1001, 10.0f);
             testsupport::writeFile(path, FramesCsvBytes(longer.Rows));
         },
         "result_more.frames.csv: it holds 1001 frames of this run, the data file 1000"},
        {"fifo",
         [](const QString& path) {
             QFile::remove(path);
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         },
         "result_fifo.frames.csv: not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp);
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::System))
            QFile::remove(folder + name);
        const QString report = folder + "result_" + c.stamp + ".htm";
        WriteDataFiles(framesSeries(at(13, 20), c.stamp, 100), report);
        c.spoil(FramesCsvPathForReport(report));
        open();
        selectAndWait({0});
        EXPECT_FALSE(window->Plot()->isVisible());
        EXPECT_TRUE(window->FramesStatus()->isVisible());
        EXPECT_EQ(window->FramesStatus()->text(),
                  QStringLiteral("The frame times cannot be shown: ") + c.status);
        EXPECT_EQ(lows().size(), 3) << "the lows come from the data file";
    }
}

TEST(ResultsChart, TheAxisIsFiniteForEveryHighestValue) {
    for (const double highest :
         {0.0, -5.0, 0.4, 60.0, 66.6, 999.9, 1e6, 1e308, std::numeric_limits<double>::max(),
          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(highest);
        const ValueAxis axis = ValueAxisFor(highest);
        EXPECT_TRUE(std::isfinite(axis.step) && axis.step > 0);
        EXPECT_TRUE(std::isfinite(axis.top));
        if (std::isfinite(highest)) {
            EXPECT_GE(axis.top, highest);
        }
        EXPECT_LE(axis.top / axis.step, 12.0);
    }
    EXPECT_EQ(ValueAxisFor(60).top, 80.0);
    EXPECT_EQ(ChartValueText(61.24), "61.2");
    EXPECT_EQ(ChartValueText(1e308), "1e+308");
}

TEST(ResultsChart, TheDifferenceIsSignedAsItIsAndATieIsNoWin) {
    const struct {
        double percent;
        const char* text;
    } texts[] = {{5.0, "+5.0 %"}, {-0.2, "-0.2 %"}, {-0.04, "0.0 %"}, {0.04, "0.0 %"},
                 {-0.0, "0.0 %"}, {0.0, "0.0 %"},   {0.05, "+0.1 %"}, {-12.34, "-12.3 %"}};
    for (const auto& t : texts)
        EXPECT_EQ(DifferenceText(t.percent), t.text) << t.percent;

    const std::vector<ChartGroup> close = GroupByResolution(
        {{"a", {{"640", 100.0, 99.0, 101.0}}}, {"b", {{"640", 99.98, 99.0, 101.0}}}});
    ASSERT_TRUE(close[0].Difference);
    EXPECT_EQ(DifferenceText(*close[0].Difference), "0.0 %");
    EXPECT_EQ(close[0].Better, -1) << "equal as shown: no bar is marked";
}

// The newer series' difference: green when it is faster, red when slower.
TEST(ResultsChart, TheDifferenceIsColouredByBetterOrWorse) {
    const auto colours = [](double older, double newer) {
        ResultsChart chart;
        chart.SetSeries(
            {{"older", {{"640", older, older, older}}}, {"newer", {{"640", newer, newer, newer}}}});
        const QImage image = chart.Render(QSize(800, 450));
        // The band of the difference text, below the captions.
        std::pair<int, int> greenAndRed{0, 0};
        for (int y = image.height() - 40; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                greenAndRed.first += c.green() > c.red() + 60;
                greenAndRed.second += c.red() > c.green() + 60;
            }
        return greenAndRed;
    };
    const auto faster = colours(60, 66);
    EXPECT_GT(faster.first, 10);
    EXPECT_EQ(faster.second, 0);
    const auto slower = colours(60, 59.88);
    EXPECT_EQ(slower.first, 0) << "a slowdown is not green";
    EXPECT_GT(slower.second, 10);
    const auto tie = colours(60, 60.01);
    EXPECT_EQ(tie.first, 0);
    EXPECT_EQ(tie.second, 0);
}

// Two labels of one day that do not fit side by side go one above the other, whole, instead of
// both being cut to the same "2026-12-11 07:…".
TEST(ResultsChart, TheLegendKeepsTheLabelsApart) {
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics fm(font);
    const QStringList labels = {"2026-12-11 07:30 before the driver update",
                                "2026-12-11 07:45 after the driver update"};
    const int both = fm.horizontalAdvance(labels[0]) + fm.horizontalAdvance(labels[1]) + 80;

    const std::vector<LegendPlace> wide = LayOutLegend(labels, fm, 50, 50 + both);
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].Row, 0);
    EXPECT_EQ(wide[1].Row, 0);
    EXPECT_GT(wide[1].Left, wide[0].Left + fm.horizontalAdvance(labels[0]));
    EXPECT_EQ(wide[0].Text, labels[0]);
    EXPECT_EQ(wide[1].Text, labels[1]);

    const int one = std::max(fm.horizontalAdvance(labels[0]), fm.horizontalAdvance(labels[1]));
    const std::vector<LegendPlace> narrow = LayOutLegend(labels, fm, 50, 50 + one + 20);
    ASSERT_EQ(narrow.size(), 2u);
    EXPECT_EQ(narrow[0].Row, 0);
    EXPECT_EQ(narrow[1].Row, 1);
    EXPECT_EQ(narrow[1].Left, 50);
    EXPECT_EQ(narrow[0].Text, labels[0]) << "whole";
    EXPECT_EQ(narrow[1].Text, labels[1]) << "whole";

    // Too narrow for even one: each is cut to the whole width, on its own line.
    const std::vector<LegendPlace> tight = LayOutLegend(labels, fm, 50, 50 + one / 2);
    EXPECT_EQ(tight[1].Row, 1);
    EXPECT_TRUE(tight[1].Text.endsWith(QChar(0x2026)));
    EXPECT_LE(fm.horizontalAdvance(tight[1].Text), one / 2 - 14);

    EXPECT_EQ(LayOutLegend({"one series"}, fm, 0, 400).size(), 1u) << "a saved chart names it";
}

TEST(ResultsChart, ComparedSizesGoSmallestFirst) {
    const QString x = QString::fromUtf8(" \u00D7 ");
    const std::vector<ChartSeries> two = {
        {"a", {{"1024" + x + "768", 40.0, 40.0, 40.0}, {"640" + x + "480", 60.0, 60.0, 60.0}}},
        {"b",
         {{"1920" + x + "1080", 30.0, 30.0, 30.0},
          {"800" + x + "600", 50.0, 50.0, 50.0},
          {"1366" + x + "768 (Custom)", 35.0, 35.0, 35.0}}},
    };
    QStringList order;
    for (const ChartGroup& g : GroupByResolution(two))
        order << g.Caption;
    EXPECT_EQ(order, QStringList({"640" + x + "480", "800" + x + "600", "1024" + x + "768",
                                  "1366" + x + "768 (Custom)", "1920" + x + "1080"}));
}

TEST(ResultsChart, ShownTextIsOneLineAndCut) {
    EXPECT_EQ(ShownText("short", 10), "short");
    EXPECT_EQ(ShownText("a\nb\tc\r", 10), "a b c ");
    EXPECT_EQ(ShownText("abcdefghijk", 10), QString("abcdefghij") + QChar(0x2026));
    EXPECT_EQ(ShownText(QString(1000000, 'x'), 200).size(), 201);
}

TEST(ResultsChart, GroupsFollowTheResolutionsOfBothSeries) {
    const std::vector<ChartSeries> two = {
        {"a", {{"640", 60.0, 58.0, 62.0}, {"800", 50.0, 50.0, 50.0}, {"1024", {}, {}, {}}}},
        {"b", {{"800", 55.0, 54.0, 56.0}, {"1280", 30.0, 30.0, 30.0}, {"1024", 40.0, 40.0, 40.0}}},
    };
    const std::vector<ChartGroup> groups = GroupByResolution(two);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].Caption, "640");
    EXPECT_FALSE(groups[0].PerSeries[1]) << "b did not run 640";
    EXPECT_FALSE(groups[0].Difference);
    EXPECT_EQ(groups[1].Caption, "800");
    EXPECT_DOUBLE_EQ(*groups[1].Difference, 10.0);
    EXPECT_EQ(groups[1].Better, 1);
    EXPECT_EQ(groups[2].Caption, "1024");
    EXPECT_FALSE(groups[2].Difference) << "a had no result there";
    EXPECT_EQ(groups[2].Better, -1);
    EXPECT_EQ(groups[3].Caption, "1280");

    const std::vector<ChartGroup> equal =
        GroupByResolution({{"a", {{"640", 60.0, 60.0, 60.0}}}, {"b", {{"640", 60.0, 60.0, 60.0}}}});
    EXPECT_DOUBLE_EQ(*equal[0].Difference, 0.0);
    EXPECT_EQ(equal[0].Better, -1) << "neither is better";
}

} // namespace
