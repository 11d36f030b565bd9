// The titles the window system is given, read back from a real X server: Qt may add to the
// text a window asks for, so windowTitle() alone proves nothing.
#include "TestSupport.h"
#include "Xvfb.h"
#include "platform/Registry.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The _NET_WM_NAME of every window below the root.
QSet<QString> windowNames(const QString& display) {
    QSet<QString> names;
    const QString tree = testsupport::outputOn(
        QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, display);
    static const QRegularExpression id(QStringLiteral("^\\s+(0x[0-9a-f]+)"),
                                       QRegularExpression::MultilineOption);
    static const QRegularExpression name(
        QStringLiteral("_NET_WM_NAME\\(UTF8_STRING\\) = \"(.*)\""));
    for (auto it = id.globalMatch(tree); it.hasNext();) {
        const QString prop = testsupport::outputOn(
            QStringLiteral("xprop"),
            {QStringLiteral("-id"), it.next().captured(1), QStringLiteral("_NET_WM_NAME")},
            display);
        const QRegularExpressionMatch m = name.match(prop);
        if (m.hasMatch())
            names.insert(m.captured(1));
    }
    return names;
}

TEST(WindowTitles, TheWindowSystemIsGivenExactlyTheProgramsTitles) {
    for (const char* tool : {"xwininfo", "xprop"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    testsupport::Xvfb server;
    if (server.display().isEmpty())
        GTEST_SKIP() << server.problem();

    QTemporaryDir tmp;
    const QString regDir = tmp.path() + QStringLiteral("/registry/");
    Registry(RegRoot::LocalMachine, regDir)
        .openKey(QStringLiteral("\\SOFTWARE\\Quillon\\Ostrevo"), true);
    Registry steam(RegRoot::CurrentUser, regDir);
    steam.openKey(QStringLiteral("\\Software\\Valve\\Steam"), true);
    steam.writeString(QStringLiteral("SteamPath"), tmp.path() + QStringLiteral("/steam"));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), server.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("VARNHOLT_REGISTRY_DIR"), regDir);
    env.insert(QStringLiteral("HOME"), tmp.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path());
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(testsupport::binPath(QStringLiteral("varnholt")), {});
    ASSERT_TRUE(program.waitForStarted());

    // The main window comes first, the news window once it is on the screen.
    QSet<QString> names;
    testsupport::waitUntil(
        [&] {
            names = windowNames(server.display());
            for (const QString& n : names)
                if (n.startsWith(QStringLiteral("Tessaly NEWS")))
                    return true;
            return program.state() == QProcess::NotRunning;
        },
        60000);
    program.kill();
    program.waitForFinished();

    EXPECT_TRUE(names.contains(QStringLiteral("Quillon Varnholt")))
        << names.values().join(", ").toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("Tessaly NEWS")))
        << names.values().join(", ").toStdString();
    for (const QString& n : names)
        EXPECT_FALSE(n.contains(QStringLiteral("Quillon Varnholt")) &&
                     n != QStringLiteral("Quillon Varnholt"))
            << n.toStdString();
}

} // namespace
