#include "platform/OutsideFile.h"
#include "platform/FileOps.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using platform::OutsideFile;
using platform::OutsideRead;
using Outcome = platform::OutsideFile::Outcome;

namespace {

bool makeLink(const QString& target, const QString& link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) ==
           0;
}

} // namespace

// Every case returns at once: none of them may wait for a writer or read without end.
TEST(OutsideFile, OnlyARegularFileReachedWithoutALinkIsRead) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    testsupport::writeFile(dir + "list.vdf", "\"libraryfolders\" {}");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "fifo").constData(), 0600), 0);
    ASSERT_TRUE(makeLink(dir + "list.vdf", dir + "link to a file"));
    ASSERT_TRUE(makeLink(dir + "fifo", dir + "link to a fifo"));
    ASSERT_TRUE(makeLink("/dev/zero", dir + "link to zero"));
    ASSERT_TRUE(makeLink(dir + "nowhere", dir + "dangling link"));

    const struct {
        const char* name;
        QString path;
        Outcome outcome;
        const char* reason;
    } cases[] = {
        {"a regular file", dir + "list.vdf", Outcome::Read, ""},
        {"nothing there", dir + "missing", Outcome::Missing, "No such file or directory"},
        {"below a missing folder", dir + "missing/list.vdf", Outcome::Missing,
         "No such file or directory"},
        {"a FIFO", dir + "fifo", Outcome::NotRegular, "not a regular file"},
        {"a link to a file", dir + "link to a file", Outcome::NotRegular, "a symbolic link"},
        {"a link to a FIFO", dir + "link to a fifo", Outcome::NotRegular, "a symbolic link"},
        {"a link to /dev/zero", dir + "link to zero", Outcome::NotRegular, "a symbolic link"},
        {"a dangling link", dir + "dangling link", Outcome::NotRegular, "a symbolic link"},
        {"a device", "/dev/zero", Outcome::NotRegular, "not a regular file"},
        {"a folder", dir, Outcome::NotRegular, "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OutsideFile file = platform::ReadOutsideFile(c.path, 1024);
        EXPECT_EQ(file.outcome, c.outcome);
        EXPECT_EQ(file.reason, QString::fromLatin1(c.reason));
        EXPECT_EQ(file.ok(), c.outcome == Outcome::Read);
        if (c.outcome == Outcome::Read)
            EXPECT_EQ(file.bytes, "\"libraryfolders\" {}");
        else
            EXPECT_TRUE(file.bytes.isEmpty());
    }
}

TEST(OutsideFile, NeverReadsMoreThanTheLimitWhateverTheSizeSays) {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/big";
    testsupport::writeFile(path, QByteArray(5000, 'x'));
    EXPECT_EQ(platform::ReadOutsideFile(path, 5000).bytes.size(), 5000);
    const OutsideFile tooLarge = platform::ReadOutsideFile(path, 4999);
    EXPECT_EQ(tooLarge.outcome, Outcome::TooLarge);
    EXPECT_EQ(tooLarge.reason, "larger than 4999 bytes");
    EXPECT_TRUE(tooLarge.bytes.isEmpty());
    const OutsideFile head = platform::ReadOutsideFile(path, 10, OutsideRead::FirstBytes);
    EXPECT_TRUE(head.ok());
    EXPECT_EQ(head.bytes, "xxxxxxxxxx");

    // Files under /proc say they are empty and hold more: the limit still holds.
    const QString maps = QStringLiteral("/proc/%1/maps").arg(::getpid());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(maps).constData(), &st), 0);
    ASSERT_EQ(st.st_size, 0);
    EXPECT_EQ(platform::ReadOutsideFile(maps, 16).outcome, Outcome::TooLarge);
    EXPECT_EQ(platform::ReadOutsideFile(maps, 16, OutsideRead::FirstBytes).bytes.size(), 16);
    const OutsideFile whole = platform::ReadOutsideFile(maps, 1 << 24);
    ASSERT_TRUE(whole.ok()) << whole.reason.toStdString();
    EXPECT_GT(whole.bytes.size(), 16);
}

// A file of the user's may lie behind the user's own link (Steam's lists on another disk); what
// a link must not lead to is refused as before, and never waited for.
TEST(OutsideFile, AUsersFileMayBeReachedThroughALinkToARegularFileOfTheirs) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    testsupport::writeFile(dir + "list.vdf", "\"libraryfolders\" {}");
    testsupport::writeFile(dir + "others.vdf", "\"libraryfolders\" {}");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "fifo").constData(), 0600), 0);
    ASSERT_TRUE(makeLink(dir + "list.vdf", dir + "link to a file"));
    ASSERT_TRUE(makeLink(dir + "fifo", dir + "link to a fifo"));
    ASSERT_TRUE(makeLink("/dev/zero", dir + "link to zero"));
    ASSERT_TRUE(makeLink("/proc/self/environ", dir + "link into proc"));
    ASSERT_TRUE(makeLink(dir + "nowhere", dir + "dangling link"));
    ASSERT_TRUE(makeLink(dir + "others.vdf", dir + "link to another's"));
    const bool othersFile = ::chown(QFile::encodeName(dir + "others.vdf").constData(),
                                    ::geteuid() + 1, ::getegid()) == 0;

    const struct {
        const char* name;
        QString path;
        Outcome outcome;
        const char* reason;
    } cases[] = {
        {"a regular file", dir + "list.vdf", Outcome::Read, ""},
        {"a link to a file", dir + "link to a file", Outcome::Read, ""},
        {"a FIFO", dir + "fifo", Outcome::NotRegular, "not a regular file"},
        {"a link to a FIFO", dir + "link to a fifo", Outcome::NotRegular, "not a regular file"},
        {"a link to /dev/zero", dir + "link to zero", Outcome::NotRegular, "not a regular file"},
        {"a link into /proc", dir + "link into proc", Outcome::NotRegular,
         "a symbolic link into /proc"},
        {"a dangling link", dir + "dangling link", Outcome::Missing, "No such file or directory"},
        {"a device", "/dev/zero", Outcome::NotRegular, "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OutsideFile file = platform::ReadUsersFile(c.path, 1024);
        EXPECT_EQ(file.outcome, c.outcome);
        EXPECT_EQ(file.reason, QString::fromLatin1(c.reason));
        if (c.outcome == Outcome::Read)
            EXPECT_EQ(file.bytes, "\"libraryfolders\" {}");
        else
            EXPECT_TRUE(file.bytes.isEmpty());
    }
    if (!othersFile)
        GTEST_SKIP() << "a file of another user cannot be made here";
    const OutsideFile others = platform::ReadUsersFile(dir + "link to another's", 1024);
    EXPECT_EQ(others.outcome, Outcome::NotRegular);
    EXPECT_EQ(others.reason, "a symbolic link to a file of another user");
}

TEST(OutsideFile, ASystemFileMayBeReachedThroughALink) {
    QTemporaryDir tmp;
    testsupport::writeFile(tmp.path() + "/os-release", "NAME=Test\n");
    ASSERT_TRUE(makeLink(tmp.path() + "/os-release", tmp.path() + "/link"));
    EXPECT_EQ(platform::ReadSystemFile(tmp.path() + "/link", 100).bytes, "NAME=Test\n");
    ASSERT_TRUE(makeLink(tmp.path() + "/fifo", tmp.path() + "/fifo link"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tmp.path() + "/fifo").constData(), 0600), 0);
    EXPECT_EQ(platform::ReadSystemFile(tmp.path() + "/fifo link", 100).outcome, Outcome::NotRegular)
        << "a FIFO is refused through a link as well";
}

// The copy every whole-file copy of the program goes through (a custom demo, the parked
// script): a FIFO or a device has no end to copy and must not hold it.
TEST(FileOps, CopiesRegularFilesOnlyAndNeverWaitsOnAFifo) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "fifo").constData(), 0600), 0);
    ASSERT_TRUE(makeLink(dir + "fifo", dir + "demo.dem"));
    for (const QString& source : {dir + "fifo", dir + "demo.dem", QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(source.toStdString());
        const std::optional<platform::FileError> error =
            platform::CopyFileReplacing(source, dir + "copy.dem");
        ASSERT_TRUE(error);
        EXPECT_EQ(error->path, source);
        EXPECT_EQ(error->reason, "not a regular file");
        EXPECT_FALSE(QFile::exists(dir + "copy.dem"));
    }
    testsupport::writeFile(dir + "real.dem", "demo");
    ASSERT_TRUE(makeLink(dir + "real.dem", dir + "chosen.dem"));
    EXPECT_FALSE(platform::CopyFileReplacing(dir + "chosen.dem", dir + "copy.dem"))
        << "a link the user chose to a real file is copied as before";
    EXPECT_EQ(testsupport::readFile(dir + "copy.dem"), "demo");
}
