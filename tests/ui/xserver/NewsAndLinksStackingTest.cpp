// The news window after a series, on a real X server: it comes back behind the main window
// (and the report), as the X server stacks them, not merely as the program asked.
#include "StackingOrder.h"
#include "SteamLayout.h"
#include "TestSupport.h"
#include "Xvfb.h"
#include "game/GameDiscovery.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString MainTitle = QStringLiteral("Quillon Varnholt");

// Index of the first window whose title starts with `title`, bottom-most 0, shown by another
// process than `notPid`; -1 when none.
qsizetype indexOf(const QList<stacking::TopLevel>& windows, const QString& title,
                  qint64 notPid = -1) {
    for (qsizetype i = 0; i < windows.size(); ++i)
        if (windows[i].title.startsWith(title) && windows[i].pid != notPid)
            return i;
    return -1;
}

QString describe(const QList<stacking::TopLevel>& windows) {
    QStringList lines;
    for (const stacking::TopLevel& w : windows)
        lines << QStringLiteral("0x%1 %2 (process %3)").arg(w.id, 0, 16).arg(w.title).arg(w.pid);
    return lines.join(QStringLiteral(" < "));
}

TEST(NewsStacking, AfterASeriesTheNewsWindowIsBehindTheMainWindow) {
    testsupport::Xvfb server;
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    testsupport::ChildrenBelow children(tmp.path());

    // The demo set-up: the stand-in Steam client and game, one resolution (the server's one
    // mode), one run of the shipped demo.
    const QString regDir = tmp.path() + "/registry/";
    const QString results = tmp.path() + "/results/";
    QDir().mkpath(results);
    const testbed::SteamLayout layout =
        testbed::layOutSteamFolder(tmp.path() + "/steam", "player", false, testsupport::binDir());
    Registry machine(RegRoot::LocalMachine, regDir);
    Registry user(RegRoot::CurrentUser, regDir);
    Registry users(RegRoot::Users, regDir);
    ASSERT_TRUE(machine.openKey(SettingsStore::ProgramKey(), true));
    ASSERT_TRUE(user.openKey(SteamKeyPath(), true));
    ASSERT_TRUE(users.openKey(GameSettingsKey(CurrentUserSidText()), true));
    user.writeString("SteamPath", layout.steamDir.chopped(1));
    for (const auto& [name, value] : {std::pair{"1024", QString("1")},
                                      {"RunNumber", QString("1")},
                                      {"Demo", QString("1")},
                                      {"ResultPath", results}})
        machine.writeString(QLatin1String(name), value);
    // The desktop's opener, so that the report "opens" without a browser.
    const QString openerDir = tmp.path() + "/bin";
    testsupport::writeFile(openerDir + "/xdg-open", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(openerDir + "/xdg-open",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(QProcess::startDetached(layout.steamExe, {}, layout.steamDir));
    ASSERT_TRUE(testsupport::waitUntil([&] { return testbed::runningClient(layout) != 0; }));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", server.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("VARNHOLT_REGISTRY_DIR", regDir);
    env.insert("HOME", tmp.path());
    env.insert("XDG_RUNTIME_DIR", tmp.path());
    env.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    env.insert("PATH", openerDir + ":" + env.value("PATH"));
    env.insert("VARNHOLT_TESTBED_PLAY_MS", "100");
    // Run is clicked once the news window has long been shown.
    env.insert("VARNHOLT_BENCH_SERIES", "15000");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(testsupport::binPath("varnholt"), {});
    ASSERT_TRUE(program.waitForStarted());
    struct Ender {
        QProcess& p;
        ~Ender() {
            p.kill();
            p.waitForFinished();
        }
    } ender{program};

    QList<stacking::TopLevel> windows;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            windows = stacking::viewableTopLevels(server.display());
            return indexOf(windows, "Tessaly NEWS") >= 0 && indexOf(windows, MainTitle) >= 0;
        },
        60000))
        << describe(windows).toStdString();
    ASSERT_TRUE(testbed::readGameLog(layout).isEmpty()) << "the news came before the series";
    // The news window of after the series is shown by a process of its own.
    const qint64 firstNews = windows[indexOf(windows, "Tessaly NEWS")].pid;
    ASSERT_GT(firstNews, 0) << describe(windows).toStdString();

    // The series: the news window goes while it runs and comes back at its end.
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return !testbed::readGameLog(layout).isEmpty(); }, 60000))
        << "the series did not start";
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return !QDir(results).entryList({"result_*.htm"}, QDir::Files).isEmpty(); }, 120000))
        << "the series did not end with a report";
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            windows = stacking::viewableTopLevels(server.display());
            return indexOf(windows, "Tessaly NEWS", firstNews) >= 0;
        },
        60000))
        << "no news window after the series: " << describe(windows).toStdString();
    // Once shown it is lowered; the X server's order settles with its next requests.
    testsupport::waitUntil(
        [&] {
            windows = stacking::viewableTopLevels(server.display());
            return indexOf(windows, "Tessaly NEWS", firstNews) < indexOf(windows, MainTitle);
        },
        5000);
    EXPECT_GE(indexOf(windows, MainTitle), 0) << describe(windows).toStdString();
    EXPECT_LT(indexOf(windows, "Tessaly NEWS", firstNews), indexOf(windows, MainTitle))
        << "bottom-most first: " << describe(windows).toStdString();
}

} // namespace
