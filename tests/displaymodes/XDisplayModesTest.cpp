#include "platform/DisplayModes.h"
#include "sysinfo/DisplayModeList.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

bool displayInUse(int number) {
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
           QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number));
}

// Servers take numbers from a place of their own process's, the test that needs no server from
// the top down, so that tests running side by side do not meet.
int freeDisplayNumber(bool fromTop = false) {
    const int start = 100 + static_cast<int>(QCoreApplication::applicationPid() % 600);
    for (int i = 0; i < 300; ++i) {
        const int number = fromTop ? 999 - i : start + i;
        if (!displayInUse(number))
            return number;
    }
    return -1;
}

// Points $DISPLAY somewhere for the life of the object.
class DisplayVariable {
public:
    explicit DisplayVariable(const QString& value)
        : had_(qEnvironmentVariableIsSet("DISPLAY")), old_(qgetenv("DISPLAY")) {
        qputenv("DISPLAY", value.toUtf8());
    }
    ~DisplayVariable() {
        if (had_)
            qputenv("DISPLAY", old_);
        else
            qunsetenv("DISPLAY");
    }

private:
    bool had_;
    QByteArray old_;
};

// A private Xvfb server; `display()` is empty when it could not be started.
class Xvfb {
public:
    explicit Xvfb(const QStringList& extra = {}) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            problem_ = "Xvfb is not installed";
            return;
        }
        // Another test may take the same number in between: try the next free one then.
        for (int attempt = 0; attempt < 3 && display_.isEmpty(); ++attempt) {
            const int number = freeDisplayNumber();
            if (number < 0) {
                problem_ = "no free display number";
                return;
            }
            start(program, number, extra);
        }
    }
    ~Xvfb() { stop(); }
    const QString& display() const { return display_; }
    const char* problem() const { return problem_; }

private:
    void start(const QString& program, int number, const QStringList& extra) {
        const QString name = QStringLiteral(":%1").arg(number);
        server_.setStandardErrorFile(QProcess::nullDevice());
        // With -displayfd the server writes its number to stdout once it accepts clients.
        server_.start(program, QStringList{name, QStringLiteral("-screen"), QStringLiteral("0"),
                                           QStringLiteral("1024x768x24"),
                                           QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                           QStringLiteral("-displayfd"), QStringLiteral("1")} +
                                   extra);
        testsupport::waitUntil(
            [&] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
            15000);
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (server_.state() == QProcess::Running && server_.canReadLine() &&
            QFileInfo::exists(socket)) {
            display_ = name;
            return;
        }
        problem_ = "Xvfb did not start";
        stop();
    }
    void stop() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000))
                server_.kill();
            server_.waitForFinished(5000);
        }
    }

    QProcess server_;
    QString display_;
    const char* problem_ = "";
};

TEST(XDisplayModes, NoReachableDisplayGivesAnEmptyList) {
    const int number = freeDisplayNumber(true);
    ASSERT_GE(number, 0);
    DisplayVariable display(QStringLiteral(":%1").arg(number));
    EXPECT_TRUE(platform::ReadDisplayModes().empty());
    EXPECT_TRUE(DisplayModeList::Build().Entries().isEmpty());
}

TEST(XDisplayModes, ReadsTheModesOfARealServer) {
    Xvfb server;
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    DisplayVariable display(server.display());
    EXPECT_EQ(platform::ReadDisplayModes(), (std::vector<platform::ScreenSize>{{1024, 768}}));
    const DisplayModeList list = DisplayModeList::Build();
    EXPECT_EQ(list.Entries(), QStringList{QStringLiteral("1024 x 768")});
    EXPECT_TRUE(list.Contains(QStringLiteral("1024 x 768")));
}

TEST(XDisplayModes, AServerWithoutRandrOffersItsScreenSize) {
    Xvfb server({QStringLiteral("-extension"), QStringLiteral("RANDR")});
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    DisplayVariable display(server.display());
    EXPECT_EQ(platform::ReadDisplayModes(), (std::vector<platform::ScreenSize>{{1024, 768}}));
}

} // namespace
