#include "SchemaCheck.h"
#include "SeriesFixture.h"

#include "results/DataFileReader.h"
#include "results/DataFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimeZone>

namespace {

// Series whose games report frame rates the test chose, and the data files beside the report.
class DataFilesSeries : public SeriesFixture {
protected:
    void SetUp() override {
        SeriesFixture::SetUp();
        qunsetenv("VARNHOLT_TESTBED_FPS");
    }
    void TearDown() override {
        qunsetenv("VARNHOLT_TESTBED_FPS");
        SeriesFixture::TearDown();
    }

    RunSequencer& fixedClockSequencer() {
        if (!fixed_) {
            SeriesContext ctx{view,         dialogs, shell, *store_, *detection_,
                              *preparation, facts,   paths, timings};
            ctx.now = [] {
                return QDateTime(QDate(2024, 3, 18), QTime(21, 5, 33), QTimeZone(3600));
            };
            fixed_ = std::make_unique<RunSequencer>(ctx);
        }
        return *fixed_;
    }

    std::unique_ptr<RunSequencer> fixed_;
};

TEST_F(DataFilesSeries, EveryRunIsKeptWithTheRowFiguresAndTheReportsAverage) {
    startClient();
    // Row 0: three results; row 2: none, then 45.5 and 44.5 (rounded to 46 and 44).
    qputenv("VARNHOLT_TESTBED_FPS", "61.23,62.5,62,-,45.5,44.5");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    view.settings.ResolutionChecked[0] = true;
    view.settings.ResolutionChecked[2] = true;
    view.settings.RunCount = 3;
    view.settings.Note = QStringLiteral("known rates");
    runSeries();
    ASSERT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    const RunState& state = sequencer().State();
    ASSERT_FALSE(state.ReportPath.isEmpty());
    EXPECT_EQ(state.DataPath, JsonPathForReport(state.ReportPath));
    EXPECT_EQ(shell.opened, QStringList{state.ReportPath}) << "only the report is opened";
    EXPECT_EQ(QDir(results).entryList(QDir::Files).size(), 3);

    const QJsonObject json =
        QJsonDocument::fromJson(testsupport::readFile(state.DataPath)).object();
    EXPECT_EQ(json["note"].toString(), "known rates");
    EXPECT_EQ(json["options"].toObject()["runs"].toInt(), 3);
    EXPECT_EQ(json["machine"].toObject()["cpu"].toString(), "Test CPU");
    const QJsonArray rows = json["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);

    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first["caption"].toString(), "640 \u00D7 480");
    EXPECT_EQ(first["count"].toInt(), 3);
    EXPECT_NEAR(first["mean"].toDouble(), 61.91, 1e-9);
    EXPECT_DOUBLE_EQ(first["min"].toDouble(), 61.23);
    EXPECT_DOUBLE_EQ(first["max"].toDouble(), 62.5);
    EXPECT_NEAR(first["stddev"].toDouble(), 0.6397655820689342, 1e-12);
    EXPECT_EQ(first["average"].toInt(), 61);
    EXPECT_EQ(first["runs"].toArray()[1].toObject()["text"].toString(), "62.50")
        << "the score text as the game wrote it";

    const QJsonObject second = rows[1].toObject();
    const QJsonArray secondRuns = second["runs"].toArray();
    ASSERT_EQ(secondRuns.size(), 3);
    EXPECT_TRUE(secondRuns[0].toObject()["fps"].isNull());
    EXPECT_TRUE(secondRuns[0].toObject()["text"].isNull());
    EXPECT_EQ(second["count"].toInt(), 2);
    EXPECT_DOUBLE_EQ(second["mean"].toDouble(), 45.0);
    EXPECT_NEAR(second["stddev"].toDouble(), 0.7071067811865476, 1e-12);
    EXPECT_EQ(second["average"].toInt(), 30) << "(46 + 44) / 3, as the report divides";

    // The report's own averages are the same numbers.
    const QString report = QString::fromLatin1(testsupport::readFile(state.ReportPath));
    QStringList averages;
    static const QRegularExpression average(QStringLiteral("Average score = (\\d+) FPS"));
    for (auto it = average.globalMatch(report); it.hasNext();)
        averages << it.next().captured(1);
    EXPECT_EQ(averages, (QStringList{"61", "30"}));

    EXPECT_EQ(testsupport::readFile(state.CsvPath),
              QString("resolution,run,fps,played_width,played_height\r\n"
                      "640 \u00D7 480,1,61.23,,\r\n640 \u00D7 480,2,62.5,,\r\n"
                      "640 \u00D7 480,3,62,,\r\n1024 \u00D7 768,1,,,\r\n"
                      "1024 \u00D7 768,2,45.5,,\r\n1024 \u00D7 768,3,44.5,,\r\n")
                  .toUtf8());
    EXPECT_EQ(testsupport::schemaProblems({state.DataPath}), QString());
    QLocale::setDefault(QLocale::c());
}

TEST_F(DataFilesSeries, NoReportNoDataFiles) {
    startClient();
    qputenv("VARNHOLT_TESTBED_FPS", "-");
    view.settings.ResolutionChecked[0] = true;
    runSeries();
    EXPECT_EQ(view.status, QStringLiteral("Benchmark aborted!"));
    EXPECT_TRUE(sequencer().State().DataPath.isEmpty());
    EXPECT_EQ(QDir(results).entryList(QDir::Files), QStringList());
    ASSERT_EQ(sequencer().State().Rows.size(), 1u) << "the run is still kept";
    EXPECT_FALSE(sequencer().State().Rows[0].Runs[0].Text);
}

TEST_F(DataFilesSeries, DataFilesThatCannotBeWrittenAreToldAndLeaveTheReport) {
    startClient();
    view.settings.ResolutionChecked[0] = true;
    fixedClockSequencer().RunClicked();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !fixedClockSequencer().SeriesRunning(); }));
    const QString reportPath = fixedClockSequencer().State().ReportPath;
    ASSERT_FALSE(reportPath.isEmpty());
    const QByteArray firstReport = testsupport::readFile(reportPath);

    // The same stamp again, with a folder where the data file would go.
    ASSERT_TRUE(QFile::remove(JsonPathForReport(reportPath)));
    ASSERT_TRUE(QDir().mkpath(JsonPathForReport(reportPath)));
    dialogs.messages.clear();
    fixedClockSequencer().RunClicked();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !fixedClockSequencer().SeriesRunning(); }));

    EXPECT_EQ(view.status, QStringLiteral("The benchmarking is successful."));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith("The report was saved, but its data files were "
                                               "not."));
    EXPECT_TRUE(dialogs.messages[0].contains(JsonPathForReport(reportPath)));
    EXPECT_EQ(testsupport::readFile(reportPath).size(), firstReport.size())
        << "the report is written as ever";
    EXPECT_TRUE(fixedClockSequencer().State().DataPath.isEmpty());
    EXPECT_EQ(shell.opened.size(), 2) << "the report still opens";
    EXPECT_TRUE(fixedClockSequencer().SeriesFinished());
}

} // namespace
