#include "TestSupport.h"
#include "Version.h"
#include "game/MangoHudConfig.h"
#include "game/SettingsStore.h"
#include "platform/Registry.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs one of the install scripts on this build, in the given environment; returns its exit
// code and output.
std::pair<int, QString> script(const QString& name, const QStringList& arguments,
                               QProcessEnvironment env) {
    QProcess run;
    env.insert(QStringLiteral("VARNHOLT_BUILD_DIR"), QFileInfo(testsupport::binDir()).path());
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("bash"),
              QStringList{testsupport::sourceDir() + QStringLiteral("/scripts/") + name} +
                  arguments);
    if (!run.waitForFinished(240000)) {
        run.kill();
        run.waitForFinished();
    }
    return {run.exitCode(), QString::fromLocal8Bit(run.readAll())};
}

std::pair<int, QString> install(const QStringList& arguments) {
    return script(QStringLiteral("install.sh"), arguments,
                  QProcessEnvironment::systemEnvironment());
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

TEST(InstallStep, RefusesMoreThanAPrefixAndAStore) {
    const auto [code, output] = install({"one", "two", "three"});
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(output.contains(QStringLiteral("usage"))) << output.toStdString();
}

// The install into a home of its own, and its removal.
class HomeInstall : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        home = tmp.path() + QStringLiteral("/my home");
        registry = tmp.path() + QStringLiteral("/registry/");
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("VARNHOLT_REGISTRY_DIR"), registry);
        env.remove(QStringLiteral("XDG_STATE_HOME"));
        // The user's own files beside the places the install uses.
        for (const char* own : {"/.local/bin/mytool", "/.local/share/applications/mine.desktop",
                                "/.local/share/icons/hicolor/48x48/apps/mine.png",
                                "/.local/state/Quillon/other.log", "/notes.txt"})
            testsupport::writeFile(home + QLatin1String(own), "mine");
        before = files();
    }

    // Every file, link and folder below the home, relative to it.
    QStringList files() const {
        QStringList found;
        QDirIterator it(home, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(home.size());
        found.sort();
        return found;
    }

    std::pair<int, QString> run(const QString& name, const QStringList& arguments = {}) {
        return script(name, arguments, env);
    }

    QTemporaryDir tmp;
    QString home, registry;
    QProcessEnvironment env;
    QStringList before;
};

TEST_F(HomeInstall, PutsEachPartWhereTheDesktopLooksAndRunsFromThere) {
    const auto [code, output] = run(QStringLiteral("install.sh"));
    ASSERT_EQ(code, 0) << output.toStdString();

    const QString program = home + QStringLiteral("/.local/lib/varnholt/");
    for (const char* file : {"varnholt", "newswindow.so", "system/dxdiag", "Demos/rovdemo1.dem",
                             "Help.pdf", "offlinenews.html", "reg"}) {
        const QFileInfo installed(program + QLatin1String(file));
        EXPECT_TRUE(installed.isFile()) << file;
        EXPECT_TRUE(installed.isWritable()) << file << ": the program updates itself";
    }
    EXPECT_FALSE(QFileInfo::exists(program + QStringLiteral("package-managed")));
    const QFileInfo link(home + QStringLiteral("/.local/bin/varnholt"));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.symLinkTarget(), program + QStringLiteral("varnholt"));

    const QString share = home + QStringLiteral("/.local/share/");
    const QString id = QStringLiteral("example.quillon.Varnholt");
    const QByteArray entry = testsupport::readFile(share + "applications/" + id + ".desktop");
    // The menu starts the program by its full path, quoted for the blank.
    EXPECT_TRUE(entry.contains("\nExec=\"" + program.toUtf8() + "varnholt\"\n"))
        << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nIcon=" + id.toUtf8() + "\n"));
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"),
                   {share + "applications/" + id + ".desktop"});
    ASSERT_TRUE(validate.waitForFinished(30000)) << "desktop-file-validate (scripts/setup.sh)";
    EXPECT_EQ(validate.exitCode(), 0);
    EXPECT_EQ(validate.readAll(), QByteArray());
    EXPECT_TRUE(testsupport::readFile(share + "metainfo/" + id + ".metainfo.xml")
                    .contains("<id>" + id.toUtf8() + "</id>"));
    for (int size : {48, 64, 128, 256}) {
        const QImage icon(share + QStringLiteral("icons/hicolor/%1x%1/apps/").arg(size) + id +
                          ".png");
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        EXPECT_GT(qAlpha(icon.pixel(size / 2, size / 2)), 0) << "a painted icon";
    }
    EXPECT_TRUE(testsupport::readFile(share + "icons/hicolor/scalable/apps/" + id + ".svg")
                    .contains("<svg "));
    EXPECT_TRUE(testsupport::readFile(share + "man/man1/varnholt.1.gz").startsWith("\x1f\x8b"));
    EXPECT_TRUE(SettingsStore(registry).HasProgramKey());

    // The installed program answers through its link.
    QProcess version;
    version.setProcessEnvironment(env);
    version.start(link.filePath(), {QStringLiteral("--version")});
    ASSERT_TRUE(version.waitForFinished(30000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(version.readAllStandardOutput().contains(VARNHOLT_VERSION));
}

TEST_F(HomeInstall, UninstallRemovesItAllButTheResultsAndOptionsUnlessPurged) {
    ASSERT_EQ(run(QStringLiteral("install.sh")).first, 0);
    const QString results = home + QStringLiteral("/.local/lib/varnholt/Benchmark/");
    testsupport::writeFile(results + QStringLiteral("result_1.htm"), "a series");
    testsupport::writeFile(home + QStringLiteral("/.local/share/varnholt/Benchmark/r.csv"), "b");
    testsupport::writeFile(home + QStringLiteral("/.local/state/Quillon/varnholt.log"), "log");
    SettingsStore(registry).WriteValue(QStringLiteral("Note"), QStringLiteral("kept"));

    auto [code, output] = run(QStringLiteral("uninstall.sh"));
    ASSERT_EQ(code, 0) << output.toStdString();
    QStringList kept = before;
    kept << "/.local/lib"
         << "/.local/lib/varnholt"
         << "/.local/lib/varnholt/Benchmark"
         << "/.local/lib/varnholt/Benchmark/result_1.htm"
         << "/.local/lib/varnholt/installed-files" // the folders the install made
         << "/.local/share/varnholt"
         << "/.local/share/varnholt/Benchmark"
         << "/.local/share/varnholt/Benchmark/r.csv"
         << "/.local/state/Quillon/varnholt.log";
    kept.sort();
    EXPECT_EQ(files(), kept);
    EXPECT_EQ(SettingsStore(registry).ReadValue(QStringLiteral("Note")), QStringLiteral("kept"));
    EXPECT_TRUE(output.contains(results.chopped(1))) << output.toStdString();

    // Installed again over the kept results, then purged: the home as it was.
    ASSERT_EQ(run(QStringLiteral("install.sh")).first, 0);
    EXPECT_TRUE(QFileInfo::exists(results + QStringLiteral("result_1.htm")));
    std::tie(code, output) = run(QStringLiteral("uninstall.sh"), {QStringLiteral("--purge")});
    ASSERT_EQ(code, 0) << output.toStdString();
    EXPECT_EQ(files(), before);
    EXPECT_FALSE(SettingsStore(registry).HasProgramKey());

    EXPECT_EQ(run(QStringLiteral("uninstall.sh")).first, 1) << "nothing left to remove";
    EXPECT_EQ(run(QStringLiteral("uninstall.sh"), {QStringLiteral("--all")}).first, 2);
}

TEST_F(HomeInstall, UninstallKeepsWhatTheInstallDidNotWriteAndSaysSo) {
    ASSERT_EQ(run(QStringLiteral("install.sh")).first, 0);
    const QString program = home + QStringLiteral("/.local/lib/varnholt/");
    // The user's own things in the program folder, and one installed file the user changed.
    testsupport::writeFile(program + QStringLiteral("Demos/mine.dem"), "HL2DEMO");
    testsupport::writeFile(program + QStringLiteral("notes.txt"), "my notes");
    testsupport::writeFile(program + QStringLiteral("Help.pdf"), "my own help");
    testsupport::writeFile(program + QStringLiteral("Benchmark/result_1.htm"), "a series");

    const auto [code, output] = run(QStringLiteral("uninstall.sh"));
    ASSERT_EQ(code, 0) << output.toStdString();
    QStringList kept = before;
    kept << "/.local/lib"
         << "/.local/lib/varnholt"
         << "/.local/lib/varnholt/Benchmark"
         << "/.local/lib/varnholt/Benchmark/result_1.htm"
         << "/.local/lib/varnholt/Demos"
         << "/.local/lib/varnholt/Demos/mine.dem"
         << "/.local/lib/varnholt/Help.pdf"
         << "/.local/lib/varnholt/installed-files"
         << "/.local/lib/varnholt/notes.txt";
    kept.sort();
    EXPECT_EQ(files(), kept);
    EXPECT_EQ(testsupport::readFile(program + QStringLiteral("Help.pdf")), "my own help");
    for (const char* said :
         {"notes.txt", "Demos", "Help.pdf (changed since the install)", "Benchmark"})
        EXPECT_TRUE(output.contains(QLatin1String(said))) << said << "\n" << output.toStdString();
}

TEST_F(HomeInstall, InstallLeavesTheUsersOwnProgramLinkAndLinkedFolderAlone) {
    // A varnholt of the user's own on the PATH.
    testsupport::writeFile(home + QStringLiteral("/.local/bin/varnholt"), "#!/bin/sh\nmine\n");
    auto [code, output] = run(QStringLiteral("install.sh"));
    EXPECT_EQ(code, 1) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("/.local/bin/varnholt"))) << output.toStdString();
    EXPECT_EQ(testsupport::readFile(home + QStringLiteral("/.local/bin/varnholt")),
              "#!/bin/sh\nmine\n");
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/.local/lib/varnholt")));
    QFile::remove(home + QStringLiteral("/.local/bin/varnholt"));

    // The program folder a link into someone else's folder: nothing written through it.
    const QString elsewhere = tmp.path() + QStringLiteral("/elsewhere");
    testsupport::writeFile(elsewhere + QStringLiteral("/varnholt"), "theirs");
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.local/lib")));
    ASSERT_TRUE(QFile::link(elsewhere, home + QStringLiteral("/.local/lib/varnholt")));
    std::tie(code, output) = run(QStringLiteral("install.sh"));
    EXPECT_EQ(code, 1) << output.toStdString();
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("varnholt")});
    EXPECT_EQ(testsupport::readFile(elsewhere + QStringLiteral("/varnholt")), "theirs");
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/.local/share/applications/"
                                                         "example.quillon.Varnholt.desktop")));
}

// Another home with an install and results, reached from this home through a link.
TEST_F(HomeInstall, UninstallFollowsNoLinkOutOfTheHome) {
    const QString other = tmp.path() + QStringLiteral("/other home");
    QProcessEnvironment otherEnv = env;
    otherEnv.insert(QStringLiteral("HOME"), other);
    otherEnv.insert(QStringLiteral("VARNHOLT_REGISTRY_DIR"), tmp.path() + QStringLiteral("/r2/"));
    ASSERT_EQ(script(QStringLiteral("install.sh"), {}, otherEnv).first, 0);
    testsupport::writeFile(other + QStringLiteral("/.local/lib/varnholt/Benchmark/r.htm"), "res");
    testsupport::writeFile(other + QStringLiteral("/.local/share/varnholt/Benchmark/r.csv"), "r");
    const auto otherFiles = [&] {
        QStringList found;
        QDirIterator it(other, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        found.sort();
        return found;
    };
    const QStringList theirs = otherFiles();

    for (const char* linked : {"/.local/lib", "/.local"}) {
        SCOPED_TRACE(linked);
        const QString link = home + QLatin1String(linked);
        QDir(home + QStringLiteral("/.local/lib")).removeRecursively();
        if (QString::fromLatin1(linked) == QStringLiteral("/.local")) {
            ASSERT_TRUE(QDir(home + QStringLiteral("/.local")).removeRecursively());
            ASSERT_TRUE(QFile::link(other + QStringLiteral("/.local"), link));
        } else {
            ASSERT_TRUE(QFile::link(other + QStringLiteral("/.local/lib"), link));
        }
        for (const QStringList& arguments : {QStringList{}, QStringList{"--purge"}}) {
            const auto [code, output] = run(QStringLiteral("uninstall.sh"), arguments);
            EXPECT_NE(output.indexOf(QStringLiteral("link")), -1) << output.toStdString();
            (void)code;
            EXPECT_EQ(otherFiles(), theirs) << output.toStdString();
        }
        QFile::remove(link);
        ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.local")));
    }
}

TEST_F(HomeInstall, PurgeAfterAPlainUninstallRemovesWhatTheProgramLeftAndPutsBackMangoHud) {
    ASSERT_EQ(run(QStringLiteral("install.sh")).first, 0);
    const QString state = home + QStringLiteral("/.local/state/Quillon/");
    testsupport::writeFile(home + QStringLiteral("/.local/lib/varnholt/Benchmark/r.htm"), "r");
    testsupport::writeFile(state + QStringLiteral("frames/hl2_2026-12-11_08-00-00.csv"), "log");
    testsupport::writeFile(state + QStringLiteral("instance-key"), "0123");
    SettingsStore(registry).WriteValue(QStringLiteral("Note"), QStringLiteral("kept"));
    // A series killed while MangoHud's configuration was the program's: the user's file parked.
    const QString mangohud = home + QStringLiteral("/.config/MangoHud/");
    testsupport::writeFile(mangohud + QStringLiteral("hl2_linux.conf"),
                           MangoHudConfigText(state + QStringLiteral("frames")));
    testsupport::writeFile(mangohud + ParkedMangoHudConfigName(QStringLiteral("hl2_linux.conf")),
                           "fps_limit=60\n");
    testsupport::writeFile(mangohud + QStringLiteral("wine-hl2.conf"),
                           MangoHudConfigText(state + QStringLiteral("frames")));

    auto [code, output] = run(QStringLiteral("uninstall.sh"));
    ASSERT_EQ(code, 0) << output.toStdString();
    std::tie(code, output) = run(QStringLiteral("uninstall.sh"), {QStringLiteral("--purge")});
    ASSERT_EQ(code, 0) << output.toStdString();

    QStringList expected = before;
    expected << "/.config"
             << "/.config/MangoHud"
             << "/.config/MangoHud/hl2_linux.conf";
    expected.sort();
    EXPECT_EQ(files(), expected) << output.toStdString();
    EXPECT_EQ(testsupport::readFile(mangohud + QStringLiteral("hl2_linux.conf")), "fps_limit=60\n");
    EXPECT_FALSE(SettingsStore(registry).HasProgramKey());
    // Again: nothing left, still no failure.
    EXPECT_EQ(run(QStringLiteral("uninstall.sh"), {QStringLiteral("--purge")}).first, 0);
}

} // namespace
