// The program's private temporary folder, and the files it later runs or reads back there.
#include "platform/CheckedFile.h"
#include "platform/PrivateFolder.h"

#include "FileSizeLimit.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

constexpr QFileDevice::Permissions OwnerOnly =
    QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;

QFileDevice::Permissions ModeOf(const QString& path) {
    return QFile::permissions(path) &
           (OwnerOnly | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

// Gives `path` to another user; false where that is not permitted (not root).
bool GiveAway(const QString& path) {
    return QProcess::execute("chown", {"-h", "65534", path}) == 0;
}

class PrivateTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        run_ = root_.path() + "/run";
        temp_ = root_.path() + "/tmp";
        ASSERT_TRUE(QDir().mkpath(run_));
        ASSERT_TRUE(QDir().mkpath(temp_));
    }
    QString Own() const { return QStringLiteral("%1/varnholt-%2/").arg(temp_).arg(::geteuid()); }

    QTemporaryDir root_;
    QString run_, temp_;
};

TEST_F(PrivateTempFolder, TheRuntimeFolderFirstMadePrivate) {
    EXPECT_EQ(platform::PrivateTempFolder(run_, temp_), run_ + "/varnholt/");
    EXPECT_EQ(ModeOf(run_ + "/varnholt"), OwnerOnly);
    // One that is there already, too open, is closed to others.
    QFile::setPermissions(run_ + "/varnholt", OwnerOnly | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther | QFileDevice::ExeOther);
    EXPECT_EQ(platform::PrivateTempFolder(run_, temp_), run_ + "/varnholt/");
    EXPECT_EQ(ModeOf(run_ + "/varnholt"), OwnerOnly);
    // Without a runtime folder, the user's own under the temporary folder.
    EXPECT_EQ(platform::PrivateTempFolder(QString(), temp_), Own());
    EXPECT_EQ(ModeOf(Own()), OwnerOnly);
}

// A name someone else prepared is never used: not a link, not another user's folder.
TEST_F(PrivateTempFolder, APreparedNameIsPassedOver) {
    const QString elsewhere = root_.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, run_ + "/varnholt"));
    EXPECT_EQ(platform::PrivateTempFolder(run_, temp_), Own());

    ASSERT_TRUE(QDir().rmdir(Own()));
    ASSERT_TRUE(QFile::link(elsewhere, Own().chopped(1)));
    const QString fresh = platform::PrivateTempFolder(run_, temp_);
    EXPECT_TRUE(fresh.startsWith(temp_ + "/varnholt-")) << fresh.toStdString();
    EXPECT_NE(fresh, Own());
    EXPECT_TRUE(QFileInfo(fresh).isDir());
    EXPECT_FALSE(QFileInfo(fresh.chopped(1)).isSymLink());
    EXPECT_EQ(ModeOf(fresh), OwnerOnly);
    EXPECT_TRUE(QDir(elsewhere).isEmpty());

    QFile::remove(run_ + "/varnholt");
    ASSERT_TRUE(QDir().mkpath(run_ + "/varnholt"));
    if (!GiveAway(run_ + "/varnholt"))
        GTEST_SKIP() << "cannot give a folder to another user here (needs root)";
    EXPECT_NE(platform::PrivateTempFolder(run_, temp_), run_ + "/varnholt/");
}

// In a folder that others may write to without the sticky bit, they could rename ours away and
// put theirs under its name: nothing is made there. The sticky bit keeps our entries ours.
TEST_F(PrivateTempFolder, AParentOthersMayWriteWithoutTheStickyBitIsRefused) {
    const auto open = OwnerOnly | QFileDevice::ReadOther | QFileDevice::WriteOther |
                      QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                      QFileDevice::ExeGroup;
    ASSERT_TRUE(QFile::setPermissions(temp_, open));
    ASSERT_TRUE(QFile::setPermissions(run_, open));
    EXPECT_EQ(platform::PrivateTempFolder(run_, temp_), "");
    EXPECT_FALSE(QFileInfo::exists(run_ + "/varnholt"));
    EXPECT_EQ(QDir(temp_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    ASSERT_EQ(QProcess::execute("chmod", {"1777", temp_}), 0);
    EXPECT_EQ(platform::PrivateTempFolder(run_, temp_), Own());

    // A parent another user owns is theirs to rearrange, whatever its mode.
    ASSERT_EQ(QProcess::execute("chmod", {"0755", temp_}), 0);
    ASSERT_TRUE(QDir(Own()).removeRecursively());
    if (!GiveAway(temp_))
        GTEST_SKIP() << "cannot give a folder to another user here (needs root)";
    EXPECT_EQ(platform::PrivateTempFolder(QString(), temp_), "");
    EXPECT_FALSE(QFileInfo::exists(Own()));
}

TEST_F(PrivateTempFolder, NothingWhereNoFolderCanBeMade) {
    EXPECT_EQ(platform::PrivateTempFolder(root_.path() + "/none", root_.path() + "/none"), "");
    EXPECT_EQ(platform::PrivateTempFolder(QString(), QString()), "");
}

TEST(WriteNewFile, ReplacesWhateverIsThereAndKeepsTheMode) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString victim = dir.filePath("victim.txt");
    writeFile(victim, "the user's own");
    const QString path = dir.filePath("Upgrader4.exe");
    ASSERT_TRUE(QFile::link(victim, path));
    EXPECT_EQ(platform::WriteNewFile(path, "#!/bin/sh\n", 0700), std::nullopt);
    EXPECT_EQ(readFile(victim), "the user's own");
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(readFile(path), "#!/bin/sh\n");
    EXPECT_EQ(ModeOf(path), OwnerOnly);

    EXPECT_EQ(platform::WriteNewFile(dir.filePath("queue"), "a\r\n", 0600), std::nullopt);
    EXPECT_EQ(ModeOf(dir.filePath("queue")), QFileDevice::ReadUser | QFileDevice::WriteUser);

    const std::optional<QString> failed =
        platform::WriteNewFile(dir.filePath("missing/x"), "a", 0600);
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->startsWith("Cannot create file \"" + dir.filePath("missing/x") + "\". "));
}

TEST(WriteNewFile, AFileThatDoesNotFitIsNotLeftBehind) {
    SmallDisk disk(64);
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    const QString path = disk.path() + "Upgrader4.exe";
    EXPECT_EQ(platform::WriteNewFile(path, QByteArray(200 * 1024, 'x'), 0700),
              "Cannot create file \"" + path + "\". " +
                  QString::fromLocal8Bit(std::strerror(ENOSPC)));
    EXPECT_FALSE(QFile::exists(path));
}

// The same for a user who cannot mount a small disk: a file size limit cuts the write short.
TEST(WriteNewFile, AFileCutShortIsNotLeftBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Upgrader4.exe");
    std::optional<QString> failed;
    {
        FileSizeLimit limit(64 * 1024);
        ASSERT_TRUE(limit.ready());
        failed = platform::WriteNewFile(path, QByteArray(200 * 1024, 'x'), 0700);
    }
    EXPECT_EQ(failed, "Cannot create file \"" + path + "\". " +
                          QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ReadOwnFile, OnlyTheUsersOwnRegularFileWithOneName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString own = dir.filePath("own.txt");
    writeFile(own, "queue");
    EXPECT_EQ(platform::ReadOwnFile(own, 100), QByteArray("queue"));

    QString why;
    ASSERT_TRUE(QFile::link(own, dir.filePath("link.txt")));
    EXPECT_EQ(platform::ReadOwnFile(dir.filePath("link.txt"), 100, &why), std::nullopt);
    ASSERT_TRUE(QProcess::execute("ln", {own, dir.filePath("hard.txt")}) == 0);
    EXPECT_EQ(platform::ReadOwnFile(own, 100, &why), std::nullopt);
    EXPECT_EQ(why, "the file has other names");
    QFile::remove(dir.filePath("hard.txt"));
    EXPECT_EQ(platform::ReadOwnFile(own, 4, &why), std::nullopt);
    EXPECT_EQ(why, "larger than 4 bytes");
    // A FIFO would hold a reader for ever.
    ASSERT_TRUE(QProcess::execute("mkfifo", {dir.filePath("fifo")}) == 0);
    EXPECT_EQ(platform::ReadOwnFile(dir.filePath("fifo"), 100, &why), std::nullopt);
    EXPECT_EQ(why, "not a regular file");
    EXPECT_EQ(platform::ReadOwnFile(dir.filePath("absent"), 100), std::nullopt);

    // Another user's file: a system file where this user is not root, else one given away.
    const QString system = "/etc/passwd";
    if (QFileInfo(system).ownerId() != ::geteuid()) {
        EXPECT_EQ(platform::ReadOwnFile(system, 1 << 20, &why), std::nullopt);
        EXPECT_EQ(why, "owned by another user");
    }
    if (!GiveAway(own))
        GTEST_SKIP() << "cannot give a file to another user here (needs root)";
    EXPECT_EQ(platform::ReadOwnFile(own, 100, &why), std::nullopt);
    EXPECT_EQ(why, "owned by another user");
}

} // namespace
