#include "game/FileFinder.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct Match {
    QString folder;
    QString name;
    FoundFile info;
};

class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(temp.isValid()); }

    QString root() const { return temp.path(); }
    QString at(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    void file(const QString& relative) { testsupport::writeFile(at(relative), "x"); }
    void folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(at(relative))); }
    void link(const QString& target, const QString& relative) {
        ASSERT_TRUE(QFile::link(target, at(relative))) << relative.toStdString();
    }

    std::vector<Match> search(const QString& location, const QString& pattern = "hl2.exe") {
        finder.Search.Location = location;
        finder.Search.FileName = pattern;
        std::vector<Match> found;
        finder.OnMatch = [&](const QString& f, const FoundFile& info) {
            // No tree here holds that many: a search that goes round in circles fails at
            // once instead of eating the machine's memory.
            if (found.size() >= 10000)
                throw std::runtime_error("the search does not end");
            found.push_back({f, info.Name, info});
        };
        finder.Run();
        return found;
    }

    static QStringList folders(const std::vector<Match>& matches) {
        QStringList result;
        for (const Match& m : matches)
            result.append(m.folder);
        return result;
    }

    QTemporaryDir temp;
    FileFinder finder;
};

// The order a walk must give, from Qt's own unsorted listing: a folder's matching files,
// then each subfolder in listing order, depth first.
QStringList expectedWalk(const QString& folder, const QString& lowerName) {
    QStringList result;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (files.hasNext())
        if (files.next(), files.fileName().toLower() == lowerName)
            result.append(folder + QLatin1Char('/'));
    QDirIterator dirs(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (dirs.hasNext())
        result += expectedWalk(dirs.next(), lowerName);
    return result;
}

TEST_F(FindFileTest, OwnFilesComeBeforeSubfoldersAndSubtreesAreWalkedDepthFirst) {
    for (const char* name :
         {"b/x/y/hl2.exe", "b/hl2.exe", "b/inner/HL2.EXE", "hl2.exe", "a/Hl2.Exe", "a/hl2.exe.bak",
          "c/hl2.exe/hl2.exe", "d/e/f/g.txt", "e/hl2.exe", "f/g/hl2.exe", "f/hl2.exe", "hl2.ex"})
        file(QString::fromUtf8(name));

    const std::vector<Match> found = search(root());
    const QStringList expected = expectedWalk(root(), QStringLiteral("hl2.exe"));
    ASSERT_EQ(expected.size(), 9);
    EXPECT_EQ(folders(found), expected);
    EXPECT_EQ(found.front().folder, root() + QLatin1Char('/'));
    for (const Match& m : found) {
        // The folder "c/hl2.exe/" is walked but never reported itself.
        EXPECT_NE(m.folder, at(QStringLiteral("c/")));
        EXPECT_EQ(m.name.toLower(), QStringLiteral("hl2.exe"));
    }
}

TEST_F(FindFileTest, ReportsEveryKindOfFileButNoFolderNorDanglingLink) {
    file(QStringLiteral("plain.txt"));
    file(QStringLiteral(".hidden"));
    file(QStringLiteral("readonly.txt"));
    ASSERT_TRUE(QFile::setPermissions(at(QStringLiteral("readonly.txt")), QFile::ReadOwner));
    file(QStringLiteral("sub/inner.txt"));
    link(at(QStringLiteral("plain.txt")), QStringLiteral("filelink"));
    link(at(QStringLiteral("sub")), QStringLiteral("dirlink"));
    link(at(QStringLiteral("missing")), QStringLiteral("dangling"));
    const bool haveFifo = QProcess::execute(QStringLiteral("mkfifo"), {at("fifo")}) == 0;

    finder.Search.Subfolders = false;
    const std::vector<Match> found = search(root(), QString());

    QSet<QString> names;
    for (const Match& m : found) {
        names.insert(m.name);
        EXPECT_EQ(m.folder, root() + QLatin1Char('/'));
        EXPECT_EQ(m.info.SymLink, m.name == QLatin1String("filelink")) << m.name.toStdString();
        EXPECT_EQ(m.info.Type, m.name == QLatin1String("fifo") ? FoundFile::Kind::Special
                                                               : FoundFile::Kind::File);
    }
    QSet<QString> expected{"plain.txt", ".hidden", "readonly.txt", "filelink"};
    if (haveFifo)
        expected.insert(QStringLiteral("fifo"));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(found.size(), static_cast<size_t>(expected.size()));
}

TEST_F(FindFileTest, PatternsAreReportedOneAfterTheOther) {
    for (const char* name : {"1.txt", "2.cfg", "3.TXT", "4.cfg", "5.log"})
        file(QString::fromUtf8(name));
    const std::vector<Match> found = search(root(), QStringLiteral("*.txt; *.CFG ;*.txt"));
    ASSERT_EQ(found.size(), 4u);
    EXPECT_TRUE(found[0].name.endsWith(QLatin1String("txt"), Qt::CaseInsensitive));
    EXPECT_TRUE(found[1].name.endsWith(QLatin1String("txt"), Qt::CaseInsensitive));
    EXPECT_TRUE(found[2].name.endsWith(QLatin1String("cfg")));
    EXPECT_TRUE(found[3].name.endsWith(QLatin1String("cfg")));
}

TEST_F(FindFileTest, SeveralLocationsAreWalkedInOrderWithRepeatsAndCaseVariantsMerged) {
    file(QStringLiteral("a/hl2.exe"));
    file(QStringLiteral("A/hl2.exe"));
    file(QStringLiteral("b/hl2.exe"));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root()));
    const std::vector<Match> found =
        search(QStringLiteral("b ; ") + at(QStringLiteral("A")) +
               QStringLiteral(";missing;;a/; ./b/.;") + at(QStringLiteral("b")));
    QDir::setCurrent(previous);
    // "A" stands for "a" too: the first spelling is the one walked.
    EXPECT_EQ(folders(found), (QStringList{at(QStringLiteral("b/")), at(QStringLiteral("A/"))}));
}

TEST_F(FindFileTest, DepthLimitsCountTheTargetAsLevelOne) {
    file(QStringLiteral("hl2.exe"));
    file(QStringLiteral("a/hl2.exe"));
    file(QStringLiteral("a/b/hl2.exe"));
    const QString level[] = {QString(), at(QString()), at(QStringLiteral("a/")),
                             at(QStringLiteral("a/b/"))};
    const struct {
        bool subfolders;
        int minLevel;
        int maxLevel;
        std::vector<int> levels;
    } cases[] = {
        {true, 0, 0, {1, 2, 3}}, {false, 0, 0, {1}}, {true, 0, 2, {1, 2}}, {true, 2, 0, {2, 3}},
        {true, 2, 2, {2}},       {true, 3, 1, {}},   {false, 2, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.subfolders << " " << c.minLevel << " " << c.maxLevel);
        finder.Search.Subfolders = c.subfolders;
        finder.Search.MinLevel = c.minLevel;
        finder.Search.MaxLevel = c.maxLevel;
        QStringList expected;
        for (int l : c.levels)
            expected.append(level[l]);
        EXPECT_EQ(folders(search(root())), expected);
    }
}

TEST_F(FindFileTest, LinkLoopsEndAndNoFolderIsWalkedTwice) {
    file(QStringLiteral("hl2.exe"));
    file(QStringLiteral("a/hl2.exe"));
    file(QStringLiteral("a/b/hl2.exe"));
    link(QStringLiteral("../.."), QStringLiteral("a/b/up"));
    link(QStringLiteral("."), QStringLiteral("a/self"));
    link(at(QStringLiteral("a")), QStringLiteral("again"));

    const std::vector<Match> found = search(root());
    QSet<QString> real;
    for (const Match& m : found)
        real.insert(QFileInfo(m.folder).canonicalFilePath());
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(real, (QSet<QString>{QFileInfo(root()).canonicalFilePath(),
                                   QFileInfo(at("a")).canonicalFilePath(),
                                   QFileInfo(at("a/b")).canonicalFilePath()}));
}

TEST_F(FindFileTest, LinksToFoldersElsewhereAreFollowedAndKeepTheirPath) {
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    testsupport::writeFile(outside.path() + QStringLiteral("/deep/hl2.exe"), "x");
    link(outside.path(), QStringLiteral("library"));

    EXPECT_EQ(folders(search(root())), QStringList{at(QStringLiteral("library/deep/"))});
    // A target that is itself a link is walked too.
    EXPECT_EQ(folders(search(at(QStringLiteral("library")))),
              QStringList{at(QStringLiteral("library/deep/"))});
}

TEST_F(FindFileTest, UnreadableFoldersAreSkippedSilently) {
    file(QStringLiteral("locked/hl2.exe"));
    file(QStringLiteral("open/hl2.exe"));
    const QString locked = at(QStringLiteral("locked"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const bool stillReadable = QDir(locked).exists(QStringLiteral("hl2.exe"));
    const std::vector<Match> found = search(root());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (stillReadable)
        GTEST_SKIP() << "permissions do not bind this user (root?)";
    EXPECT_EQ(folders(found), QStringList{at(QStringLiteral("open/"))});
}

TEST_F(FindFileTest, VeryDeepTreesAreWalkedToTheBottom) {
    QString path;
    for (int depth = 2; depth <= 300; ++depth)
        path += QStringLiteral("d/");
    file(path + QStringLiteral("hl2.exe"));
    file(path.left(200) + QStringLiteral("hl2.exe"));
    EXPECT_EQ(folders(search(root())), (QStringList{at(path.left(200)), at(path)}));
}

TEST_F(FindFileTest, ACallWhileSearchingDoesNothingAndAThrowingHandlerLeavesItIdle) {
    file(QStringLiteral("hl2.exe"));
    file(QStringLiteral("a/hl2.exe"));
    finder.Search.Location = root();
    finder.Search.FileName = QStringLiteral("hl2.exe");

    int calls = 0;
    finder.OnMatch = [&](const QString&, const FoundFile&) {
        ++calls;
        EXPECT_TRUE(finder.Busy());
        finder.Run();
    };
    finder.Run();
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(finder.Busy());

    finder.OnMatch = [](const QString&, const FoundFile&) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(finder.Run(), std::runtime_error);
    EXPECT_FALSE(finder.Busy());
    EXPECT_EQ(search(root()).size(), 2u);
}

} // namespace
