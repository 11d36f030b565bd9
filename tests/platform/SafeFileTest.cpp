#include "platform/SafeFile.h"
#include "platform/CheckedFile.h"
#include "platform/Errors.h"
#include "platform/FileCalls.h"
#include "support/FileSizeLimit.h"
#include "support/SmallDisk.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

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

// The same without a file system of its own: a file size limit fails the write as a full disk
// does, also for a user who cannot mount one.
TEST(SafeFile, AWriteCutShortRaisesTheErrorAndLeavesTheOldFile) {
    QTemporaryDir tmp;
    const QString path = tmp.path() + "/autoexec.cfg";
    platform::WriteFileAtomically(path, "old script\r\n");
    QString error;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ready());
        error = errorOf([&] { platform::WriteFileAtomically(path, QByteArray(20000, 'x')); });
    }
    EXPECT_EQ(error, QStringLiteral("Cannot create file \"%1\". %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
    EXPECT_EQ(readFile(path), "old script\r\n");
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"autoexec.cfg"});
}

namespace {

enum class Step { Write, Sync, Size, Close, Rename };

// The system's calls, one of them made to fail, each one noted with what the file's real name
// held when it was made.
class FailingCalls : public platform::FileCalls {
public:
    FailingCalls(QString path, std::optional<Step> failing, int err)
        : path_(std::move(path)), failing_(failing), err_(err) {}

    int write(int fd, const char* data, qsizetype size) const override {
        return step(Step::Write, [&] { return FileCalls::write(fd, data, size); });
    }
    int sync(int fd) const override {
        return step(Step::Sync, [&] { return FileCalls::sync(fd); });
    }
    int size(int fd, qint64& bytes) const override {
        // A failing size check finds the file a byte short, as after a lost write.
        return step(Step::Size, [&] {
            const int err = FileCalls::size(fd, bytes);
            if (failing_ == Step::Size)
                --bytes;
            return err;
        });
    }
    int close(int fd) const override {
        return step(Step::Close, [&] { return FileCalls::close(fd); });
    }
    int rename(const char* from, const char* to) const override {
        return step(Step::Rename, [&] { return FileCalls::rename(from, to); });
    }

    mutable std::vector<std::pair<Step, QByteArray>> seen;

private:
    template <typename F> int step(Step s, F&& call) const {
        seen.emplace_back(s, readFile(path_));
        if (failing_ != s || s == Step::Size)
            return call();
        if (s == Step::Close)
            call(); // a failed close still gives the descriptor up
        return err_;
    }

    QString path_;
    std::optional<Step> failing_;
    int err_;
};

} // namespace

// Whichever step fails, the error is raised, the old file keeps its content and nothing is
// left beside it; the file takes its name only after it is written, synced, measured and
// closed.
TEST(SafeFile, EveryStepIsCheckedAndTheNameIsTakenLast) {
    struct Case {
        const char* what;
        std::optional<Step> failing;
        int err;
        int reported; // the error the message names
    };
    const Case cases[] = {
        {"no failure", std::nullopt, 0, 0},     {"write", Step::Write, ENOSPC, ENOSPC},
        {"sync", Step::Sync, EIO, EIO},         {"size check", Step::Size, 0, EIO},
        {"close", Step::Close, EDQUOT, EDQUOT}, {"rename", Step::Rename, EXDEV, EXDEV},
    };
    const std::vector<Step> order = {Step::Write, Step::Sync, Step::Size, Step::Close,
                                     Step::Rename};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tmp;
        const QString path = tmp.path() + "/result_1.htm";
        writeFile(path, "old");
        FailingCalls calls(path, c.failing, c.err);
        const QString error =
            errorOf([&] { platform::WriteFileAtomically(path, "new report", calls); });
        if (c.failing) {
            EXPECT_EQ(error, QStringLiteral("Cannot create file \"%1\". %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(c.reported))));
            EXPECT_EQ(readFile(path), "old");
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(readFile(path), "new report");
        }
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"result_1.htm"});
        // The steps in order up to the failing one, the old file in place at each.
        std::vector<Step> steps;
        for (const auto& [step, content] : calls.seen) {
            steps.push_back(step);
            EXPECT_EQ(content, "old") << int(step);
        }
        const auto last =
            c.failing ? std::find(order.begin(), order.end(), *c.failing) + 1 : order.end();
        EXPECT_EQ(steps, std::vector<Step>(order.begin(), last));
    }
}

// A download is written at its own name as it arrives; every write, the sync, the size check
// and the close go through the same checked steps, and whichever fails is reported.
TEST(SafeFile, AStreamedFileChecksEveryStep) {
    struct Case {
        const char* what;
        std::optional<Step> failing;
        int err;
        int reported;
    };
    const Case cases[] = {
        {"no failure", std::nullopt, 0, 0},     {"write", Step::Write, ENOSPC, ENOSPC},
        {"sync", Step::Sync, EIO, EIO},         {"size check", Step::Size, 0, EIO},
        {"close", Step::Close, EDQUOT, EDQUOT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tmp;
        const QString path = tmp.path() + "/Upgrader4.exe";
        FailingCalls calls(path, c.failing, c.err);
        platform::StreamFile file(calls);
        ASSERT_TRUE(file.Create(path));
        const bool written = file.Write("first", 5) && file.Write(" second", 7);
        const bool finished = written && file.Finish();
        EXPECT_EQ(written, c.failing != Step::Write);
        EXPECT_EQ(finished, !c.failing.has_value());
        if (c.failing)
            EXPECT_EQ(file.ErrorText(),
                      QStringLiteral("Cannot create file \"%1\". %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(c.reported))));
        else
            EXPECT_EQ(readFile(path), "first second");
        std::vector<Step> steps;
        for (const auto& [step, content] : calls.seen)
            steps.push_back(step);
        const std::vector<Step> all = {Step::Write, Step::Write, Step::Sync, Step::Size,
                                       Step::Close};
        const auto last = c.failing == Step::Write ? all.begin() + 1
                          : c.failing ? std::find(all.begin() + 2, all.end(), *c.failing) + 1
                                      : all.end();
        EXPECT_EQ(steps, std::vector<Step>(all.begin(), last));
    }
}
