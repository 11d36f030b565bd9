#include "update/UpgradePaths.h"

#include "TestSupport.h"
#include "platform/CommandLine.h"
#include "update/helper/UpgradePlan.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

UpgradeFolders Folders() {
    UpgradeFolders f;
    f.AppFolder = QStringLiteral("/opt/my app/");
    f.TempFolder = QStringLiteral("/tmp/t/");
    f.Desktop = QStringLiteral("/home/u/Desktop/");
    f.MyDocuments = QStringLiteral("/home/u/Documents/");
    f.AppData = QStringLiteral("/home/u/.local/share/");
    f.System = QStringLiteral("/opt/my app/system/");
    return f; // Windows, help, media, cursors: no counterpart
}

TEST(ExpandFolderMacros, ReplacesInAnyCaseAndAnchorsRelativeTargets) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"%current%data/x.dat", "/opt/my app/data/x.dat"},
        {"%CURRENT%a-%Current%b", "/opt/my app/a-/opt/my app/b"},
        {"data/x.dat", "/opt/my app/data/x.dat"},
        {"/srv/x.dat", "/srv/x.dat"},
        {"%temp%x", "/tmp/t/x"},
        {"%Desktop%n.txt", "/home/u/Desktop/n.txt"},
        {"%mydocuments%n.txt", "/home/u/Documents/n.txt"},
        {"%appdata%q/n", "/home/u/.local/share/q/n"},
        {"%system%dxdiag", "/opt/my app/system/dxdiag"},
        {"%windows%x", "/opt/my app/%windows%x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandFolderMacros(QString::fromLatin1(c.text), Folders()),
                  QString::fromLatin1(c.expected))
            << c.text;
    }
}

TEST(CurrentUpgradeFolders, FoldersEndWithSlashAndMissingTempFallsBackToTheProgram) {
    const QByteArray saved = qgetenv("TMPDIR");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("TMPDIR", dir.path().toLocal8Bit());
    const UpgradeFolders here = CurrentUpgradeFolders(QStringLiteral("/opt/app"));
    qputenv("TMPDIR", (dir.path() + "/missing").toLocal8Bit());
    const UpgradeFolders missing = CurrentUpgradeFolders(QStringLiteral("/opt/app/"));
    qputenv("TMPDIR", saved);

    EXPECT_EQ(here.AppFolder, "/opt/app/");
    EXPECT_EQ(here.TempFolder, dir.path() + "/");
    EXPECT_EQ(missing.TempFolder, "/opt/app/");
    EXPECT_EQ(here.System, "/opt/app/system/");
    EXPECT_TRUE(here.Windows.isEmpty());
    for (const QString& f : {here.Desktop, here.MyDocuments, here.MyPictures, here.AppData})
        EXPECT_TRUE(f.isEmpty() || (f.startsWith('/') && f.endsWith('/'))) << f.toStdString();
}

TEST(ResolveFileEntry, TargetAndDownloadPath) {
    const struct {
        const char* entry;
        const char* target;
        bool named;
        const char* writtenBack;
    } cases[] = {
        {"http://h/dl/readme.txt", "/opt/my app/readme.txt", false, "http://h/dl/readme.txt"},
        {"http://h/x.dat=%current%data/x.dat", "/opt/my app/data/x.dat", true,
         "http://h/x.dat=/opt/my app/data/x.dat"},
        {"http://h/x.dat=data/x.dat", "/opt/my app/data/x.dat", true,
         "http://h/x.dat=/opt/my app/data/x.dat"},
        {"http://h/x.dat=/srv/x.dat", "/srv/x.dat", true, "http://h/x.dat=/srv/x.dat"},
        {"http://h/get?f=a=b.dat", "/opt/my app/a=b.dat", true,
         "http://h/get?f=/opt/my app/a=b.dat"},
    };
    for (const auto& c : cases) {
        const FileEntryTarget t = ResolveFileEntry(QString::fromLatin1(c.entry), Folders());
        EXPECT_EQ(t.Target, QString::fromLatin1(c.target)) << c.entry;
        EXPECT_EQ(t.DownloadPath, t.Target + ".uTMP") << c.entry;
        EXPECT_EQ(t.Named, c.named) << c.entry;
        EXPECT_EQ(t.Entry, QString::fromLatin1(c.writtenBack)) << c.entry;
    }
}

TEST(TotalPercentsDone, FinishedFilesPlusTheShareOfTheCurrentOne) {
    const struct {
        int index, count, percents, expected;
    } cases[] = {{1, 3, 50, 49}, {0, 1, 100, 100}, {2, 3, 0, 67}, {0, 3, 2, 0}, {0, 0, 50, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TotalPercentsDone(c.index, c.count, c.percents), c.expected) << c.index;
}

TEST(QueueFileText, ListsNamedTargetsOnly) {
    EXPECT_EQ(QueueFileText({"http://h/a", "http://h/b=/opt/a b/c", "http://h/d=/e"}),
              "/opt/a b/c\r\n/e\r\n");
    EXPECT_EQ(QueueFileText({"http://h/a", "http://h/b"}), "");
}

// What the program writes, split into arguments as process creation does, comes back whole
// in the helper.
TEST(HelperCommandLine, RoundTripsThroughTheHelpersReading) {
    const QString program = QStringLiteral("/home/me/my  apps/varnholt");
    const QString line = HelperCommandLine(QStringLiteral("/tmp/Upgrader4.exe"), program,
                                           QStringLiteral("/afterupgrade"), umSelfUpgrade);
    EXPECT_EQ(line, "/tmp/Upgrader4.exe /home/me/my  apps/varnholt +/afterupgrade0");

    for (const TUpgradeMethod method : {umSelfUpgrade, umUseExternalSetup}) {
        const QString text = HelperCommandLine(QStringLiteral("/tmp/Upgrader4.exe"),
                                               QStringLiteral("/home/me/my apps/varnholt"),
                                               QStringLiteral("/afterupgrade"), method);
        const std::optional<HelperCommand> back = ParseHelperCommand(splitArguments(text).mid(1));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->ProgramPath, "/home/me/my apps/varnholt");
        EXPECT_EQ(back->Folder, "/home/me/my apps/");
        EXPECT_EQ(back->RestartParams, "/afterupgrade");
        EXPECT_EQ(back->External, method == umUseExternalSetup);
    }
}

} // namespace
