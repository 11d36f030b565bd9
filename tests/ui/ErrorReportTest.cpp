#include "WindowFixture.h"

#include "platform/Errors.h"
#include "ui/ErrorReport.h"

#include <QRegularExpression>

namespace {

class TopLevelErrors : public WindowFixture {
protected:
    QString logFile() const { return tmp.path() + QStringLiteral("/state/Quillon/varnholt.log"); }
};

TEST_F(TopLevelErrors, AReportShowsTheTextAndAppendsOneStampedLine) {
    ErrorReport report(dialogs, logFile());
    report.Report(RegistryError(QStringLiteral("Failed to set data for 'AFLevel'")));
    report.Report(std::runtime_error("two\nlines"));

    EXPECT_EQ(dialogs.messages, (QStringList{"Failed to set data for 'AFLevel'", "two\nlines"}));
    const QStringList lines = QString::fromUtf8(testsupport::readFile(logFile()))
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QRegularExpression stamped(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d (.*)$)"));
    EXPECT_EQ(stamped.match(lines[0]).captured(1),
              QStringLiteral("Failed to set data for 'AFLevel'"));
    EXPECT_EQ(stamped.match(lines[1]).captured(1), QStringLiteral("two lines"));
}

TEST_F(TopLevelErrors, AnErrorInAHandlerIsReportedAndTheWindowGoesOn) {
    ErrorReport report(dialogs, logFile());
    report.Install();
    open();
    // The key vanishes after start-up: the filtering box writes without testing for it.
    Registry(RegRoot::LocalMachine, regDir).deleteKey(SettingsStore::ProgramKey());
    auto* box = control<QComboBox>("AFBox");
    press(box, Qt::Key_Home); // away from the default, the last item
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Failed to set data for 'AFLevel'")});
    EXPECT_TRUE(QFileInfo::exists(logFile()));

    // The window still works: a guarded writer now writes nothing and raises nothing.
    pointerLeaves(control("res"));
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(TopLevelErrors, UninstallingRestoresTheDefaultReport) {
    {
        ErrorReport report(dialogs, logFile());
        report.Install();
    }
    reportTopLevelError(std::runtime_error("after"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
