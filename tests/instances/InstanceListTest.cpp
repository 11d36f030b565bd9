#include "platform/InstanceList.h"
#include "platform/SharedMemory.h"
#include "platform/UserSecret.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

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

TEST(InstanceNamesTest, ShortNamesAreKeptAndLongOnesCutDistinctlyAndWithinTheSystemLimits) {
    EXPECT_EQ(FitObjectName("JCL_OPT_A_Map", 200), "JCL_OPT_A_Map");

    const QString deep = "/" + QString("verylongfolder/").repeated(40);
    const InstanceNames a = InstanceObjectNames(deep + "a/varnholt", 1000);
    const InstanceNames b = InstanceObjectNames(deep + "b/varnholt", 1000);
    for (const InstanceNames& names : {a, b}) {
        EXPECT_LE(names.lock.toUtf8().size(), 200);
        EXPECT_LE(names.map.toUtf8().size(), 200);
        EXPECT_FALSE(names.lock.contains('/'));
        EXPECT_FALSE(names.map.contains('/'));
        // A local socket address holds 107 bytes, pid included.
        EXPECT_LE(names.messageName(4294967295u).toUtf8().size(), 107);
        EXPECT_EQ(names.messageName(7).count('/'), 1);
        EXPECT_TRUE(names.messageName(7).startsWith('/'));
    }
    EXPECT_NE(a.lock, b.lock);
    EXPECT_NE(a.map, b.map);
    EXPECT_NE(a.messageBase, b.messageBase);
    EXPECT_NE(a.lock, a.map);
    EXPECT_EQ(InstanceObjectNames(deep + "a/varnholt", 1000).map, a.map) << "every copy must agree";

    // Cutting never splits a character.
    const QString wide = QString("ö").repeated(150) + QString::fromUtf8("\U0001F600").repeated(5);
    const QString cut = FitObjectName(wide, 101);
    EXPECT_LE(cut.toUtf8().size(), 101);
    EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);
    EXPECT_TRUE(cut.startsWith("ööö"));

    const InstanceNames plain = InstanceObjectNames("/opt/q/varnholt", 1000);
    EXPECT_EQ(plain.lock, "JCL_OPT_Q_VARNHOLT_1000_Otx");
    EXPECT_EQ(plain.map, "JCL_OPT_Q_VARNHOLT_1000_Map");
    EXPECT_EQ(plain.messageName(42), "/JCL_OPT_Q_VARNHOLT_1000_Msg_42");

    // Each user's copies of one installed program keep to names of their own, long paths too.
    for (const QString& path : {QString("/opt/q/varnholt"), deep + "a/varnholt"}) {
        const InstanceNames mine = InstanceObjectNames(path, 1000);
        const InstanceNames theirs = InstanceObjectNames(path, 1001);
        EXPECT_NE(mine.lock, theirs.lock);
        EXPECT_NE(mine.map, theirs.map);
        EXPECT_NE(mine.messageBase, theirs.messageBase);
    }
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
        VerdictCase{"OlderSilentCountsAsActive", {50, 100}, {A::Silent}, false, 50},
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
    const QString name = "VarnholtTest_" + QUuid::createUuid().toString(QUuid::Id128);
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

TEST(SharedObjectsTest, LockIsSharedByNameAndALeftLockIsTakenOver) {
    const QString name = "VarnholtTest_" + QUuid::createUuid().toString(QUuid::Id128);
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

// The secret the names carry: made once, only for this user, and kept; a file that others
// could read or that is not the user's own is no secret.
TEST(UserSecretTest, MadeOnceReadableOnlyByTheUserAndKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.path() + "/state/Quillon/instance-key";
    const QString secret = UserSecret(file);
    EXPECT_EQ(secret.size(), 32);
    EXPECT_EQ(QFile::permissions(file) & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(UserSecret(file), secret) << "every copy reads the same";
    EXPECT_NE(UserSecret(dir.path() + "/other-key"), secret);
    EXPECT_EQ(QDir(dir.path() + "/state/Quillon").entryList(QDir::Files),
              QStringList{"instance-key"})
        << "no draft is left";

    QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ReadOther);
    EXPECT_EQ(UserSecret(file), "") << "others may read it";
    QFile::remove(file);
    const QString elsewhere = dir.path() + "/elsewhere";
    testsupport::writeFile(elsewhere, QByteArray(32, 'a'));
    QFile::setPermissions(elsewhere, QFileDevice::ReadUser | QFileDevice::WriteUser);
    ASSERT_TRUE(QFile::link(elsewhere, file));
    EXPECT_EQ(UserSecret(file), "") << "a link";
    QFile::remove(file);
    testsupport::writeFile(file, "not hex at all, thirty-two bytes");
    QFile::setPermissions(file, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(UserSecret(file), "") << "damaged";
}

} // namespace
