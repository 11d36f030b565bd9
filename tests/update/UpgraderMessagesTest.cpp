#include "update/UpgraderMessages.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(UpgraderMessages, HoldsThirtyOneTextsAndNothingBeyond) {
    for (int i = 0; i < UpgraderMessageCount; ++i)
        EXPECT_FALSE(UpgraderMessages(i).isEmpty()) << i;
    EXPECT_TRUE(UpgraderMessages(-1).isEmpty());
    EXPECT_TRUE(UpgraderMessages(UpgraderMessageCount).isEmpty());
    EXPECT_EQ(UpgraderMessages(0), "Application update wizard");
    EXPECT_EQ(UpgraderMessages(30), "Connection with remote server lost.\n\nPlease restore "
                                    "connection and try to\nupgrade this software again later.");
}

TEST(UpgraderMessages, FilledTexts) {
    const QLocale c(QLocale::C);
    const QLocale german(QLocale::German, QLocale::Germany);
    const QString title = QString::fromLatin1(UpgraderApplicationTitle);
    const struct {
        QString actual;
        const char* expected;
    } cases[] = {
        {FileSizeText(1536, c), "File size: 1.5 Kb"},
        {FileSizeText(1536, german), "File size: 1,5 Kb"},
        {FileSizeText(100, c), "File size: 0.1 Kb"},
        {TransferRateText(12.25, c), "Transfer rate: 12.3 Kb/s"},
        {EstimatedTimeText(3725), "Estimated time left: 1:02:05"},
        {EstimatedTimeText(59), "Estimated time left: 0:00:59"},
        {DownloadingText(2, 3), "Downloading 2 of 3"},
        {GroupCaption(3), " Current file "},
        {GroupCaption(4), " All files "},
        {UpgradeCompletedText(title), "The update of Quillon Varnholt has been successfully "
                                      "completed.\n\nPress the OK button to restart program."},
        {AskUpgradeText(title, QStringLiteral("Fixes.")),
         "A newer version of Quillon Varnholt was released.\n\nFixes.\n\nDo you want to update "
         "your version with the latest one?"},
        {AskUpgradeText(title, QString()), "A newer version of Quillon Varnholt was released.\n"
                                           "\nDo you want to update your version with the "
                                           "latest one?"},
        {AskUpgradeText(title, QStringLiteral("100%s done")),
         "A newer version of Quillon Varnholt was released.\n\n100%s done\n\nDo you want to "
         "update your version with the latest one?"},
        {HostUnreachableText(QStringLiteral("quillon.example")),
         "Host http://quillon.example unreachable.\n\nPlease check your Internet connection "
         "and\ntry to upgrade this software again later."},
        {LostFileText(QStringLiteral("http://quillon.example/dl/data.pak?v=2")),
         "File data.pak not found or inaccessible.\n\nTry to skip this file and continue "
         "upgrade?"},
        {LostFileCaption(404), "Error #404"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.actual, QString::fromLatin1(c.expected));
    EXPECT_TRUE(PasswordRequestText(QStringLiteral("info.txt")).contains("info.txt"));
}

} // namespace
