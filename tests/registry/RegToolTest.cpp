#include "platform/Registry.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

const QString ProgramKey = QStringLiteral(R"(HKLM\SOFTWARE\Quillon\Ostrevo)");

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

class RegTool : public ::testing::Test {
protected:
    QString dir() const { return tmp_.path() + QStringLiteral("/registry/"); }

    // Runs the reg tool on this test's store, with `input` as its standard input.
    Outcome reg(const QStringList& args, const QByteArray& input = {}) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VARNHOLT_REGISTRY_DIR", dir());
        p.setProcessEnvironment(env);
        p.start(testsupport::binPath("reg"), args);
        EXPECT_TRUE(p.waitForStarted()) << p.errorString().toStdString();
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    Registry programKey() const {
        Registry r(RegRoot::LocalMachine, dir());
        EXPECT_TRUE(r.openKey(R"(\SOFTWARE\Quillon\Ostrevo)", false));
        return r;
    }

    QTemporaryDir tmp_;
};

#define EXPECT_OK(outcome)                                                                         \
    do {                                                                                           \
        const Outcome o_ = (outcome);                                                              \
        EXPECT_EQ(o_.exitCode, 0) << o_.err.toStdString();                                         \
    } while (0)

} // namespace

TEST_F(RegTool, AddsQueriesAndDeletesKeysAndValues) {
    EXPECT_OK(reg({"add", ProgramKey}));
    EXPECT_TRUE(Registry(RegRoot::LocalMachine, dir()).keyExists(R"(\SOFTWARE\Quillon\Ostrevo)"));

    EXPECT_OK(reg({"add", ProgramKey, "/v", "Note", "/d", R"(say "hi" C:\x Grüße)", "/f"}));
    EXPECT_OK(reg({"ADD", ProgramKey, "/V", "mat_picmip", "/T", "REG_DWORD", "/D", "0xffffffff"}));
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Heapsize", "/t", "REG_DWORD", "/d", "256000"}));
    EXPECT_OK(reg({"add", ProgramKey, "/v", "P", "/t", "REG_EXPAND_SZ", "/d", "%HOME%/x"}));
    EXPECT_OK(reg({"add", ProgramKey, "/v", "B", "/t", "REG_BINARY", "/d", "00fF10"}));
    EXPECT_OK(reg({"add", ProgramKey + "\\Sub", "/ve", "/d", "default"}));

    const Registry r = programKey();
    EXPECT_EQ(r.readString("Note"), R"(say "hi" C:\x Grüße)");
    EXPECT_EQ(r.readInteger("mat_picmip"), -1);
    EXPECT_EQ(r.readInteger("Heapsize"), 256000);
    EXPECT_EQ(r.valueType("P"), RegValueType::ExpandString);
    EXPECT_EQ(r.readBinary("B"), QByteArray::fromHex("00ff10"));

    const Outcome all = reg({"query", R"(hklm\software\quillon\ostrevo)"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, QStringLiteral("\n"
                                      R"(HKEY_LOCAL_MACHINE\SOFTWARE\Quillon\Ostrevo)"
                                      "\n"
                                      R"(    Note    REG_SZ    say "hi" C:\x Grüße)"
                                      "\n"
                                      "    mat_picmip    REG_DWORD    0xffffffff\n"
                                      "    Heapsize    REG_DWORD    0x3e800\n"
                                      "    P    REG_EXPAND_SZ    %HOME%/x\n"
                                      "    B    REG_BINARY    00FF10\n"
                                      "\n"
                                      R"(HKEY_LOCAL_MACHINE\SOFTWARE\Quillon\Ostrevo\Sub)"
                                      "\n"));
    const Outcome one = reg({"query", ProgramKey + "\\sub", "/ve"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(one.out.contains("    (Default)    REG_SZ    default\n")) << one.out.toStdString();

    EXPECT_OK(reg({"delete", ProgramKey, "/v", "note", "/f"}));
    EXPECT_FALSE(r.valueExists("Note"));
    const Outcome gone = reg({"query", ProgramKey, "/v", "Note"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_TRUE(gone.err.startsWith("ERROR: ")) << gone.err.toStdString();

    EXPECT_OK(reg({"delete", R"(HKEY_LOCAL_MACHINE\SOFTWARE\Quillon)", "/f"}));
    EXPECT_FALSE(Registry(RegRoot::LocalMachine, dir()).keyExists(R"(\SOFTWARE\Quillon)"));
    EXPECT_TRUE(Registry(RegRoot::LocalMachine, dir()).keyExists(R"(\SOFTWARE)"));
}

TEST_F(RegTool, AsksBeforeOverwritingOrDeletingUnlessForced) {
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Note", "/d", "first"}));
    EXPECT_EQ(reg({"add", ProgramKey, "/v", "Note", "/d", "second"}, "n\n").exitCode, 1);
    EXPECT_EQ(reg({"add", ProgramKey, "/v", "Note", "/d", "third"}).exitCode, 1); // no answer
    EXPECT_EQ(programKey().readString("Note"), "first");
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Note", "/d", "fourth"}, "yes\n"));
    EXPECT_EQ(programKey().readString("Note"), "fourth");

    EXPECT_EQ(reg({"delete", ProgramKey}, "no\n").exitCode, 1);
    EXPECT_TRUE(programKey().valueExists("Note"));
    EXPECT_OK(reg({"delete", ProgramKey}, "y\n"));
    EXPECT_FALSE(Registry(RegRoot::LocalMachine, dir()).keyExists(R"(\SOFTWARE\Quillon\Ostrevo)"));
}

TEST_F(RegTool, RefusesBadRequestsWithAMessageAndChangesNothing) {
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Note", "/d", "kept"}));
    const QByteArray before = readFile(storeFile(RegRoot::LocalMachine, dir()));
    const QStringList cases[] = {
        {},
        {"frobnicate", ProgramKey},
        {"add"},
        {"add", R"(HKCR\Software)"},
        {"add", R"(HKLM\\Software)"},
        {"add", ProgramKey, "/t", "REG_DWORD", "/d", "1"}, // type without a value name
        {"add", ProgramKey, "/v", "N", "/t", "REG_DWORD", "/d", "12x"},
        {"add", ProgramKey, "/v", "N", "/t", "REG_DWORD", "/d", "4294967296"},
        {"add", ProgramKey, "/v", "N", "/t", "REG_BINARY", "/d", "abc"},
        {"add", ProgramKey, "/v", "N", "/t", "REG_MULTI_SZ", "/d", "a"},
        {"add", ProgramKey, "/v", "N", "/x"},
        {"add", ProgramKey, "/v"},
        {"query", R"(HKLM\SOFTWARE\Missing)"},
        {"delete", ProgramKey, "/v", "Missing", "/f"},
        {"delete", "HKLM", "/f"},
        {"import", tmp_.path() + "/missing.reg"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome o = reg(args);
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.startsWith("ERROR: ")) << o.err.toStdString();
    }
    EXPECT_EQ(readFile(storeFile(RegRoot::LocalMachine, dir())), before);
}

TEST_F(RegTool, ImportsRegeditFilesAcrossRoots) {
    EXPECT_OK(reg({"add", R"(HKLM\SOFTWARE\Old\Gone)"}));
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Stale", "/d", "x"}));
    const QString file = tmp_.path() + "/setup.reg";
    writeFile(file, "Windows Registry Editor Version 5.00\r\n"
                    "\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\r\n"
                    "\"Demo\"=\"1\"\r\n"
                    "\"Stale\"=-\r\n"
                    "\r\n"
                    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                    "\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Valve\\Steam]\r\n"
                    "\"SteamPath\"=\"/opt/steam\"\r\n"
                    "\"Blob\"=hex:01,\\\r\n"
                    "  02\r\n");
    EXPECT_OK(reg({"import", file}));
    const Registry r = programKey();
    EXPECT_EQ(r.readString("Demo"), "1");
    EXPECT_FALSE(r.valueExists("Stale"));
    EXPECT_FALSE(r.keyExists(R"(\SOFTWARE\Old)"));
    Registry steam(RegRoot::CurrentUser, dir());
    ASSERT_TRUE(steam.openKey(R"(\Software\Valve\Steam)", false));
    EXPECT_EQ(steam.readString("SteamPath"), "/opt/steam");
    EXPECT_EQ(steam.readBinary("Blob"), QByteArray::fromHex("0102"));
}

TEST_F(RegTool, AnImportWithAnyBadLineChangesNothing) {
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Demo", "/d", "1"}));
    const QByteArray before = readFile(storeFile(RegRoot::LocalMachine, dir()));
    const QByteArray files[] = {
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n\"Demo\"=\"2\"\n"
        "\"Broken\"=dword:xyz\n",
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n\"Demo\"=\"2\"\n"
        "[HKEY_CLASSES_ROOT\\.html]\n",
    };
    for (const QByteArray& bytes : files) {
        const QString file = tmp_.path() + "/bad.reg";
        writeFile(file, bytes);
        const Outcome o = reg({"import", file});
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.contains("line 5")) << o.err.toStdString();
        EXPECT_EQ(readFile(storeFile(RegRoot::LocalMachine, dir())), before);
    }
}

TEST_F(RegTool, ReportsADamagedStore) {
    writeFile(storeFile(RegRoot::LocalMachine, dir()), "not a registry file\n");
    for (const QStringList& args : {QStringList{"query", ProgramKey},
                                    QStringList{"add", ProgramKey, "/v", "N", "/d", "1", "/f"}}) {
        const Outcome o = reg(args);
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.contains("damaged")) << o.err.toStdString();
    }
    EXPECT_EQ(readFile(storeFile(RegRoot::LocalMachine, dir())), "not a registry file\n");
}
