#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/FileAttributes.h"

namespace {

namespace dos = platform::DosAttribute;

TEST(FileAttributes, ReadOnlyIsTheWritePermissionAndTheRestIsKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("f.bin");
    testsupport::writeFile(path, "x");

    EXPECT_FALSE(platform::GetFileAttributes(dir.filePath("missing")).has_value());
    EXPECT_FALSE(platform::SetFileAttributes(dir.filePath("missing"), dos::Archive));
    EXPECT_EQ(platform::GetFileAttributes(path), 0u);

    ASSERT_TRUE(platform::SetFileAttributes(path, dos::ReadOnly | dos::Archive));
    EXPECT_EQ(
        QFile::permissions(path) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), 0);
    ASSERT_TRUE(platform::SetFileAttributes(path, dos::Archive));
    EXPECT_TRUE(QFile::permissions(path) & QFile::WriteOwner);

    const quint32 kept = dos::Hidden | dos::Temporary | dos::Archive;
    ASSERT_TRUE(platform::SetFileAttributes(path, kept));
    const quint32 read = platform::GetFileAttributes(path).value_or(0);
    if (read == 0) {
        GTEST_SKIP() << "this file system keeps no user extended attributes";
    }
    EXPECT_EQ(read, kept);
    ASSERT_TRUE(platform::SetFileAttributes(path, 0));
    EXPECT_EQ(platform::GetFileAttributes(path), 0u);
}

} // namespace
