// Today's Steam roots, library lists and game folders, laid out in a home folder of the test's
// own (never this machine's).

#include "game/SteamLibraries.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

KeyValues parsed(const QByteArray& text) {
    const KvParse p = ParseKeyValues(text);
    EXPECT_FALSE(p.error.has_value());
    return p.tree;
}

TEST(LibraryList, BothFormsInTheirOrder) {
    const struct {
        const char* name;
        QByteArray text;
        QStringList folders;
    } cases[] = {
        {"current form",
         R"("libraryfolders"
{
	"0"
	{
		"path"		"/home/u/.local/share/Steam"
		"label"		""
		"contentid"		"123"
		"totalsize"		"0"
		"apps"
		{
			"220"		"5000000000"
		}
	}
	"1"
	{
		"path"		"/mnt/games/SteamLibrary"
		"apps" { }
	}
})",
         {"/home/u/.local/share/Steam", "/mnt/games/SteamLibrary"}},
        {"older form",
         R"("LibraryFolders"
{
	"TimeNextStatsReport"		"1700000000"
	"ContentStatsID"		"-123"
	"1"		"/mnt/games/SteamLibrary"
	"2"		"/media/second disk/Steam"
})",
         {"/mnt/games/SteamLibrary", "/media/second disk/Steam"}},
        {"a numbered block without a path", R"("libraryfolders" { "0" { "label" "x" } })", {}},
        {"another root block", R"("AppState" { "1" "/x" })", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LibraryFoldersIn(parsed(c.text)), c.folders);
    }
}

TEST(LibraryList, InstallFolderOfAManifest) {
    const struct {
        QByteArray text;
        std::optional<QString> dir;
    } cases[] = {
        {R"("AppState" { "appid" "220" "name" "Half-Life 2" "StateFlags" "4" "installdir" "Half-Life 2" })",
         QStringLiteral("Half-Life 2")},
        {R"("AppState" { "installdir" "HL2 copy" })", QStringLiteral("HL2 copy")},
        {R"("AppState" { "installdir" "../../etc" })", std::nullopt},
        {R"("AppState" { "installdir" "/abs" })", std::nullopt},
        {R"("AppState" { "installdir" ".." })", std::nullopt},
        {R"("AppState" { "installdir" "" })", std::nullopt},
        {R"("AppState" { "name" "x" })", std::nullopt},
        {R"("Other" { "installdir" "x" })", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InstallDirIn(parsed(c.text)), c.dir) << c.text.constData();
}

TEST(LibraryList, RootsInTheirOrder) {
    EXPECT_EQ(
        SteamRootCandidates("/home/u"),
        QStringList({"/home/u/.local/share/Steam", "/home/u/.steam/steam", "/home/u/.steam/root",
                     "/home/u/.var/app/com.valvesoftware.Steam/.local/share/Steam",
                     "/home/u/.var/app/com.valvesoftware.Steam/data/Steam",
                     "/home/u/snap/steam/common/.local/share/Steam"}));
    EXPECT_TRUE(SteamRootCandidates("").isEmpty());
}

class TodaysLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        home = tmp.path() + "/home/";
        places.homeFolder = home;
    }

    QString makeFolder(const QString& path) {
        EXPECT_TRUE(QDir().mkpath(path)) << qPrintable(path);
        return path.endsWith('/') ? path : path + '/';
    }

    void link(const QString& target, const QString& linkPath) {
        QDir().mkpath(QFileInfo(linkPath).absolutePath());
        ASSERT_TRUE(QFile::link(target, linkPath)) << qPrintable(linkPath);
    }

    void executable(const QString& path) {
        testsupport::writeFile(path, "#!/bin/sh\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A game folder in a library: episodic/ beside the given program.
    QString game(const QString& library, const QString& exe = "hl2_linux",
                 const QString& folder = "Half-Life 2") {
        const QString g = makeFolder(library + "steamapps/common/" + folder);
        makeFolder(g + "episodic/cfg");
        if (!exe.isEmpty())
            executable(g + exe);
        return g;
    }

    void libraryList(const QString& root, const QStringList& libraries) {
        QByteArray text = "\"libraryfolders\"\n{\n";
        for (int i = 0; i < libraries.size(); ++i)
            text += QStringLiteral("\t\"%1\"\n\t{\n\t\t\"path\"\t\t\"%2\"\n\t}\n")
                        .arg(i)
                        .arg(libraries[i])
                        .toUtf8();
        testsupport::writeFile(root + "steamapps/libraryfolders.vdf", text + "}\n");
    }

    QString realPath(const QString& folder) { return QFileInfo(folder).canonicalFilePath() + '/'; }

    QTemporaryDir tmp;
    QString home;
    SteamPlaces places;
};

TEST_F(TodaysLayout, TheGameInASecondLibraryThroughTheFirstRoot) {
    const QString root = makeFolder(home + ".local/share/Steam");
    link(root, home + ".steam/steam");
    link(root, home + ".steam/root");
    const QString library = makeFolder(tmp.path() + "/disk two/SteamLibrary");
    libraryList(root, {root, tmp.path() + "/gone", library});
    const QString g = game(library);

    EXPECT_EQ(ExistingSteamRoots(places), QStringList{realPath(root)}) << "each real folder once";
    const TodaysSteam found = FindTodaysSteam(places);
    EXPECT_EQ(found.root, realPath(root));
    EXPECT_EQ(found.gameFolder, realPath(library) + "steamapps/common/Half-Life 2/");
    EXPECT_TRUE(found.problems.isEmpty()) << qPrintable(found.problems.join('\n'));
    EXPECT_EQ(g, library + "steamapps/common/Half-Life 2/");
}

TEST_F(TodaysLayout, TheFirstLibraryWithTheGameWinsAndTheRootIsAlwaysOne) {
    const QString root = makeFolder(home + ".local/share/Steam");
    const QString second = makeFolder(tmp.path() + "/second");
    const QString third = makeFolder(tmp.path() + "/third");
    game(second, "hl2.exe");
    game(third);
    // The older form leaves the root out; the root's own game comes first.
    testsupport::writeFile(root + "steamapps/libraryfolders.vdf",
                           QStringLiteral("\"LibraryFolders\" { \"TimeNextStatsReport\" \"1\" "
                                          "\"1\" \"%1\" \"2\" \"%2\" }")
                               .arg(second, third)
                               .toUtf8());
    EXPECT_EQ(FindTodaysSteam(places).gameFolder,
              realPath(second) + "steamapps/common/Half-Life 2/");
    game(root, "hl2.sh");
    EXPECT_EQ(FindTodaysSteam(places).gameFolder, realPath(root) + "steamapps/common/Half-Life 2/");
}

TEST_F(TodaysLayout, AGameFolderNeedsTheModFolderBesideTheGameProgram) {
    const QString root = makeFolder(home + ".local/share/Steam");
    const QString g = game(root, "");
    EXPECT_TRUE(FindTodaysSteam(places).gameFolder.isEmpty()) << "no program beside episodic/";
    makeFolder(g + "hl2_linux"); // a folder is no program
    EXPECT_TRUE(FindTodaysSteam(places).gameFolder.isEmpty());
    for (const char* exe : {"hl2.exe", "hl2.sh", "hl2_linux"}) {
        SCOPED_TRACE(exe);
        QDir(g + "hl2_linux").removeRecursively();
        for (const char* other : {"hl2.exe", "hl2.sh", "hl2_linux"})
            QFile::remove(g + other);
        testsupport::writeFile(g + exe, "x");
        EXPECT_TRUE(IsGameFolder(g));
        EXPECT_EQ(FindTodaysSteam(places).gameFolder,
                  realPath(root) + "steamapps/common/Half-Life 2/");
    }
    QDir(g + "episodic").removeRecursively();
    EXPECT_FALSE(IsGameFolder(g)) << "the program without the mod folder";
}

TEST_F(TodaysLayout, AManifestNamesAnotherInstallFolder) {
    const QString root = makeFolder(home + ".local/share/Steam");
    game(root, "hl2_linux", "HL2 elsewhere");
    testsupport::writeFile(root + "steamapps/appmanifest_220.acf",
                           R"("AppState" { "appid" "220" "installdir" "HL2 elsewhere" })");
    EXPECT_EQ(FindTodaysSteam(places).gameFolder,
              realPath(root) + "steamapps/common/HL2 elsewhere/");
}

TEST_F(TodaysLayout, DamagedFilesAreNamedAndTheRestIsStillLookedAt) {
    const QString root = makeFolder(home + ".local/share/Steam");
    const QString library = makeFolder(tmp.path() + "/lib");
    game(root);
    const QString list = root + "steamapps/libraryfolders.vdf";
    const QString manifest = root + "steamapps/appmanifest_220.acf";
    testsupport::writeFile(list, "\"libraryfolders\"\n{\n\t\"1\"\n\t{\n\t\t\"path\" \"" +
                                     library.toUtf8() + "\n");
    testsupport::writeFile(manifest, "\"AppState\" {\n\"installdir\" \"Half-Life 2\" }\n}\n");
    const TodaysSteam found = FindTodaysSteam(places);
    EXPECT_EQ(found.gameFolder, realPath(root) + "steamapps/common/Half-Life 2/");
    EXPECT_EQ(found.problems,
              QStringList({QStringLiteral("Cannot read \"%1\": line 5: unterminated string.")
                               .arg(realPath(root) + "steamapps/libraryfolders.vdf"),
                           QStringLiteral("Cannot read \"%1\": line 3: closing brace without an "
                                          "opening one.")
                               .arg(realPath(root) + "steamapps/appmanifest_220.acf")}));
    EXPECT_EQ(testsupport::readFile(manifest),
              "\"AppState\" {\n\"installdir\" \"Half-Life 2\" }\n}\n")
        << "nothing of Steam's is touched";

    QFile::remove(manifest);
    QFile::remove(list);
    QFile huge(list);
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(KvLimits{}.maxBytes + 1));
    huge.close();
    EXPECT_EQ(FindTodaysSteam(places).problems,
              QStringList{QStringLiteral("Cannot read \"%1\": larger than %2 bytes.")
                              .arg(realPath(root) + "steamapps/libraryfolders.vdf")
                              .arg(KvLimits{}.maxBytes)});

    // A pipe would block whoever opens it.
    QFile::remove(list);
    ASSERT_EQ(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
    const TodaysSteam piped = FindTodaysSteam(places);
    EXPECT_EQ(piped.gameFolder, realPath(root) + "steamapps/common/Half-Life 2/");
    EXPECT_EQ(piped.problems,
              QStringList{QStringLiteral("Cannot read \"%1\": not a regular file.")
                              .arg(realPath(root) + "steamapps/libraryfolders.vdf")});
}

// Steam's files may lie behind the user's own links (kept on another disk): a link to a regular
// file of the user's is read; one into /proc (/proc/kmsg, which as root gives nothing and never
// ends, held the start) is named and not read.
TEST_F(TodaysLayout, ALinkedListOrManifestOfTheUsersIsReadAndOneIntoProcIsNot) {
    const QString root = makeFolder(home + ".local/share/Steam");
    const QString library = makeFolder(tmp.path() + "/lib");
    game(library, "hl2_linux", "HL2 elsewhere");
    const QString elsewhere = makeFolder(tmp.path() + "/elsewhere");
    libraryList(elsewhere, {library});
    testsupport::writeFile(elsewhere + "steamapps/appmanifest_220.acf",
                           R"("AppState" { "installdir" "HL2 elsewhere" })");
    link(elsewhere + "steamapps/libraryfolders.vdf", root + "steamapps/libraryfolders.vdf");
    link(elsewhere + "steamapps/appmanifest_220.acf", library + "steamapps/appmanifest_220.acf");
    const TodaysSteam found = FindTodaysSteam(places);
    EXPECT_EQ(found.gameFolder, realPath(library) + "steamapps/common/HL2 elsewhere/")
        << "the library and the folder named through the links";
    EXPECT_TRUE(found.problems.isEmpty()) << found.problems.join('|').toStdString();

    QFile::remove(root + "steamapps/libraryfolders.vdf");
    link(QStringLiteral("/proc/self/environ"), root + "steamapps/libraryfolders.vdf");
    const TodaysSteam proc = FindTodaysSteam(places);
    EXPECT_TRUE(proc.gameFolder.isEmpty()) << "the library is listed nowhere else";
    EXPECT_EQ(proc.problems,
              QStringList{QStringLiteral("Cannot read \"%1\": a symbolic link into /proc.")
                              .arg(realPath(root) + "steamapps/libraryfolders.vdf")});
}

TEST_F(TodaysLayout, LinkLoopsAndMissingRootsFindNothing) {
    EXPECT_TRUE(ExistingSteamRoots(places).isEmpty());
    link(home + ".steam/root", home + ".steam/steam");
    link(home + ".steam/steam", home + ".steam/root");
    link(home + "nowhere", home + ".local/share/Steam");
    EXPECT_TRUE(ExistingSteamRoots(places).isEmpty());
    const TodaysSteam found = FindTodaysSteam(places);
    EXPECT_TRUE(found.root.isEmpty());
    EXPECT_TRUE(found.gameFolder.isEmpty());
    EXPECT_TRUE(found.steamCommand.isEmpty());
    EXPECT_TRUE(FindTodaysSteam(SteamPlaces{}).root.isEmpty()) << "no home, no looking";
}

TEST_F(TodaysLayout, FlatpakAndSnapRoots) {
    const QString flatpak = makeFolder(home + ".var/app/com.valvesoftware.Steam/data/Steam");
    game(flatpak);
    EXPECT_EQ(FindTodaysSteam(places).root, realPath(flatpak));
    const QString snap = makeFolder(home + "snap/steam/common/.local/share/Steam");
    EXPECT_EQ(ExistingSteamRoots(places), QStringList({realPath(flatpak), realPath(snap)}));
    QDir(home + ".var").removeRecursively();
    const TodaysSteam found = FindTodaysSteam(places);
    EXPECT_EQ(found.root, realPath(snap)) << "a root without the game is still Steam's root";
    EXPECT_TRUE(found.gameFolder.isEmpty());
}

TEST_F(TodaysLayout, TheSteamCommandFromThePathThenTheRoot) {
    const QString root = makeFolder(home + ".local/share/Steam");
    const QString bin = makeFolder(tmp.path() + "/bin");
    const QString other = makeFolder(tmp.path() + "/other");
    EXPECT_EQ(SteamCommandFor(root, {bin}), "");
    executable(root + "steam.sh");
    EXPECT_EQ(SteamCommandFor(root, {bin}), root + "steam.sh");
    testsupport::writeFile(bin + "steam", "not executable");
    EXPECT_EQ(SteamCommandFor(root, {bin}), root + "steam.sh");
    executable(other + "steam");
    EXPECT_EQ(SteamCommandFor(root, {"relative", bin, other}), other + "steam");
    executable(root + "steam.exe");
    EXPECT_EQ(SteamCommandFor(root, {other}), "") << "a root with steam.exe keeps the old start";
    EXPECT_EQ(SteamCommandFor("", {other}), other + "steam");

    places.commandFolders = {other};
    QFile::remove(root + "steam.exe");
    game(root);
    EXPECT_EQ(FindTodaysSteam(places).steamCommand, other + "steam");
}

} // namespace
