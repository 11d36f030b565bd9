// The installed program started as the user starts it: its main window comes up with nothing of
// the browser engine loaded, and the news window follows in a process of its own, with the
// plugin from the program folder; the engine never enters the program's main process. Observed
// through the benchmarks' probe (app/StartupProbe.h) and /proc.

#include "SteamLayout.h"
#include "TestSupport.h"
#include "app/StartupProbe.h"
#include "game/GameDiscovery.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"
#include "ui/NewsHost.h"
#include "ui/NewsProcess.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

namespace {

constexpr int StartMs = 60000;

class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        prefix = tmp.path() + "/Quillon Varnholt";
        const QString registry = tmp.path() + "/registry/";
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VARNHOLT_BUILD_DIR", QFileInfo(testsupport::binDir()).path());
        install.setProcessEnvironment(env);
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start("bash", {testsupport::sourceDir() + "/scripts/install.sh", prefix, registry});
        ASSERT_TRUE(install.waitForFinished(StartMs));
        ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

        // A Steam client's key, pointing at a stand-in Steam folder.
        const testbed::SteamLayout steam = testbed::layOutSteamFolder(
            tmp.path() + "/steam", "player", false, testsupport::binDir());
        Registry user(RegRoot::CurrentUser, registry);
        ASSERT_TRUE(user.openKey(SteamKeyPath(), true));
        user.writeString("SteamPath", steam.steamDir.chopped(1));

        env.insert("VARNHOLT_REGISTRY_DIR", registry);
        env.insert("VARNHOLT_BENCH_STARTUP", QString::number(StartMs * 2));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // The engine's own sized deletes trip AddressSanitizer (see SanitizerOptions.cpp).
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::SeparateChannels);
    }

    void TearDown() override {
        const qint64 pid = program.processId();
        if (pid <= 0)
            return;
        // The program, then the engine's helper processes, which end once it has gone.
        const QList<qint64> helpers = StartupProbe::Descendants(pid);
        program.kill();
        program.waitForFinished();
        const auto alive = [](qint64 helper) {
            return QFile::exists(QStringLiteral("/proc/%1").arg(helper));
        };
        testsupport::waitUntil([&] { return std::none_of(helpers.begin(), helpers.end(), alive); },
                               10000);
        for (qint64 helper : helpers)
            if (alive(helper))
                QProcess::execute("kill", {"-KILL", QString::number(helper)});
    }

    // Waits for a whole line of the program's output that starts with `start`; returns it.
    QByteArray line(const QByteArray& start) {
        QByteArray found;
        testsupport::waitUntil(
            [&] {
                output += program.readAllStandardOutput();
                QList<QByteArray> lines = output.split('\n');
                lines.removeLast(); // not ended yet
                for (const QByteArray& l : lines)
                    if (l.startsWith(start)) {
                        found = l;
                        return true;
                    }
                return program.state() == QProcess::NotRunning;
            },
            StartMs);
        return found;
    }

    QTemporaryDir tmp;
    QString prefix;
    QProcess program;
    QByteArray output;
};

// The shared libraries named on a line of the probe, after "libraries".
QByteArrayList LibrariesNamed(const QByteArray& line) {
    const QByteArrayList words = line.split(' ');
    return words.mid(words.indexOf("libraries") + 1);
}

bool AnyStartsWith(const QByteArrayList& names, const QByteArray& start) {
    return std::any_of(names.begin(), names.end(),
                       [&](const QByteArray& name) { return name.startsWith(start); });
}

TEST_F(InstalledProgram, ShowsItsWindowWithoutTheBrowserEngineAndTheNewsFollowsBeside) {
    program.start(prefix + "/varnholt", {});
    ASSERT_TRUE(program.waitForStarted());

    ASSERT_EQ(line("window shown"), "window shown") << output.toStdString();
    const QByteArrayList atShow = LibrariesNamed(line("shown cpu-us "));
    ASSERT_TRUE(AnyStartsWith(atShow, "libQt6Widgets.so")) << output.toStdString();
    // Neither the browser engine nor the HTTP library (loaded for a transfer) comes with the
    // start.
    EXPECT_FALSE(AnyStartsWith(atShow, "libQt6WebEngine")) << atShow.join(' ').toStdString();
    EXPECT_FALSE(AnyStartsWith(atShow, "libcurl")) << atShow.join(' ').toStdString();
    EXPECT_FALSE(atShow.contains("newswindow.so"));

    // The news process: the program itself with "/news", showing the news page.
    qint64 news = 0;
    std::optional<NewsArguments> arguments;
    ASSERT_TRUE(testsupport::waitUntil(
        [&] {
            for (qint64 pid : StartupProbe::Descendants(program.processId())) {
                const QStringList args = testbed::processArguments(pid);
                if (args.value(0) == prefix + "/varnholt" && args.value(1) == "/news") {
                    news = pid;
                    arguments = ParseNewsCommandLine(args.mid(1));
                }
            }
            return news != 0;
        },
        StartMs));
    ASSERT_TRUE(arguments.has_value());
    EXPECT_TRUE(arguments->address == QUrl::fromLocalFile(prefix + "/offlinenews.html") ||
                arguments->address == OnlineNewsAddress())
        << arguments->address.toString().toStdString();
    const auto engineIn = [](const QSet<QByteArray>& mapped) {
        return std::any_of(mapped.begin(), mapped.end(), [](const QByteArray& path) {
            return path.contains("/libQt6WebEngineCore.so");
        });
    };
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return engineIn(StartupProbe::MappedLibraries(news)); }, StartMs));
    EXPECT_TRUE(
        StartupProbe::MappedLibraries(news).contains(QFile::encodeName(prefix + "/newswindow.so")));
    EXPECT_FALSE(engineIn(StartupProbe::MappedLibraries(program.processId())));
}

} // namespace
