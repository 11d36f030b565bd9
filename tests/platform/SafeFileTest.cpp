#include "platform/SafeFile.h"
#include "platform/Errors.h"
#include "support/SmallDisk.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

// The message of the AppError that `f` raises; empty when it raises none.
template <typename F> QString errorOf(F&& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.message();
    }
    return QString();
}

const auto AllModeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                         QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                         QFile::WriteOther | QFile::ExeOther;

} // namespace

TEST(SafeFile, ReplacesAFileWholeAndKeepsItsMode) {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/report.htm";
    platform::WriteFileAtomically(path, "first");
    EXPECT_EQ(readFile(path), "first");
    ASSERT_TRUE(
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    platform::WriteFileAtomically(path, QByteArray("second\0bytes", 12));
    EXPECT_EQ(readFile(path), QByteArray("second\0bytes", 12));
    EXPECT_EQ(QFile::permissions(path) & AllModeBits,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.htm"});
}

// What cannot be written leaves the old file as it was, no new file beside it, and says why
// with the full path.
TEST(SafeFile, AFailedWriteRaisesTheErrorAndChangesNothing) {
    QTemporaryDir tmp;
    const QString readOnly = tmp.path() + "/kept.txt";
    writeFile(readOnly, "old");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(errorOf([&] { platform::WriteFileAtomically(readOnly, "new"); }),
              QStringLiteral("Cannot create file \"%1\". Permission denied").arg(readOnly))
        << "a read-only file is not replaced, also not by root";
    EXPECT_EQ(readFile(readOnly), "old");

    const QString missing = tmp.path() + "/no folder/file.txt";
    EXPECT_EQ(errorOf([&] { platform::WriteFileAtomically(missing, "x"); }),
              QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(missing));

    const QString before = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    EXPECT_EQ(errorOf([&] { platform::WriteFileAtomically("no folder/rel.txt", "x"); }),
              QStringLiteral("Cannot create file \"%1/no folder/rel.txt\". No such file or "
                             "directory")
                  .arg(tmp.path()));
    QDir::setCurrent(before);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.txt"});
}

TEST(SafeFile, AFullDiskRaisesTheErrorAndLeavesTheOldFile) {
    SmallDisk disk;
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    const QString path = disk.path() + "autoexec.cfg";
    platform::WriteFileAtomically(path, "old script\r\n");
    disk.fill();
    EXPECT_EQ(errorOf([&] { platform::WriteFileAtomically(path, QByteArray(20000, 'x')); }),
              QStringLiteral("Cannot create file \"%1\". No space left on device").arg(path));
    EXPECT_EQ(readFile(path), "old script\r\n");
    EXPECT_EQ(disk.entries(disk.path()), QStringList{"autoexec.cfg"});

    const QString fresh = disk.path() + "result_1.htm";
    EXPECT_NE(errorOf([&] { platform::WriteFileAtomically(fresh, "<html>"); }), QString());
    EXPECT_FALSE(QFile::exists(fresh)) << "no empty file is left behind";
}
