#include "update/UpgradePaths.h"

#include "TestSupport.h"
#include "platform/CommandLine.h"
#include "update/helper/UpgradePlan.h"

#include <QDir>
#include <QFile>
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
    const UpgradeFolders here =
        CurrentUpgradeFolders(QStringLiteral("/opt/app"), QStringLiteral("/run/user/7/varnholt"));
    const UpgradeFolders missing = CurrentUpgradeFolders(QStringLiteral("/opt/app/"), QString());

    EXPECT_EQ(here.AppFolder, "/opt/app/");
    EXPECT_EQ(here.TempFolder, "/run/user/7/varnholt/");
    EXPECT_EQ(missing.TempFolder, "/opt/app/");
    EXPECT_EQ(here.System, "/opt/app/system/");
    EXPECT_TRUE(here.Windows.isEmpty());
    for (const QString& f : {here.Desktop, here.MyDocuments, here.MyPictures, here.AppData})
        EXPECT_TRUE(f.isEmpty() || (f.startsWith('/') && f.endsWith('/'))) << f.toStdString();
}

// Where an update may write: below the program's folder or the temporary folder, after the
// macros, "..", and the links on the way.
TEST(TargetInsideFolders, OnlyBelowTheProgramOrTheTemporaryFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString app = root.path() + "/my app/";
    const QString temp = root.path() + "/temp/";
    const QString outside = root.path() + "/home/";
    for (const QString& dir : {app + "data", temp, outside})
        ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(QFile::link(outside, app + "escape"));     // a link out of the program's folder
    ASSERT_TRUE(QFile::link(app + "data", app + "inner")); // a link that stays inside
    UpgradeFolders folders;
    folders.AppFolder = app;
    folders.TempFolder = temp;
    folders.Desktop = outside + "Desktop/";
    const struct {
        QString entryTarget; // the target side of a file entry, as written
        bool allowed;
    } cases[] = {
        {"data/x.dat", true},         {"%current%new/deeper/x.dat", true}, // folders not there yet
        {"%temp%x.dat", true},        {"inner/x.dat", true},
        {"data/../x.dat", true},      {"../../home/u/.bashrc", false},
        {"data/../../home/x", false}, {outside + ".bashrc", false},
        {"%desktop%n.txt", false},    {"escape/.bashrc", false},
        {"escape/new/x", false},      {"%current%", false}, // the folder itself is no file in it
        {"%temp%../x.dat", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entryTarget.toStdString());
        const FileEntryTarget target = ResolveFileEntry("http://h/f=" + c.entryTarget, folders);
        EXPECT_EQ(TargetInsideFolders(target.Target, {app, temp}), c.allowed);
    }
    // An entry without a target names its file by the URL's last part.
    EXPECT_FALSE(TargetInsideFolders(ResolveFileEntry("http://h/..", folders).Target, {app}));
    EXPECT_TRUE(TargetInsideFolders(ResolveFileEntry("http://h/a.dat", folders).Target, {app}));
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
        // Cleaned once: every later step sees the one spelling of the file.
        {"http://h/v=%current%/varnholt", "/opt/my app/varnholt", true,
         "http://h/v=/opt/my app/varnholt"},
        {"http://h/n=./news.so", "/opt/my app/news.so", true, "http://h/n=/opt/my app/news.so"},
        {"http://h/d=%system%/../system/dxdiag", "/opt/my app/system/dxdiag", true,
         "http://h/d=/opt/my app/system/dxdiag"},
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

TEST(VerifiedQueueText, MarkedAndEveryFileWithItsDigest) {
    EXPECT_EQ(
        VerifiedQueueText({{"/opt/a b/c", QByteArray(32, '\x01')}, {"/e", QByteArray(32, '\xff')}}),
        "#verified\r\n/opt/a b/c\t" + QStringLiteral("01").repeated(32) + "\r\n/e\t" +
            QString(64, u'f') + "\r\n");
    EXPECT_EQ(VerifiedQueueText({}), "#verified\r\n");
}

// What the program writes, split into arguments as process creation does, comes back whole
// in the helper, also when the helper's own path has blanks.
TEST(HelperCommandLine, RoundTripsThroughTheHelpersReading) {
    const QString program = QStringLiteral("/home/me/my  apps/varnholt");
    const QString line =
        HelperCommandLine(QStringLiteral("/tmp/Upgrader4.exe"), program,
                          QStringLiteral("/afterupgrade"), UpgradeMethod::SelfUpgrade);
    EXPECT_EQ(line, "/tmp/Upgrader4.exe /home/me/my  apps/varnholt +/afterupgrade0");

    const QString helper = QStringLiteral("/run/my temp/varnholt/Upgrader4.exe");
    const auto isHelper = [&](const QString& path) { return path == helper; };
    for (const UpgradeMethod method : {UpgradeMethod::SelfUpgrade, UpgradeMethod::ExternalSetup}) {
        const QString text = HelperCommandLine(helper, QStringLiteral("/home/me/my apps/varnholt"),
                                               QStringLiteral("/afterupgrade"), method);
        const std::optional<HelperCommand> back =
            ParseHelperCommand(HelperArguments(splitArguments(text), isHelper));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->ProgramPath, "/home/me/my apps/varnholt");
        EXPECT_EQ(back->Folder, "/home/me/my apps/");
        EXPECT_EQ(back->RestartParams, "/afterupgrade");
        EXPECT_EQ(back->External, method == UpgradeMethod::ExternalSetup);
    }
}

} // namespace
