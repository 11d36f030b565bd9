#include "SettingsFixture.h"

#include "game/ProgramFolder.h"
#include "platform/FolderAccess.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ProgramFolderRule, WritesIntoTheProgramFolderOnlyWhenItIsTheUsersOwn) {
    struct Case {
        bool packaged;
        bool writable;
        const char* xdgDataHome;
        const char* expected;
    };
    const Case cases[] = {
        {false, true, "/home/me/data", "/opt/varnholt/"},
        {false, true, "", "/opt/varnholt/"},
        {true, true, "/home/me/data", "/home/me/data/varnholt/"},
        {false, false, "/home/me/data", "/home/me/data/varnholt/"},
        {true, false, "/home/me/data/", "/home/me/data/varnholt/"},
        // Unset, empty or relative: the XDG default below the home.
        {true, false, "", "/home/me/.local/share/varnholt/"},
        {false, false, "data", "/home/me/.local/share/varnholt/"},
    };
    for (const Case& c : cases) {
        ProgramFolderFacts facts;
        facts.packaged = c.packaged;
        facts.writable = c.writable;
        facts.xdgDataHome = QString::fromUtf8(c.xdgDataHome);
        facts.home = QStringLiteral("/home/me");
        EXPECT_EQ(WritableFolderByRule(QStringLiteral("/opt/varnholt/"), facts),
                  QString::fromUtf8(c.expected))
            << c.packaged << c.writable << c.xdgDataHome;
    }
}

TEST(ProgramFolderRule, TheFactsOfARealFolder) {
    QTemporaryDir tmp;
    const QString folder = tmp.path() + QStringLiteral("/program/");
    EXPECT_TRUE(platform::FolderWritable(folder + QStringLiteral("deeper/")))
        << "not there yet, but it can be made";
    testsupport::writeFile(tmp.path() + QStringLiteral("/file"), "a file");
    EXPECT_FALSE(platform::FolderWritable(tmp.path() + QStringLiteral("/file/below/")))
        << "below a file nothing can be made";
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(platform::FolderWritable(folder));
    EXPECT_FALSE(ProgramIsPackaged(folder));

    // A folder of the marker's name is no marker.
    ASSERT_TRUE(QDir().mkpath(folder + QLatin1String(PackageMarkerFile)));
    EXPECT_FALSE(ProgramIsPackaged(folder));
    ASSERT_TRUE(QDir(folder + QLatin1String(PackageMarkerFile)).removeRecursively());
    testsupport::writeFile(folder + QLatin1String(PackageMarkerFile), "package\n");
    EXPECT_TRUE(ProgramIsPackaged(folder));

    qputenv("XDG_DATA_HOME", (tmp.path() + QStringLiteral("/data")).toUtf8());
    EXPECT_EQ(WritableFolder(folder), tmp.path() + QStringLiteral("/data/varnholt/"));
    qunsetenv("XDG_DATA_HOME");
}

// The results folder default of start-up in both models.
class ResultsFolderDefault : public SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        dataHome = tmp.path() + QStringLiteral("/data");
        qputenv("XDG_DATA_HOME", dataHome.toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_DATA_HOME"); }

    QString dataHome;
};

TEST_F(ResultsFolderDefault, IsBesideTheProgramInAFolderOfTheUsersOwn) {
    EnsureBenchmarkFolder(programFolder);
    const StartupResult result = load();
    ASSERT_TRUE(result.loaded());
    EXPECT_EQ(result.settings.ResultsFolder, programFolder + QStringLiteral("Benchmark/"));
    EXPECT_EQ(stored(QStringLiteral("ResultPath")), programFolder + QStringLiteral("Benchmark/"));
    EXPECT_TRUE(QFileInfo(programFolder + QStringLiteral("Benchmark")).isDir());
    EXPECT_FALSE(QFileInfo::exists(dataHome));
}

TEST_F(ResultsFolderDefault, IsInTheUsersDataFolderWhenAPackageOwnsTheProgramFolder) {
    testsupport::writeFile(programFolder + QLatin1String(PackageMarkerFile), "package\n");
    EnsureBenchmarkFolder(programFolder);
    const StartupResult result = load();
    ASSERT_TRUE(result.loaded());
    const QString expected = dataHome + QStringLiteral("/varnholt/Benchmark/");
    EXPECT_EQ(result.settings.ResultsFolder, expected);
    EXPECT_EQ(stored(QStringLiteral("ResultPath")), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    EXPECT_EQ(QDir(programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QLatin1String(PackageMarkerFile)})
        << "nothing written into the program folder";
    EXPECT_EQ(result.paths.ProgramFolder, programFolder) << "its files are still read there";
}

} // namespace
