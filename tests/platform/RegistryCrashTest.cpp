#include "StressText.h"
#include "platform/Registry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

const QString Key = QStringLiteral(R"(\SOFTWARE\Quillon\Ostrevo)");
using Values = std::map<QString, QString>;

// The string values of the key as a fresh read finds them; fails the test when the store
// cannot be read.
Values readValues(const QString& dir) {
    Values values;
    const regfile::Key tree = readStore(RegRoot::LocalMachine, dir);
    const regfile::Key* key = regfile::findKey(tree, *regfile::splitKeyPath(Key));
    EXPECT_TRUE(key);
    if (!key)
        return values;
    for (const regfile::Value& v : key->values) {
        if (v.type == regfile::TypeSz)
            values[v.name] = regfile::decodeString(v.data);
    }
    return values;
}

std::unique_ptr<QProcess> startWriter(const QString& dir, const QString& prefix, int count,
                                      qint64 firstRound, qint64 rounds) {
    auto p = std::make_unique<QProcess>();
    p->start(testsupport::binPath("regwriter"),
             {dir, Key, prefix, QString::number(count), QString::number(firstRound),
              QString::number(rounds)});
    EXPECT_TRUE(p->waitForStarted()) << p->errorString().toStdString();
    return p;
}

} // namespace

// A writer killed at any moment leaves a store that parses, holds every write it finished,
// and at most the one write it was in the middle of, whole.
TEST(RegistryCrash, AKilledWriterNeverTearsOrLosesTheStore) {
    // In memory when the system offers it: on a disk most of a write is the flush, and the
    // kills would land there rather than spread over every step of a write.
    QTemporaryDir shm(QStringLiteral("/dev/shm/varnholt-registry-XXXXXX"));
    QTemporaryDir disk;
    QTemporaryDir& tmp = shm.isValid() ? shm : disk;
    const QString dir = tmp.path() + QStringLiteral("/registry/");
    Registry setup(RegRoot::LocalMachine, dir);
    ASSERT_TRUE(setup.openKey(Key, true));
    // Bulk that makes each rewrite of the file take longer, and must survive every kill.
    QByteArray pad(8000, '\0');
    for (int i = 0; i < pad.size(); ++i)
        pad[i] = char(i % 251);
    setup.writeBinary("pad", pad);

    const int count = 16;
    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    QRandomGenerator random(seed);
    Values state; // what the store held after the previous kill
    for (int cycle = 0; cycle < 200; ++cycle) {
        SCOPED_TRACE(testing::Message() << "cycle " << cycle);
        const qint64 firstRound = (cycle + 1) * 1000000LL;
        const auto writer = startWriter(dir, "v", count, firstRound, 0);
        // Kill only once it writes, at a random point of its stream of writes.
        ASSERT_TRUE(writer->waitForReadyRead(30000)) << writer->readAllStandardError().data();
        QThread::usleep(random.bounded(6000));
        writer->kill();
        ASSERT_TRUE(writer->waitForFinished(30000));
        ASSERT_EQ(writer->exitStatus(), QProcess::CrashExit)
            << writer->readAllStandardError().data();
        const QList<QByteArray> reported = writer->readAllStandardOutput().trimmed().split('\n');
        const qint64 finished = reported.last().toLongLong();
        ASSERT_GT(finished, 0);

        // The state after exactly `writes` of this writer's writes.
        const auto after = [&](qint64 writes) {
            Values expected = state;
            for (qint64 w = 0; w < writes; ++w) {
                const int index = int(w % count);
                expected[stressName("v", index)] = stressText("v", index, firstRound + w / count);
            }
            return expected;
        };
        Values now;
        ASSERT_NO_THROW(now = readValues(dir));
        ASSERT_TRUE(now == after(finished) || now == after(finished + 1))
            << finished << " writes were reported finished";
        ASSERT_EQ(Registry(setup).readBinary("pad"), pad);
        state = now;
    }
}

namespace {

// Starts one writer per (folder, prefix), each setting `count` values twice, while reading
// the store through `readDir`; every read must find whole values, and the end every writer's
// last values.
void writeConcurrently(const std::vector<std::pair<QString, QString>>& plan,
                       const QString& readDir) {
    const int count = 20;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const auto& [dir, prefix] : plan)
        writers.push_back(startWriter(dir, prefix, count, 1, 2));

    const auto anyRunning = [&] {
        bool running = false;
        for (const auto& w : writers) {
            if (w->state() != QProcess::NotRunning && !w->waitForFinished(1))
                running = true;
        }
        return running;
    };
    int reads = 0;
    while (anyRunning()) {
        Values now;
        ASSERT_NO_THROW(now = readValues(readDir));
        for (const auto& [name, text] : now) {
            const QString prefix = name.left(1);
            const int index = name.mid(1).toInt();
            EXPECT_TRUE(text == stressText(prefix, index, 1) ||
                        text == stressText(prefix, index, 2))
                << name.toStdString();
        }
        ++reads;
    }
    for (const auto& w : writers) {
        EXPECT_EQ(w->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().data();
    }

    Values expected;
    for (const auto& [dir, prefix] : plan) {
        for (int i = 0; i < count; ++i)
            expected[stressName(prefix, i)] = stressText(prefix, i, 2);
    }
    EXPECT_EQ(readValues(readDir), expected) << "after " << reads << " reads during the writes";
}

} // namespace

// Writers in separate processes each set their own values; the lock keeps any of them from
// writing back a file that misses another's values. A reader meanwhile always finds whole
// values.
TEST(RegistryCrash, ConcurrentWritersKeepEachOthersValues) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/registry/");
    ASSERT_TRUE(Registry(RegRoot::LocalMachine, dir).openKey(Key, true));
    writeConcurrently({{dir, "a"}, {dir, "b"}, {dir, "c"}}, dir);
}

// The same when some writers reach the store file through a link and others by its own name:
// they all hold the one lock of the file itself.
TEST(RegistryCrash, WritersThroughALinkAndByTheFilesNameKeepEachOthersValues) {
    QTemporaryDir tmp;
    const QString real = tmp.path() + QStringLiteral("/real/");
    const QString linked = tmp.path() + QStringLiteral("/linked/");
    ASSERT_TRUE(Registry(RegRoot::LocalMachine, real).openKey(Key, true));
    ASSERT_TRUE(QDir().mkpath(linked));
    ASSERT_TRUE(QFile::link(storeFile(RegRoot::LocalMachine, real),
                            storeFile(RegRoot::LocalMachine, linked)));
    writeConcurrently({{linked, "a"}, {real, "b"}, {linked, "c"}, {real, "d"}}, linked);
    EXPECT_TRUE(QFileInfo(storeFile(RegRoot::LocalMachine, linked)).isSymLink());
}
