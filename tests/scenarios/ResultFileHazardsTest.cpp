#include "SeriesFixture.h"

#include <QDir>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// What lies under the result's name when the game has ended is not the game's: the stand-in
// plays until told, leaves no result, and the test puts something there meanwhile.
class ResultFileHazards : public SeriesFixture {
protected:
    void TearDown() override {
        qunsetenv("VARNHOLT_TESTBED_HOLD");
        qunsetenv("VARNHOLT_TESTBED_NO_RESULT");
        SeriesFixture::TearDown();
    }

    QString resultName() const { return layout.episodicDir + "SourceBench.csv"; }

    void runWith(const std::function<void()>& plant) {
        startClient();
        view.settings.ResolutionChecked[0] = true;
        const QString hold = tmp.path() + "/hold";
        testsupport::writeFile(hold, "");
        qputenv("VARNHOLT_TESTBED_HOLD", hold.toUtf8());
        qputenv("VARNHOLT_TESTBED_NO_RESULT", "1");
        sequencer().RunClicked();
        ASSERT_TRUE(testsupport::waitUntil([&] { return launchedSizes().size() == 1; }, 20000));
        plant();
        ASSERT_TRUE(QFile::remove(hold));
        ASSERT_TRUE(testsupport::waitUntil([&] { return !sequencer().SeriesRunning(); }, 30000));
    }
};

TEST_F(ResultFileHazards, AFifoUnderTheResultNameNeitherHoldsTheSeriesNorCounts) {
    const QByteArray fifo = QFile::encodeName(resultName());
    std::atomic<bool> ended{false};
    std::atomic<bool> released{false};
    // Should the collection wait for a writer, the test gives it one so that it fails instead
    // of hanging.
    std::thread watchdog([&] {
        for (int i = 0; i < 600 && !ended; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (ended)
            return;
        const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            released = true;
            ::close(fd);
        }
    });
    runWith([&] { ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0); });
    ended = true;
    watchdog.join();

    EXPECT_FALSE(released) << "the collection waited for a writer of the FIFO";
    EXPECT_EQ(view.status, "Benchmark aborted!") << "a FIFO is no result";
    EXPECT_EQ(dialogs.messages, QStringList());
    EXPECT_FALSE(QFileInfo::exists(resultName()));
    EXPECT_FALSE(QFileInfo::exists(layout.episodicDir + "sourcebench.txt"));
    EXPECT_TRUE(view.runEnabled);
}

TEST_F(ResultFileHazards, ALinkUnderTheResultNameIsNotReadThrough) {
    const QString elsewhere = tmp.path() + "/elsewhere.csv";
    const QByteArray result = "h1\r\nh2\r\nh3\r\nrovdemo1,640x480,61.23,5400\r\n";
    testsupport::writeFile(elsewhere, result);
    runWith([&] {
        ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(),
                            QFile::encodeName(resultName()).constData()),
                  0);
    });

    EXPECT_EQ(view.status, "Benchmark aborted!") << "what a link points to is no result";
    EXPECT_TRUE(QDir(results).entryList({"result_*"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFileInfo(resultName()).isSymLink()) << "the link is removed as a result is";
    EXPECT_EQ(testsupport::readFile(elsewhere), result) << "what it pointed to stays";
    EXPECT_FALSE(QFileInfo::exists(layout.episodicDir + "sourcebench.txt"));
}

} // namespace
