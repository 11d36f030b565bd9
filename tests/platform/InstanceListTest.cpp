#include "platform/InstanceList.h"
#include "platform/Errors.h"
#include "platform/SharedMemory.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace platform;

namespace {

struct BaseNameCase {
    QString path;
    QString base;
};

class BaseNameTest : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(BaseNameTest, IsPrefixAndPathUpperCasedWithSlashesAsUnderscores) {
    EXPECT_EQ(InstanceBaseName(GetParam().path), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BaseNameTest,
    ::testing::Values(BaseNameCase{"/opt/quillon/varnholt", "JCL_OPT_QUILLON_VARNHOLT"},
                      BaseNameCase{"/home/jörg/My Bench/Varnholt.bin",
                                   "JCL_HOME_JÖRG_MY BENCH_VARNHOLT.BIN"},
                      // Paths that differ only in letter case share one identity.
                      BaseNameCase{"/OPT/Quillon/VARNHOLT", "JCL_OPT_QUILLON_VARNHOLT"}));

TEST(InstanceNamesTest, AllInTheFolderShortAndOneSetPerExecutable) {
    const QString folder = "/run/user/1000/varnholt/";
    const QString deep = "/" + QString("verylongfolder/").repeated(40);
    const InstanceNames a = InstanceObjectNames(deep + "a/varnholt", folder);
    const InstanceNames b = InstanceObjectNames(deep + "b/varnholt", folder);
    for (const InstanceNames& names : {a, b}) {
        for (const QString& name : {names.lock, names.map, names.messageName(4294967295u)}) {
            EXPECT_TRUE(name.startsWith(folder)) << name.toStdString();
            EXPECT_EQ(name.lastIndexOf('/'), folder.size() - 1) << name.toStdString();
        }
        // A local socket address holds 107 bytes, the folder and the pid included.
        EXPECT_LE(names.messageName(4294967295u).toUtf8().size(), 80);
    }
    EXPECT_NE(a.lock, b.lock);
    EXPECT_NE(a.map, b.map);
    EXPECT_NE(a.messageBase, b.messageBase);
    EXPECT_NE(a.lock, a.map);
    EXPECT_NE(a.messageName(7), a.messageName(8));
    EXPECT_EQ(InstanceObjectNames(deep + "a/varnholt", folder).map, a.map)
        << "every copy must agree";
    EXPECT_EQ(InstanceObjectNames("/OPT/Q/VARNHOLT", folder).map,
              InstanceObjectNames("/opt/q/varnholt", folder).map)
        << "paths that differ in letter case only share one identity";
}

TEST(InstanceListLayoutTest, FieldsSitAtTheirOffsetsLittleEndian) {
    InstanceList list;
    list.maxInstances = InstanceListMaxMark;
    list.pids = {0x01020304u, 0xA0B0C0D0u};
    const QByteArray bytes = WriteInstanceList(list);
    ASSERT_EQ(bytes.size(), 1032);
    EXPECT_EQ(bytes.left(12), QByteArray::fromHex("ffff0200"
                                                  "04030201"
                                                  "d0c0b0a0"));
    EXPECT_EQ(bytes.mid(12), QByteArray(1032 - 12, '\0'));

    const InstanceList back = ReadInstanceList(bytes);
    EXPECT_EQ(back.maxInstances, 65535);
    EXPECT_EQ(back.pids, list.pids);

    // A zero-filled block is an empty list that no copy has marked yet.
    const InstanceList fresh = ReadInstanceList(QByteArray(1032, '\0'));
    EXPECT_EQ(fresh.maxInstances, 0);
    EXPECT_TRUE(fresh.pids.empty());

    // A count beyond the places reads no further than the block.
    QByteArray broken(1032, '\x01');
    broken[2] = '\xff';
    broken[3] = '\xff';
    EXPECT_EQ(ReadInstanceList(broken).pids.size(), 257u);
}

TEST(InstanceListRulesTest, AppendRemoveAndPrune) {
    InstanceList list;
    for (quint32 pid = 1; pid <= 257; ++pid)
        ASSERT_TRUE(AppendInstance(list, pid));
    EXPECT_FALSE(AppendInstance(list, 999)) << "the list has 257 places";
    EXPECT_EQ(list.pids.back(), 257u);
    // The full list survives the layout.
    EXPECT_EQ(ReadInstanceList(WriteInstanceList(list)).pids, list.pids);

    list.pids = {10, 20, 30, 20};
    EXPECT_TRUE(RemoveInstance(list, 20));
    EXPECT_EQ(list.pids, (std::vector<quint32>{10, 30, 20})) << "first entry only, order kept";
    EXPECT_FALSE(RemoveInstance(list, 99));

    list.pids = {5, 6, 7, 5, 8, 6};
    PruneInstances(list, [](quint32 pid) { return pid != 7; });
    EXPECT_EQ(list.pids, (std::vector<quint32>{5, 6, 8}));
}

struct VerdictCase {
    const char* name;
    std::vector<quint32> list;
    std::vector<InstanceAnswer> answers;
    bool runOn;
    quint32 activate;
};

class DecideInstanceTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(DecideInstanceTest, EndsOnlyWhenAnOlderActiveCopyRuns) {
    const VerdictCase& c = GetParam();
    InstanceList list;
    list.pids = c.list;
    const InstanceVerdict verdict = DecideInstance(list, 100, c.answers);
    EXPECT_EQ(verdict.runOn, c.runOn);
    if (!c.runOn) {
        EXPECT_EQ(verdict.activate, c.activate);
    }
}

using A = InstanceAnswer;
INSTANTIATE_TEST_SUITE_P(
    Cases, DecideInstanceTest,
    ::testing::Values(
        VerdictCase{"Alone", {100}, {}, true, 0},
        VerdictCase{"OlderActive", {50, 100}, {A::Active}, false, 50},
        // A copy that never answers is hung, or holds the name without being ours.
        VerdictCase{"OlderSilentIsGone", {50, 100}, {A::Silent}, true, 0},
        VerdictCase{"SilentPassedOver", {40, 50, 100}, {A::Silent, A::Active}, false, 50},
        VerdictCase{"OlderAbsentIsNoCopy", {50, 100}, {A::Absent}, true, 0},
        VerdictCase{"OlderInactive", {50, 100}, {A::Inactive}, true, 0},
        VerdictCase{"OnlyYoungerStartingUp", {100, 150}, {A::Active}, true, 0},
        VerdictCase{
            "OldestCountedCopyIsActivated", {40, 50, 100}, {A::Absent, A::Active}, false, 50},
        VerdictCase{"InactiveStopsTheAsking", {40, 50, 100}, {A::Inactive}, true, 0},
        VerdictCase{"NotListedBecauseFull", {40, 50}, {A::Active, A::Active}, false, 40}),
    [](const auto& info) { return std::string(info.param.name); });

// The shared objects themselves, under names no other test or copy uses.
TEST(SharedObjectsTest, BlockIsZeroFilledByItsCreatorSharedAndRemovable) {
    QTemporaryDir dir;
    const QString name = dir.path() + "/instances.list";
    ASSERT_FALSE(SharedMemory::exists(name));
    {
        SharedMemory first(name, InstanceListBytes);
        EXPECT_TRUE(first.created());
        EXPECT_EQ(first.read(), QByteArray(InstanceListBytes, '\0'));
        first.write(QByteArray::fromHex("ffff0100"));

        SharedMemory second(name, InstanceListBytes);
        EXPECT_FALSE(second.created());
        EXPECT_EQ(second.read().left(4), QByteArray::fromHex("ffff0100"));
        second.write(QByteArray::fromHex("0000"));
        EXPECT_EQ(first.read().left(4), QByteArray::fromHex("00000100")) << "one block";
        SharedMemory::remove(name);
        EXPECT_FALSE(SharedMemory::exists(name));
    }
    SharedMemory again(name, InstanceListBytes);
    EXPECT_TRUE(again.created());
    EXPECT_EQ(again.read(), QByteArray(InstanceListBytes, '\0'));
    SharedMemory::remove(name);
}

// A full file system (another user filled /dev/shm, say) is an error the guard reports, never
// a fault on the first write into a block that has no room behind it.
TEST(SharedObjectsTest, ABlockWithoutRoomIsAnErrorNotAFault) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=8k") != 0)
        GTEST_SKIP() << "needs root to mount a small file system";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{mountPoint};
    {
        QFile filler(dir.path() + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size() && filler.flush()) {
        }
    }
    const QString name = dir.path() + "/instances.list";
    // In a process of its own: a fault must not take the test (and the mount) with it.
    EXPECT_EXIT(
        {
            try {
                SharedMemory block(name, InstanceListBytes);
                block.write(QByteArray(InstanceListBytes, '\xff'));
            } catch (const OsError&) {
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(SharedMemory::exists(name)) << "the block that could not be made is gone";
}

TEST(SharedObjectsTest, LockIsSharedByNameAndALeftLockIsTakenOver) {
    QTemporaryDir dir;
    const QString name = dir.path() + "/instances.lock";
    NamedLock one(name);
    NamedLock other(name);
    EXPECT_TRUE(one.acquire(5000));
    // Held through the other handle: a holder that never gives it back is overtaken.
    EXPECT_FALSE(other.acquire(1));
    other.release();
    one.release(); // the late holder's release must not open it for two
    EXPECT_TRUE(one.acquire(5000));
    EXPECT_FALSE(other.acquire(1));
    other.release();
    NamedLock::remove(name);
}

} // namespace
