#include "TestSupport.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs the install step on this build; returns its exit code and output.
std::pair<int, QString> install(const QStringList& arguments) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARNHOLT_BUILD_DIR"), QFileInfo(testsupport::binDir()).path());
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("bash"),
              QStringList{testsupport::sourceDir() + QStringLiteral("/scripts/install.sh")} +
                  arguments);
    run.waitForFinished(60000);
    return {run.exitCode(), QString::fromLocal8Bit(run.readAll())};
}

TEST(InstallStep, LaysOutTheProgramFolderAndCreatesTheProgramKey) {
    QTemporaryDir tmp;
    const QString prefix = tmp.path() + QStringLiteral("/Quillon Varnholt");
    const QString registry = tmp.path() + QStringLiteral("/registry/");
    ASSERT_FALSE(SettingsStore(registry).HasProgramKey());

    const auto [code, output] = install({prefix, registry});
    ASSERT_EQ(code, 0) << output.toStdString();

    struct Expected {
        const char* file;
        bool executable;
    };
    for (const Expected& e :
         {Expected{"varnholt", true}, Expected{"newswindow.so", false},
          Expected{"system/dxdiag", true}, Expected{"Demos/rovdemo1.dem", false},
          Expected{"Help.pdf", false}, Expected{"offlinenews.html", false}}) {
        const QFileInfo installed(prefix + QLatin1Char('/') + QLatin1String(e.file));
        EXPECT_TRUE(installed.isFile()) << e.file;
        EXPECT_EQ(installed.isExecutable(), e.executable) << e.file;
        EXPECT_TRUE(installed.isWritable()) << e.file;
    }
    EXPECT_TRUE(SettingsStore(registry).HasProgramKey());
    // The shipped demo is a recording the game recognises by its header.
    EXPECT_TRUE(testsupport::readFile(prefix + QStringLiteral("/Demos/rovdemo1.dem"))
                    .startsWith(QByteArray("HL2DEMO\0", 8)));

    // Again over the same folder: replaced, and the key kept with its values.
    SettingsStore(registry).WriteValue(QStringLiteral("Note"), QStringLiteral("kept"));
    ASSERT_EQ(install({prefix, registry}).first, 0);
    EXPECT_EQ(SettingsStore(registry).ReadValue(QStringLiteral("Note")), QStringLiteral("kept"));
}

TEST(InstallStep, RefusesWithoutAPrefix) {
    const auto [code, output] = install({});
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(output.contains(QStringLiteral("usage"))) << output.toStdString();
}

} // namespace
