#include "platform/Registry.h"
#include "support/TestSupport.h"

#include <QDir>
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

// A small import within every limit of a key can still make a store larger than any read
// takes (each key's section names its whole path): it is refused before anything is written,
// and the store stays readable.
TEST_F(RegTool, AnImportThatWouldMakeTheStoreTooLargeChangesNothing) {
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Demo", "/d", "1"}));
    const QString store = storeFile(RegRoot::LocalMachine, dir());
    const QByteArray before = readFile(store);
    // Nine chains of 512 keys with names of 255 characters: 1.2 MB here, over 300 MB stored.
    QByteArray text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int chain = 0; chain < 9; ++chain) {
        text += "[HKEY_LOCAL_MACHINE";
        for (int level = 0; level < 512; ++level)
            text += '\\' + QByteArray(255, char(level == 0 ? 'a' + chain : 'k'));
        text += "]\r\n\"v\"=\"1\"\r\n\r\n";
    }
    ASSERT_LT(text.size(), 1300 * 1000);
    const QString file = tmp_.path() + "/huge.reg";
    writeFile(file, text);
    const Outcome o = reg({"import", file});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err, QStringLiteral("ERROR: The registry store file '%1' would be larger than 256 "
                                    "MiB; it was left as it was\n")
                         .arg(store));
    EXPECT_EQ(readFile(store), before);
    EXPECT_EQ(QDir(dir()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(programKey().readString("Demo"), "1");
    // One chain fits, and what fits is read back.
    text.truncate(text.indexOf("[HKEY_LOCAL_MACHINE\\b"));
    writeFile(file, text);
    EXPECT_OK(reg({"import", file}));
    EXPECT_EQ(
        reg({"query", "HKLM\\" + QString(255, 'a'), "/s"}).out.count("\nHKEY_LOCAL_MACHINE\\"),
        512);
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

// Keys beyond the registry's limits are refused with the limit named, on the command line and
// in an import; a file of forty thousand levels is refused as such, not followed level by
// level. What the limits allow is listed whole.
TEST_F(RegTool, RefusesKeysBeyondTheLimitsAndNamesThem) {
    const auto levels = [](int depth, const QString& name = "k") {
        QStringList parts;
        for (int i = 0; i < depth; ++i)
            parts << name;
        return parts.join('\\');
    };
    struct Case {
        QString key;
        QString message;
    };
    const Case cases[] = {
        {"HKLM\\" + levels(513), "Invalid key name: the key is more than 512 levels deep"},
        {"HKLM\\" + levels(40000), "Invalid key name: the key is more than 512 levels deep"},
        {"HKLM\\A\\" + QString(256, 'n'), "256 characters long; the registry allows 255"},
    };
    for (const Case& c : cases) {
        const Outcome o = reg({"add", c.key, "/f"});
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.err.contains(c.message)) << o.err.left(300).toStdString();
    }
    const Outcome longName = reg({"add", "HKLM\\A", "/v", QString(16384, 'v'), "/d", "1"});
    EXPECT_TRUE(longName.err.contains("longer than 16383 characters"))
        << longName.err.toStdString();
    EXPECT_FALSE(QFile::exists(storeFile(RegRoot::LocalMachine, dir())));

    const QString file = tmp_.path() + "/deep.reg";
    writeFile(file, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\" +
                        levels(40000).toUtf8() + "]\n\"v\"=\"1\"\n");
    const Outcome deep = reg({"import", file});
    EXPECT_EQ(deep.exitCode, 1);
    EXPECT_TRUE(deep.err.contains("line 3: the key is more than 512 levels deep"))
        << deep.err.left(300).toStdString();
    EXPECT_FALSE(QFile::exists(storeFile(RegRoot::LocalMachine, dir())));

    EXPECT_OK(reg({"add", "HKLM\\" + levels(512), "/v", "deepest", "/d", "here"}));
    const Outcome listed = reg({"query", "HKLM\\k", "/s"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.count("\nHKEY_LOCAL_MACHINE\\k"), 512);
    EXPECT_TRUE(listed.out.contains("    deepest    REG_SZ    here\n"));
}

// An import file that is a FIFO would keep the tool waiting for a writer: it is refused.
TEST_F(RegTool, RefusesToImportWhatIsNotARegularFile) {
    const QString fifo = tmp_.path() + "/setup.reg";
    ASSERT_EQ(QProcess::execute("mkfifo", {fifo}), 0);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARNHOLT_REGISTRY_DIR", dir());
    p.setProcessEnvironment(env);
    p.start(testsupport::binPath("reg"), {"import", fifo});
    const bool ended = p.waitForFinished(10000);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    ASSERT_TRUE(ended) << "the import waited on the FIFO";
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()),
              QStringLiteral("ERROR: Cannot open '%1': it is not a regular file\n").arg(fifo));
}

// Comments the user wrote into the store file are still there after the tool changed it.
TEST_F(RegTool, KeepsTheCommentsOfTheStoreFile) {
    writeFile(storeFile(RegRoot::LocalMachine, dir()),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "; set up by hand\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\r\n"
              "; 1 = the shipped demo\r\n"
              "\"Demo\"=\"1\"\r\n");
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Demo", "/d", "2", "/f"}));
    EXPECT_OK(reg({"add", ProgramKey, "/v", "Note", "/d", "x"}));
    EXPECT_EQ(QString::fromUtf8(readFile(storeFile(RegRoot::LocalMachine, dir()))),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon]\n\n"
              "; set up by hand\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n"
              "; 1 = the shipped demo\n"
              "\"Demo\"=\"2\"\n"
              "\"Note\"=\"x\"\n\n");
}
