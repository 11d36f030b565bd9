#include "Recorders.h"
#include "support/SmallDisk.h"
#include "support/TestSupport.h"

#include "game/FileOperation.h"
#include "platform/Errors.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::readFile;
using testsupport::writeFile;
using Kind = FileOperation::Kind;

class FileOperationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    // The operation replaces without asking.
    void TearDown() override { EXPECT_TRUE(dialogs.questions.isEmpty()); }
    QString at(const QString& name) const { return tmp.path() + "/" + name; }
    // Files and folders of a folder, hidden ones included: a leftover temporary file shows.
    QStringList entries(const QString& folder) const {
        return QDir(at(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    bool run(FileOperation::Kind operation, const QString& source, const QString& dest) {
        op.Operation = operation;
        op.SourceFiles = QStringList{source};
        op.Destinations = QStringList{dest};
        const bool ok = op.Run();
        op.Clear();
        return ok;
    }

    QTemporaryDir tmp;
    RecordingDialogs dialogs;
    FileOperation op{dialogs};
};

TEST_F(FileOperationTest, CopyReplacesTheDestinationAndKeepsTheSource) {
    writeFile(at("cfg/autoexec.cfg"), "new contents\r\n");
    writeFile(at("cfg/autoexec_old.cfg"), "older and longer contents\r\n");
    ASSERT_TRUE(QFile::setPermissions(at("cfg/autoexec.cfg"), QFile::ReadOwner | QFile::ReadUser));
    EXPECT_TRUE(run(Kind::Copy, at("cfg/autoexec.cfg"), at("cfg/autoexec_old.cfg")));
    EXPECT_EQ(readFile(at("cfg/autoexec_old.cfg")), "new contents\r\n");
    EXPECT_EQ(readFile(at("cfg/autoexec.cfg")), "new contents\r\n");
    EXPECT_EQ(QFile::permissions(at("cfg/autoexec_old.cfg")),
              QFile::permissions(at("cfg/autoexec.cfg")))
        << "the copy takes the source's permissions";
    EXPECT_EQ(entries("cfg"), QStringList({"autoexec.cfg", "autoexec_old.cfg"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FileOperationTest, MoveReplacesTheDestination) {
    writeFile(at("cfg/autoexec_old.cfg"), "user's script");
    writeFile(at("cfg/autoexec.cfg"), "benchmark script");
    EXPECT_TRUE(run(Kind::Move, at("cfg/autoexec_old.cfg"), at("cfg/autoexec.cfg")));
    EXPECT_EQ(readFile(at("cfg/autoexec.cfg")), "user's script");
    EXPECT_EQ(entries("cfg"), QStringList{"autoexec.cfg"});
}

TEST_F(FileOperationTest, MissingDestinationFoldersAreCreated) {
    writeFile(at("Demos/rovdemo1.dem"), "demo");
    writeFile(at("game/a.cfg"), "a");
    EXPECT_TRUE(run(Kind::Copy, at("Demos/rovdemo1.dem"), at("game/episodic/new/rovdemo1.dem")));
    EXPECT_EQ(readFile(at("game/episodic/new/rovdemo1.dem")), "demo");
    EXPECT_TRUE(run(Kind::Move, at("game/a.cfg"), at("other/cfg/a.cfg")));
    EXPECT_EQ(readFile(at("other/cfg/a.cfg")), "a");
    EXPECT_FALSE(QFile::exists(at("game/a.cfg")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FileOperationTest, ADestinationFolderReceivesTheFileUnderItsName) {
    writeFile(at("custom/my demo.dem"), "demo");
    QDir().mkpath(at("episodic"));
    EXPECT_TRUE(run(Kind::Copy, at("custom/my demo.dem"), at("episodic")));
    EXPECT_EQ(readFile(at("episodic/my demo.dem")), "demo");
}

TEST_F(FileOperationTest, RunLeavesTheListsAsTheCallerLeavesThem) {
    writeFile(at("a.csv"), "x");
    op.SourceFiles = QStringList{at("a.csv")};
    op.Destinations = QStringList{at("a.txt")};
    EXPECT_TRUE(op.Run());
    EXPECT_EQ(op.SourceFiles, QStringList{at("a.csv")});
    EXPECT_EQ(op.Destinations, QStringList{at("a.txt")});
    op.Clear();
    EXPECT_TRUE(op.SourceFiles.isEmpty());
    EXPECT_TRUE(op.Destinations.isEmpty());
}

TEST_F(FileOperationTest, NoSourceRaisesTheComponentsError) {
    for (const QStringList& sources : {QStringList(), QStringList{QString()}}) {
        op.SourceFiles = sources;
        op.Destinations = QStringList{at("x")};
        try {
            op.Run();
            ADD_FAILURE() << "no error for " << sources.size() << " sources";
        } catch (const AppError& error) {
            EXPECT_EQ(error.message(), "No files specified to TJvSHFileOperation Execute function");
        }
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// Each failure is shown once, names the file concerned and the reason, and leaves what was
// there before.
TEST_F(FileOperationTest, FailuresAreShownAndTheCallerGoesOn) {
    writeFile(at("dest.txt"), "old");
    writeFile(at("blocker"), "a file where a folder would be needed");
    QDir().mkpath(at("a folder"));
    const struct {
        const char* name;
        FileOperation::Kind operation;
        QString source, dest;
        QString concerned;
        const char* reason;
    } cases[] = {
        {"copy of a missing source", Kind::Copy, at("missing.csv"), at("dest.txt"),
         at("missing.csv"), "No such file or directory"},
        {"move of a missing source", Kind::Move, at("missing.csv"), at("dest.txt"),
         at("missing.csv"), "No such file or directory"},
        {"destination below a file", Kind::Copy, at("dest.txt"), at("blocker/sub/x.txt"),
         at("blocker/sub"), "Not a directory"},
        {"a folder as source", Kind::Copy, at("a folder"), at("dest.txt"), at("a folder"),
         "Is a directory"},
        // Reading fails after the temporary copy has begun: the destination keeps its
        // contents and the temporary file goes.
        {"read error mid-copy", Kind::Copy, "/proc/self/mem", at("dest.txt"), "/proc/self/mem",
         "Input/output error"},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        EXPECT_FALSE(run(c.operation, c.source, c.dest)) << c.name;
        ASSERT_EQ(dialogs.messages.size(), 1) << c.name;
        const QString& message = dialogs.messages.first();
        EXPECT_TRUE(message.contains(c.source)) << c.name << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(c.concerned + ": " + c.reason))
            << c.name << ": " << message.toStdString();
        EXPECT_EQ(readFile(at("dest.txt")), "old") << c.name;
        EXPECT_EQ(entries(""), QStringList({"a folder", "blocker", "dest.txt"})) << c.name;
    }
}

// A copy that does not fit is no copy: the destination keeps its contents, nothing half
// written is left beside it, and the failure names the destination.
TEST_F(FileOperationTest, ACopyOntoAFullDiskLeavesTheDestination) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    writeFile(at("demo.dem"), QByteArray(40000, 'd'));
    const QString dest = disk.path() + "demo.dem";
    writeFile(dest, "old");
    disk.fill();
    EXPECT_FALSE(run(Kind::Copy, at("demo.dem"), dest));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.first().contains(dest + ": No space left on device"))
        << dialogs.messages.first().toStdString();
    EXPECT_EQ(readFile(dest), "old");
    EXPECT_EQ(disk.entries(disk.path()), QStringList{"demo.dem"});
}

TEST_F(FileOperationTest, MoveAcrossFileSystemsCopiesThenRemoves) {
    QTemporaryDir other(QStringLiteral("/dev/shm/varnholt-XXXXXX"));
    if (!other.isValid() ||
        QStorageInfo(other.path()).device() == QStorageInfo(tmp.path()).device())
        GTEST_SKIP() << "no second file system at /dev/shm";
    writeFile(at("autoexec.cfg"), "script");
    writeFile(other.path() + "/cfg/autoexec.cfg", "old");
    EXPECT_TRUE(run(Kind::Move, at("autoexec.cfg"), other.path() + "/cfg/autoexec.cfg"));
    EXPECT_EQ(readFile(other.path() + "/cfg/autoexec.cfg"), "script");
    EXPECT_FALSE(QFile::exists(at("autoexec.cfg")));
    EXPECT_EQ(QDir(other.path() + "/cfg").entryList(QDir::Files | QDir::Hidden),
              QStringList{"autoexec.cfg"});
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(FileOperationTest, WildcardSourcesMatchFilesOnly) {
    writeFile(at("src/a.dem"), "a");
    writeFile(at("src/B.DEM"), "b");
    writeFile(at("src/notes.txt"), "n");
    QDir().mkpath(at("src/folder.dem"));
    EXPECT_TRUE(run(Kind::Copy, at("src/*.dem"), at("dest")));
    EXPECT_EQ(entries("dest"), QStringList({"a.dem", "B.DEM"}));
    EXPECT_FALSE(run(Kind::Copy, at("src/*.bsp"), at("dest")));
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(FileOperationTest, DeleteRemovesTheFileAndTellsOfAMissingOne) {
    writeFile(at("b.txt"), "b");
    EXPECT_TRUE(run(Kind::Delete, at("b.txt"), QString()));
    EXPECT_EQ(entries(""), QStringList());
    EXPECT_FALSE(run(Kind::Delete, at("b.txt"), QString()));
    EXPECT_EQ(dialogs.messages.size(), 1);
}

} // namespace
