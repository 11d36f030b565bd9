#include "platform/Registry.h"
#include "platform/Errors.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

const QString ProgramKey = QStringLiteral(R"(\SOFTWARE\Quillon\Ostrevo)");

// The message of the RegistryError that `f` raises; empty when it raises none.
template <typename F> QString registryErrorOf(F&& f) {
    try {
        f();
    } catch (const RegistryError& e) {
        return e.message();
    }
    return QString();
}

class RegistryStore : public ::testing::Test {
protected:
    QString dir() const { return tmp_.path() + QStringLiteral("/registry/"); }
    QString hklmFile() const { return storeFile(RegRoot::LocalMachine, dir()); }
    Registry hklm() const { return Registry(RegRoot::LocalMachine, dir()); }
    // A registry with the program key open, holding one value of each kind.
    Registry withEveryType() const {
        Registry reg = hklm();
        EXPECT_TRUE(reg.openKey(ProgramKey, true));
        reg.writeString("S", "text");
        reg.writeExpandString("E", "%HOME%/x");
        reg.writeInteger("D", -1);
        reg.writeBinary("B", QByteArray::fromHex("00ff10"));
        return reg;
    }

    // Runs the reg tool on this test's store; its exit code.
    int regTool(const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VARNHOLT_REGISTRY_DIR", dir());
        p.setProcessEnvironment(env);
        p.start(testsupport::binPath("reg"), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.readAllStandardError(), "");
        return p.exitCode();
    }

    QTemporaryDir tmp_;
};

} // namespace

TEST_F(RegistryStore, WritesTheExportFormatWithParentKeysListed) {
    Registry reg = hklm();
    ASSERT_FALSE(QDir(dir()).exists());
    ASSERT_TRUE(reg.openKey(ProgramKey, true));
    reg.writeString("Note", R"(say "hi" in C:\x)");
    reg.writeInteger("mat_picmip", -1);
    reg.writeExpandString("P", "%A%");
    reg.writeBinary("B", QByteArray::fromHex("0102"));
    reg.writeString("", "default");
    EXPECT_EQ(QString::fromUtf8(readFile(hklmFile())),
              QStringLiteral(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE]

[HKEY_LOCAL_MACHINE\SOFTWARE\Quillon]

[HKEY_LOCAL_MACHINE\SOFTWARE\Quillon\Ostrevo]
"Note"="say \"hi\" in C:\\x"
"mat_picmip"=dword:ffffffff
"P"=hex(2):25,00,41,00,25,00,00,00
"B"=hex:01,02
@="default"

)"));
    // Each root keeps its own file.
    Registry users(RegRoot::Users, dir());
    ASSERT_TRUE(users.openKey(R"(S-1-22-1-0\Software)", true));
    EXPECT_TRUE(QFile::exists(dir() + "HKEY_USERS.reg"));
    EXPECT_FALSE(reg.keyExists(R"(\S-1-22-1-0)"));
}

TEST_F(RegistryStore, ReadsKeepTheStoredTypes) {
    const Registry reg = withEveryType();
    struct Case {
        const char* what;
        std::function<QString()> read;
        QString expected; // the text read, or the error raised
    };
    const Case cases[] = {
        {"string", [&] { return reg.readString("S"); }, "text"},
        {"expand string as string", [&] { return reg.readString("e"); }, "%HOME%/x"},
        {"missing string", [&] { return reg.readString("Missing"); }, ""},
        {"dword as string", [&] { return reg.readString("D"); }, "Invalid data type for 'D'"},
        {"binary as string", [&] { return reg.readString("B"); }, "Invalid data type for 'B'"},
        {"dword", [&] { return QString::number(reg.readInteger("D")); }, "-1"},
        {"string as integer", [&] { return QString::number(reg.readInteger("S")); },
         "Invalid data type for 'S'"},
        {"missing integer", [&] { return QString::number(reg.readInteger("Missing")); },
         "Invalid data type for 'Missing'"},
        {"binary", [&] { return QString::fromLatin1(reg.readBinary("B").toHex()); }, "00ff10"},
        {"string as binary", [&] { return QString::fromLatin1(reg.readBinary("S")); },
         "Invalid data type for 'S'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString got;
        const QString error = registryErrorOf([&] { got = c.read(); });
        EXPECT_EQ(error.isEmpty() ? got : error, c.expected);
    }
    EXPECT_EQ(reg.valueType("s"), RegValueType::String);
    EXPECT_EQ(reg.valueType("E"), RegValueType::ExpandString);
    EXPECT_EQ(reg.valueType("D"), RegValueType::DWord);
    EXPECT_EQ(reg.valueType("B"), RegValueType::Binary);
    EXPECT_EQ(reg.valueType("Missing"), std::nullopt);
}

TEST_F(RegistryStore, WritesThatCannotLandFailWithTheValueName) {
    Registry reg = withEveryType();
    Registry other = hklm();

    Registry closed = hklm();
    EXPECT_EQ(registryErrorOf([&] { closed.writeString("X", "1"); }), "Failed to set data for 'X'");
    EXPECT_EQ(registryErrorOf([&] { reg.writeString("Bad\nName", "1"); }),
              "Failed to set data for 'Bad\nName'");

    // The key goes away while it is open elsewhere.
    ASSERT_TRUE(other.deleteKey(R"(\SOFTWARE\Quillon)"));
    EXPECT_EQ(registryErrorOf([&] { reg.writeInteger("X", 1); }), "Failed to set data for 'X'");
    EXPECT_FALSE(other.keyExists(ProgramKey));
    EXPECT_EQ(reg.readString("S"), ""); // its values went with it
}

TEST_F(RegistryStore, AReadOnlyStoreFileIsNotChanged) {
    Registry reg = withEveryType();
    const QByteArray before = readFile(hklmFile());
    ASSERT_TRUE(QFile::setPermissions(hklmFile(), QFile::ReadOwner | QFile::ReadGroup));
    EXPECT_EQ(registryErrorOf([&] { reg.writeString("S", "changed"); }),
              "Failed to set data for 'S'");
    EXPECT_EQ(readFile(hklmFile()), before);
    // Permissions survive a rewrite.
    ASSERT_TRUE(QFile::setPermissions(hklmFile(), QFile::ReadOwner | QFile::WriteOwner));
    reg.writeString("S", "changed");
    const auto modeBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(hklmFile()) & modeBits, QFile::ReadOwner | QFile::WriteOwner);
}

// A value that would make the store larger than a read takes fails like any write that cannot
// land, and the store stays as it was.
TEST_F(RegistryStore, AWriteThatWouldMakeTheStoreTooLargeIsRefused) {
    Registry reg = withEveryType();
    const QByteArray before = readFile(hklmFile());
    // Three characters a byte in the file: 90 MB become 270 MB.
    EXPECT_EQ(registryErrorOf([&] { reg.writeBinary("Blob", QByteArray(90 << 20, 'x')); }),
              "Failed to set data for 'Blob'");
    EXPECT_EQ(readFile(hklmFile()), before);
    EXPECT_EQ(QDir(dir()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(registryErrorOf([&] {
                  updateStore(
                      RegRoot::LocalMachine,
                      [](regfile::Key& tree) {
                          regfile::createKey(tree, {"Big"})
                              .setValue(regfile::Value("Blob", regfile::TypeBinary,
                                                       QByteArray(90 << 20, 'x')));
                      },
                      dir());
              }),
              QStringLiteral("The registry store file '%1' would be larger than 256 MiB; it was "
                             "left as it was")
                  .arg(hklmFile()));
    EXPECT_EQ(readFile(hklmFile()), before);
    // The store takes writes as before.
    reg.writeBinary("Blob", QByteArray(1000, 'x'));
    EXPECT_EQ(reg.readBinary("Blob"), QByteArray(1000, 'x'));
    EXPECT_EQ(reg.readString("S"), "text");
}

// A write cut short (as on a full disk; here by a file size limit, which needs no mount) fails
// like any write that cannot land; the store keeps its old file and nothing is left beside it.
TEST_F(RegistryStore, AWriteCutShortLeavesTheStoreAsItWas) {
    Registry reg = withEveryType();
    const QByteArray before = readFile(hklmFile());
    QString error;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ready());
        error = registryErrorOf([&] { reg.writeBinary("Blob", QByteArray(10000, 'x')); });
    }
    EXPECT_EQ(error, "Failed to set data for 'Blob'");
    EXPECT_EQ(readFile(hklmFile()), before);
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE.reg.lock"}));
    EXPECT_FALSE(reg.valueExists("Blob"));
    reg.writeBinary("Blob", QByteArray(10000, 'x'));
    EXPECT_EQ(reg.readBinary("Blob"), QByteArray(10000, 'x'));
}

TEST_F(RegistryStore, AFolderThatCannotBeCreatedFailsTheWrite) {
    writeFile(tmp_.path() + "/plainfile", "x");
    Registry reg(RegRoot::LocalMachine, tmp_.path() + "/plainfile/registry");
    EXPECT_FALSE(reg.keyExists(ProgramKey));
    EXPECT_NE(registryErrorOf([&] { reg.openKey(ProgramKey, true); }), "");
}

TEST_F(RegistryStore, ADamagedFileFailsEveryAccessAndStaysByteForByte) {
    const QByteArray damaged[] = {
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostre",
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"Note\"=\"a",
        QByteArray("\0\0\0\0\0\0\0\0", 8),
    };
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toStdString());
        Registry opened = withEveryType();
        writeFile(hklmFile(), bytes);

        const QString readError = registryErrorOf([&] { opened.readString("S"); });
        EXPECT_TRUE(readError.contains("damaged")) << readError.toStdString();
        EXPECT_TRUE(readError.contains(hklmFile())) << readError.toStdString();
        Registry fresh = hklm();
        EXPECT_EQ(registryErrorOf([&] { fresh.keyExists(ProgramKey); }), readError);
        EXPECT_EQ(registryErrorOf([&] { fresh.openKey(ProgramKey, false); }), readError);

        EXPECT_EQ(registryErrorOf([&] { opened.writeString("Note", "x"); }),
                  "Failed to set data for 'Note'");
        EXPECT_NE(registryErrorOf([&] { fresh.openKey(R"(\SOFTWARE\New)", true); }), "");
        EXPECT_NE(registryErrorOf([&] { opened.deleteValue("S"); }), "");
        EXPECT_NE(registryErrorOf([&] { fresh.deleteKey(R"(\SOFTWARE)"); }), "");

        EXPECT_EQ(readFile(hklmFile()), bytes);
        QFile::remove(hklmFile());
    }
}

TEST_F(RegistryStore, KeyAndValueNamesIgnoreCaseAndKeepTheFirstCase) {
    Registry reg = hklm();
    ASSERT_TRUE(reg.openKey(ProgramKey, true));
    reg.writeString("Note", "old");
    Registry other = hklm();
    ASSERT_TRUE(other.openKey(R"(software\QUILLON\ostrevo)", true));
    other.writeString("NOTE", "new");
    EXPECT_EQ(reg.readString("note"), "new");
    const QString file = QString::fromUtf8(readFile(hklmFile()));
    EXPECT_TRUE(file.contains(R"([HKEY_LOCAL_MACHINE\SOFTWARE\Quillon\Ostrevo])"));
    EXPECT_TRUE(file.contains(R"("Note"="new")"));
    EXPECT_FALSE(file.contains("QUILLON"));
    EXPECT_FALSE(file.contains("NOTE"));
}

TEST_F(RegistryStore, KeysExistWhenListedOrBelowAListedKey) {
    Registry reg = hklm();
    EXPECT_FALSE(reg.keyExists(ProgramKey));
    EXPECT_FALSE(reg.openKey(ProgramKey, false));
    EXPECT_FALSE(QFile::exists(hklmFile())); // reading never creates the store

    writeFile(hklmFile(), "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n");
    const QByteArray before = readFile(hklmFile());
    EXPECT_TRUE(reg.keyExists(R"(\SOFTWARE)"));
    EXPECT_TRUE(reg.keyExists(R"(software\quillon)"));
    EXPECT_FALSE(reg.keyExists(R"(\SOFTWARE\Valve)"));
    EXPECT_FALSE(reg.keyExists(R"(\\SOFTWARE\Quillon)"));
    EXPECT_FALSE(reg.openKey(R"(\SOFTWARE\Valve)", false));
    EXPECT_FALSE(reg.openKey(R"(\\SOFTWARE\Quillon)", true));
    EXPECT_TRUE(reg.openKey(ProgramKey, false));
    EXPECT_EQ(readFile(hklmFile()), before); // opening an existing key writes nothing
}

TEST_F(RegistryStore, EveryCallSeesTheStoreAsItIsNow) {
    Registry reader = hklm();
    Registry writer = hklm();
    ASSERT_TRUE(writer.openKey(ProgramKey, true));
    ASSERT_TRUE(reader.openKey(ProgramKey, false));
    writer.writeString("AFLevel", "3");
    EXPECT_EQ(reader.readString("AFLevel"), "3");
    writeFile(hklmFile(), "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n"
                          "\"AFLevel\"=\"5\"\n");
    EXPECT_EQ(reader.readString("AFLevel"), "5");
    EXPECT_TRUE(writer.deleteValue("aflevel"));
    EXPECT_FALSE(reader.valueExists("AFLevel"));
    EXPECT_FALSE(writer.deleteValue("AFLevel"));
}

TEST_F(RegistryStore, KeepsValuesOfTypesItDoesNotWrite) {
    writeFile(hklmFile(), "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n"
                          "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n");
    Registry reg = hklm();
    ASSERT_TRUE(reg.openKey(ProgramKey, false));
    EXPECT_EQ(reg.valueType("Multi"), std::nullopt);
    EXPECT_TRUE(reg.valueExists("Multi"));
    EXPECT_EQ(registryErrorOf([&] { reg.readString("Multi"); }), "Invalid data type for 'Multi'");
    reg.writeString("Note", "x");
    EXPECT_TRUE(QString::fromUtf8(readFile(hklmFile()))
                    .contains("\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"));
}

TEST(RegistryDir, ComesFromTheEnvironmentElseTheUsersConfigFolder) {
    const QByteArray saved = qgetenv("VARNHOLT_REGISTRY_DIR");
    const bool wasSet = qEnvironmentVariableIsSet("VARNHOLT_REGISTRY_DIR");
    qputenv("VARNHOLT_REGISTRY_DIR", "/srv/reg");
    EXPECT_EQ(registryDir(), "/srv/reg/");
    qunsetenv("VARNHOLT_REGISTRY_DIR");
    EXPECT_EQ(registryDir(), QDir::homePath() + "/.config/Quillon/registry/");
    if (wasSet)
        qputenv("VARNHOLT_REGISTRY_DIR", saved);
}

// Each process keeps the tree it last read; a change by anyone else must still be seen by the
// next read: the reg tool replacing the file, and an editor rewriting it in place with the
// same size and the same modification time.
TEST_F(RegistryStore, AChangeByAnotherProcessIsSeenAtTheNextRead) {
    Registry reader = hklm();
    ASSERT_TRUE(reader.openKey(ProgramKey, true));
    reader.writeString("AFLevel", "0");
    for (int round = 1; round <= 20; ++round) {
        const QString value = QString::number(round % 10);
        ASSERT_EQ(regTool({"add", R"(HKLM\SOFTWARE\Quillon\Ostrevo)", "/v", "AFLevel", "/d", value,
                           "/f"}),
                  0);
        ASSERT_EQ(reader.readString("AFLevel"), value) << "round " << round;
    }

    const QString file = hklmFile();
    const QDateTime stamp = QFileInfo(file).lastModified().addSecs(-3600);
    QByteArray bytes = readFile(file);
    for (int round = 0; round < 50; ++round) {
        const QByteArray before = QStringLiteral("\"AFLevel\"=\"%1\"").arg(round % 10).toUtf8();
        const QByteArray after =
            QStringLiteral("\"AFLevel\"=\"%1\"").arg((round + 1) % 10).toUtf8();
        ASSERT_TRUE(bytes.contains(before));
        bytes.replace(before, after);
        QFile inPlace(file);
        ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite)); // same inode, no truncation
        ASSERT_EQ(inPlace.write(bytes), bytes.size());
        inPlace.close();
        ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite));
        ASSERT_TRUE(inPlace.setFileTime(stamp, QFileDevice::FileModificationTime));
        inPlace.close();
        ASSERT_EQ(reader.readString("AFLevel"), QString::number((round + 1) % 10))
            << "round " << round;
    }
    // Rewritten in place faster than the file clock ticks: change and modification times
    // stay the same between some of these, and still every read sees its write.
    for (int round = 50; round < 250; ++round) {
        const QByteArray before = QStringLiteral("\"AFLevel\"=\"%1\"").arg(round % 10).toUtf8();
        bytes.replace(before, QStringLiteral("\"AFLevel\"=\"%1\"").arg((round + 1) % 10).toUtf8());
        QFile inPlace(file);
        ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite));
        ASSERT_EQ(inPlace.write(bytes), bytes.size());
        inPlace.close();
        ASSERT_EQ(reader.readString("AFLevel"), QString::number((round + 1) % 10))
            << "round " << round;
    }
}

// A store file that is a link (to a file kept elsewhere) stays a link: writes go to the file
// it leads to, also when that does not exist yet.
TEST_F(RegistryStore, AStoreFileThatIsALinkIsWrittenThrough) {
    const QString elsewhere = tmp_.path() + "/elsewhere/";
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(dir()));
    writeFile(elsewhere + "machine.reg", "Windows Registry Editor Version 5.00\n\n"
                                         "; kept by the user\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon\\Ostrevo]\n"
                                         "\"Demo\"=\"1\"\n");
    ASSERT_TRUE(QFile::link("../elsewhere/machine.reg", hklmFile()));
    Registry reg = hklm();
    ASSERT_TRUE(reg.openKey(ProgramKey, false));
    EXPECT_EQ(reg.readString("Demo"), "1");
    reg.writeString("Demo", "2");
    EXPECT_TRUE(QFileInfo(hklmFile()).isSymLink());
    EXPECT_TRUE(readFile(elsewhere + "machine.reg").contains("\"Demo\"=\"2\""));
    EXPECT_TRUE(readFile(elsewhere + "machine.reg").contains("; kept by the user\n"));
    ASSERT_EQ(regTool({"add", R"(HKLM\SOFTWARE\Quillon\Ostrevo)", "/v", "Demo", "/d", "1", "/f"}),
              0);
    EXPECT_TRUE(QFileInfo(hklmFile()).isSymLink());
    EXPECT_EQ(reg.readString("Demo"), "1");
    EXPECT_EQ(QDir(dir()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList());

    // A link to a file still to come: the first write makes it, where the link leads.
    Registry users(RegRoot::Users, dir());
    ASSERT_TRUE(QFile::link(elsewhere + "users.reg", storeFile(RegRoot::Users, dir())));
    ASSERT_TRUE(users.openKey(R"(S-1-22-1-0\Software)", true));
    EXPECT_TRUE(QFileInfo(storeFile(RegRoot::Users, dir())).isSymLink());
    EXPECT_TRUE(readFile(elsewhere + "users.reg").contains("[HKEY_USERS\\S-1-22-1-0\\Software]"));
}

// A FIFO, a folder or a device in the store file's place is refused at once with the reason;
// nothing waits for a writer that never comes, and nothing replaces it.
TEST_F(RegistryStore, AStoreFileThatIsNotARegularFileIsRefused) {
    ASSERT_TRUE(QDir().mkpath(dir()));
    const QString fifo = hklmFile();
    ASSERT_EQ(QProcess::execute("mkfifo", {fifo}), 0);
    std::atomic<bool> done = false;
    QString readError, writeError;
    std::thread reader([&] {
        Registry reg = hklm();
        readError = registryErrorOf([&] { reg.keyExists(ProgramKey); });
        writeError = registryErrorOf([&] { reg.openKey(ProgramKey, true); });
        done = true;
    });
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 10000)
        QThread::msleep(10);
    if (!done) // let a reader stuck in open() go: give it a writer that closes at once
        QProcess::execute("sh", {"-c", "exec 3>\"$0\"", fifo});
    reader.join();
    ASSERT_TRUE(done);
    EXPECT_LT(waited.elapsed(), 10000) << "a read waited on the FIFO";
    EXPECT_EQ(readError,
              QStringLiteral("The registry store file '%1' is not a regular file").arg(fifo));
    EXPECT_EQ(writeError, readError);
    EXPECT_FALSE(QFileInfo(fifo).isFile());

    QFile::remove(fifo);
    ASSERT_TRUE(QDir().mkpath(hklmFile()));
    EXPECT_EQ(registryErrorOf([&] { hklm().keyExists(ProgramKey); }),
              QStringLiteral("The registry store file '%1' is not a regular file").arg(fifo));
    EXPECT_TRUE(QFileInfo(hklmFile()).isDir());
}

// The store's own writes say which step failed and on which file; whatever is left under the
// temporary file's name (by a killed writer, or planted as a link) is replaced, never followed.
TEST_F(RegistryStore, AStoreWriteNamesTheFailedStepAndFollowsNoLeftover) {
    Registry reg = withEveryType();
    const QByteArray before = readFile(hklmFile());
    const auto addBlob = [&] {
        updateStore(
            RegRoot::LocalMachine,
            [](regfile::Key& tree) {
                regfile::createKey(tree, {"Big"})
                    .setValue(regfile::Value("Blob", regfile::TypeBinary, QByteArray(10000, 'x')));
            },
            dir());
    };
    QString error;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ready());
        error = registryErrorOf(addBlob);
    }
    EXPECT_EQ(
        error,
        QStringLiteral("Cannot write the registry file '%1.tmp': File too large").arg(hklmFile()));
    EXPECT_EQ(readFile(hklmFile()), before);

    const QString victim = tmp_.path() + "/victim";
    writeFile(victim, "kept");
    ASSERT_TRUE(QFile::link(victim, hklmFile() + ".tmp"));
    addBlob();
    EXPECT_EQ(readFile(victim), "kept");
    EXPECT_TRUE(readFile(hklmFile()).contains("[HKEY_LOCAL_MACHINE\\Big]"));
    EXPECT_EQ(QDir(dir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE.reg.lock"}));
}
