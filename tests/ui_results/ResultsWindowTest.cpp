#include "Recorders.h"
#include "TestSupport.h"

#include "game/SettingsStore.h"
#include "model/SlotTable.h"
#include "platform/Registry.h"
#include "results/DataFiles.h"
#include "ui/ResultsChart.h"
#include "ui/ResultsWindow.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
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
    EXPECT_EQ(window->size(), QSize(1010, 707));
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
