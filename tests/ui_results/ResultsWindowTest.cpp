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
#include <filesystem>
#include <gtest/gtest.h>

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
