// The update checker against a real HTTP server on the loopback, with recording prompts.
#include "Recorders.h"
#include "update/UpdateChecker.h"

#include "SmallDisk.h"
#include "TestSupport.h"
#include "platform/Digest.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Signature.h"
#include "update/ReleaseManifest.h"
#include "update/UpgraderMessages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

// tests/update/update_server.py serving one folder.
class UpdateServer {
public:
    explicit UpdateServer(const QString& folder) {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty()) {
            error_ = "python3 is not installed";
            return;
        }
        process_.start(python,
                       {testsupport::sourceDir() + "/tests/update/update_server.py", folder});
        if (!process_.waitForStarted(10000) ||
            !waitUntil([this] { return process_.canReadLine(); }, 10000)) {
            error_ = "the server did not start: " + process_.readAllStandardError();
            return;
        }
        const QList<QByteArray> ports = process_.readLine().trimmed().split(' ');
        port_ = ports.value(0).toInt();
        closedPort_ = ports.value(1).toInt();
        silentPort_ = ports.value(2).toInt();
    }
    ~UpdateServer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(port_).arg(path);
    }
    QString closedUrl(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(closedPort_).arg(path);
    }
    // Takes the connection and never answers.
    QString silentUrl(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(silentPort_).arg(path);
    }
    // The paths asked for so far.
    QStringList log() const { return lines("log"); }
    // Those of them asked for past every cache ("Pragma: no-cache").
    QStringList noCacheLog() const { return lines("nocachelog"); }
    void release() const {
        QProcess curl;
        curl.start("curl", {"-s", url("release")});
        curl.waitForFinished(10000);
    }
    const QByteArray& error() const { return error_; }

private:
    QStringList lines(const QString& path) const {
        QProcess curl;
        curl.start("curl", {"-s", url(path)});
        curl.waitForFinished(10000);
        return QString::fromUtf8(curl.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    QProcess process_;
    int port_ = 0;
    int closedPort_ = 0;
    int silentPort_ = 0;
    QByteArray error_;
};

class RecordingPrompts : public UpgraderPrompts {
public:
    bool AskUpgrade(const QString& text) override {
        log << "ask: " + text;
        return upgradeAnswer;
    }
    void ShowError(const QString& text) override { log << "error: " + text; }
    void ShowInformation(const QString& text) override { log << "information: " + text; }
    bool AskYesNoWarning(const QString& caption, const QString& text) override {
        log << "warning " + caption + ": " + text;
        return lostFileAnswer;
    }
    bool AskPassword(const QString& text, QString& userName, QString& password) override {
        log << "password " + userName + ": " + text;
        password = passwordAnswer;
        return passwordOk;
    }
    QStringList log;
    bool upgradeAnswer = true;
    bool lostFileAnswer = true;
    bool passwordOk = true;
    QString passwordAnswer;
};

class RecordingWizard : public UpgradeWizardView {
public:
    void Open(const WizardSettings&) override {
        open = true;
        log << "open";
    }
    bool IsOpen() const override { return open; }
    void SetFileUrl(const QString& url) override { log << "url " + url; }
    void SetAllDownloading(const QString& text) override { log << text; }
    void SetFileSize(const QString&) override {}
    void SetTransferRate(const QString&) override {}
    void SetEstimatedTime(const QString&) override {}
    void SetProgress(int, int all) override { allFiles << all; }
    void ShowEndPage(const QString& text) override { log << "end: " + text; }
    void Close() override {
        open = false;
        log << "closed";
    }
    bool open = false;
    QStringList log;
    QList<int> allFiles;
};

QByteArray InfoFile(const QString& version, const QStringList& urls, const QString& extra = {}) {
    QString text;
    for (int i = 0; i < urls.size(); ++i)
        text += QStringLiteral("#url%1=%2\r\n").arg(i + 1).arg(urls[i]);
    text += "#version=" + version + "\r\n#message={Fixes.}\r\n" + extra;
    return text.toLatin1();
}

// A stand-in program that notes how it was started in `marker`.
QByteArray Script(const char* tag, const QString& marker) {
    return QStringLiteral("#!/bin/sh\necho \"%1 $*\" > '%2'\n").arg(tag, marker).toUtf8();
}

void MakeRunnable(const QString& path) {
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        app_ = root_.path() + "/my app/";
        run_ = root_.path() + "/run dir";
        www_ = root_.path() + "/www/";
        for (const QString& dir : {app_, run_, www_})
            ASSERT_TRUE(QDir().mkpath(dir));
        oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run_));
        temp_ = run_ + "/varnholt/";
        server_ = std::make_unique<UpdateServer>(www_);
        ASSERT_TRUE(server_->error().isEmpty()) << server_->error().constData();

        // The user's private temporary folder; a helper left there by an earlier upgrade goes
        // when the component is made.
        writeFile(temp_ + "Upgrader4.exe", "old helper");
        up_ = std::make_unique<UpdateChecker>();
        EXPECT_EQ(up_->TempFolder, temp_);
        EXPECT_EQ(QFile::permissions(temp_) & 0x0777,
                  QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        EXPECT_FALSE(QFile::exists(temp_ + "Upgrader4.exe"));

        configure();
    }

    // The checker's settings and recorders, on the checker made last.
    void configure() {
        up_->InfoFileURL = server_->url("update.txt");
        up_->CompareBy = VersionComparison::ByNumber;
        up_->VersionNumber = "1.3.0.0";
        up_->ShowMessages =
            UpdateMessage::AskUpgrade | UpdateMessage::ConnectionLost | UpdateMessage::LostFile;
        up_->ProgramPath = app_ + "prog.sh";
        up_->AppFolder = app_;
        up_->SetPrompts(&prompts_);
        up_->SetShell(&shell_);
        up_->SetWizardView(&wizard_);
        up_->CloseApplication = [this] { events_ << "close"; };
        up_->OnBeginUpgrade = [this](const QString&, UpgradeMethod, const QStringList&, bool&) {
            events_ << "begin";
        };
        up_->OnLaterUpgrade = [this] { events_ << "later"; };
        up_->OnNoUpdateAvailable = [this] { events_ << "no update"; };
        up_->OnNoInfoFile = [this] { events_ << "no info file"; };
        up_->OnHostUnreachable = [this](const QString&, const QString& host) {
            events_ << "unreachable " + host;
        };
        up_->OnConnectionLost = [this] { events_ << "connection lost"; };
        up_->OnAborted = [this] { events_ << "aborted"; };
        up_->OnLostFile = [this](const QString& url, int code, bool&) {
            events_ << QStringLiteral("lost %1 %2").arg(QUrl(url).fileName()).arg(code);
        };
        up_->OnFileDone = [this](const QString& name) {
            events_ << "done " + QFileInfo(name).fileName();
        };
        up_->OnProgress = [this](const QString& url, qint64, qint64, qint64, qint64, int, int total,
                                 float) { totals_ << qMakePair(url, total); };
        up_->OnEndUpgrade = [this](bool& restart) {
            events_ << "end";
            restart = restartAtEnd_;
        };
    }
    void TearDown() override {
        up_.reset();
        server_.reset();
        if (oldRuntime_.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", oldRuntime_);
    }

    // Waits for the wizard's end page and closes it with OK.
    void finishAtTheEndPage() {
        ASSERT_TRUE(waitUntil(
            [this] { return !wizard_.log.isEmpty() && wizard_.log.last().startsWith("end: "); },
            20000))
            << events_.join(", ").toStdString();
        wizard_.OnFinished();
    }

    // Runs a check and waits until the component is idle again with something to show.
    void check() {
        up_->RunUpdateCheck(false);
        ASSERT_TRUE(waitUntil([this] { return !events_.isEmpty() && !up_->Busy(); }, 20000))
            << events_.join(", ").toStdString();
    }

    QStringList leftovers() const {
        return QDir(app_).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir root_;
    QString app_, run_, temp_, www_;
    QByteArray oldRuntime_;
    std::unique_ptr<UpdateServer> server_;
    std::unique_ptr<UpdateChecker> up_;
    RecordingPrompts prompts_;
    RecordingShell shell_;
    RecordingWizard wizard_;
    QStringList events_;
    QList<QPair<QString, int>> totals_;
    bool restartAtEnd_ = false;
};

struct CheckCase {
    const char* name;
    const char* info; // null: the server has no information file
    const char* infoPath;
    bool answer;
    QStringList events;
    bool asked;
    QStringList messages; // other prompts, in order
};

TEST_F(UpdateCheck, DecisionAndFailuresOfTheInformationFile) {
    const QString askText = AskUpgradeText("Quillon Varnholt", "Fixes.");
    const CheckCase cases[] = {
        {"missing information file shows nothing",
         nullptr,
         "update.txt",
         true,
         {"no info file"},
         false,
         {}},
        {"newer version declined",
         "1.3.1.0|a.dat",
         "update.txt",
         false,
         {"begin", "later"},
         true,
         {}},
        {"newer version without any file",
         "1.3.1.0|",
         "update.txt",
         true,
         {"no update"},
         false,
         {}},
        {"same version written short", "1.3|a.dat", "update.txt", true, {"no update"}, false, {}},
        {"broken-off information file",
         "1.3.1.0|a.dat",
         "short/update.txt",
         true,
         {"connection lost"},
         false,
         {"error: " + UpgraderMessages(30)}},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        prompts_.log.clear();
        QFile::remove(www_ + "update.txt");
        if (c.info) {
            const QStringList parts = QString(c.info).split('|');
            const QStringList urls =
                parts[1].isEmpty() ? QStringList{} : QStringList{server_->url(parts[1])};
            writeFile(www_ + "update.txt", InfoFile(parts[0], urls));
        }
        up_->InfoFileURL = server_->url(c.infoPath);
        prompts_.upgradeAnswer = c.answer;
        check();
        EXPECT_EQ(events_, c.events);
        QStringList expected = c.messages;
        if (c.asked)
            expected.prepend("ask: " + askText);
        EXPECT_EQ(prompts_.log, expected);
        EXPECT_FALSE(wizard_.open);
        EXPECT_TRUE(shell_.opened.isEmpty());
    }
    // Nothing was downloaded by any of them.
    EXPECT_FALSE(server_->log().contains("/a.dat"));
}

TEST_F(UpdateCheck, UnreachableHostIsReportedOnceAndShowsNoBoxOfItsOwn) {
    up_->InfoFileURL = server_->closedUrl("update.txt");
    check();
    EXPECT_EQ(events_, QStringList{"unreachable 127.0.0.1"});
    EXPECT_TRUE(prompts_.log.isEmpty());
}

TEST_F(UpdateCheck, RedirectMethodOpensTheFirstEntryAndNothingElse) {
    writeFile(
        www_ + "update.txt",
        InfoFile("1.4", {"quillon.example/download", server_->url("a.dat")}, "#method=2\r\n"));
    check();
    EXPECT_EQ(events_, QStringList{"begin"});
    EXPECT_EQ(shell_.opened, QStringList{"http://quillon.example/download"});
    EXPECT_FALSE(wizard_.log.contains("open"));
    EXPECT_EQ(server_->log(), QStringList{"/update.txt"});
}

TEST_F(UpdateCheck, CheckOnlyReturnsTheVerdictWithoutAskingOrDownloading) {
    writeFile(www_ + "update.txt", InfoFile("1.3.0.1", {server_->url("a.dat")}));
    EXPECT_TRUE(up_->RunUpdateCheck(true));
    EXPECT_EQ(events_, QStringList{"begin"});
    EXPECT_TRUE(prompts_.log.isEmpty());
    up_->VersionNumber = "1.3.0.1";
    EXPECT_FALSE(up_->RunUpdateCheck(true));
    EXPECT_EQ(server_->log(), (QStringList{"/update.txt", "/update.txt"}));
}

TEST_F(UpdateCheck, TwoFilesAreDownloadedBesideTheirPlacesWithOverallProgress) {
    const QByteArray a(300000, 'a'), b(200000, 'b');
    writeFile(www_ + "a.dat", a);
    writeFile(www_ + "b.dat", b);
    writeFile(www_ + "update.txt",
              InfoFile("1.4", {server_->url("a.dat"), server_->url("b.dat") + "=data/b.dat"}));
    up_->RunUpdateCheck(false);
    ASSERT_TRUE(waitUntil(
        [this] { return wizard_.log.contains("end: " + UpgradeCompletedText("Quillon Varnholt")); },
        20000))
        << wizard_.log.join(", ").toStdString();
    EXPECT_EQ(events_, (QStringList{"begin", "done a.dat.uTMP", "done b.dat.uTMP"}));
    EXPECT_EQ(readFile(app_ + "a.dat.uTMP"), a);
    EXPECT_EQ(readFile(app_ + "data/b.dat.uTMP"), b);
    EXPECT_EQ(up_->Files()[1], server_->url("b.dat") + "=" + app_ + "data/b.dat");
    EXPECT_TRUE(wizard_.log.contains("Downloading 2 of 2"));

    // The first file fills the first half, the second the rest; never backwards.
    ASSERT_FALSE(totals_.isEmpty());
    int last = 0;
    for (const auto& [url, total] : totals_) {
        EXPECT_GE(total, last);
        EXPECT_LE(total, url.endsWith("a.dat") ? 50 : 100);
        EXPECT_GE(total, url.endsWith("a.dat") ? 0 : 50);
        last = total;
    }
    EXPECT_EQ(last, 100);
    // The information file is asked for past every cache, the update files are not.
    EXPECT_EQ(server_->noCacheLog(), QStringList{"/update.txt"});

    wizard_.OnFinished();
    EXPECT_EQ(events_.last(), "end");
    EXPECT_TRUE(up_->Finished());
}

TEST_F(UpdateCheck, MissingUpdateFileAnsweredNoCancelsAndLeavesNoDownload) {
    writeFile(www_ + "a.dat", QByteArray(1000, 'a'));
    writeFile(www_ + "update.txt",
              InfoFile("1.4", {server_->url("a.dat"), server_->url("gone.dat")}));
    prompts_.lostFileAnswer = false;
    check();
    ASSERT_TRUE(waitUntil([this] { return events_.contains("aborted"); }, 20000))
        << events_.join(", ").toStdString();
    EXPECT_EQ(events_, (QStringList{"begin", "done a.dat.uTMP", "lost gone.dat 404", "aborted"}));
    EXPECT_EQ(prompts_.log.last(), "warning Error #404: " + LostFileText(server_->url("gone.dat")));
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_EQ(wizard_.log.last(), "closed");
}

TEST_F(UpdateCheck, CheckWhileADownloadRunsStartsNothing) {
    writeFile(www_ + "big.dat", QByteArray(100000, 'x'));
    writeFile(www_ + "update.txt", InfoFile("1.4", {server_->url("hold/big.dat")}));
    up_->RunUpdateCheck(false);
    ASSERT_TRUE(waitUntil([this] { return server_->log().contains("/hold/big.dat"); }, 20000));
    EXPECT_TRUE(up_->Busy());
    up_->RunUpdateCheck(false);
    server_->release();
    ASSERT_TRUE(waitUntil([this] { return events_.contains("done big.dat.uTMP"); }, 20000));
    // The end page waits for the user: a check now still starts nothing.
    up_->RunUpdateCheck(false);
    EXPECT_EQ(server_->log().count("/update.txt"), 1);
}

// The whole way: a missing file answered Yes, the others downloaded, the real helper written
// from the program's resource into the private temporary folder and started by its exact path
// (its folder has a blank, and a program stands at the path's first part), the program ended,
// the files put in place and the program started again with "/afterupgrade".
TEST_F(UpdateCheck, UpgradeEndsWithTheHelperRestartingTheNewProgram) {
    const QString marker = root_.path() + "/started.txt";
    // The running program: the helper has to wait until it ends.
    const QString program = app_ + "prog";
    ASSERT_TRUE(QFile::copy("/bin/sleep", program));
    QProcess running;
    running.start(program, {"600"});
    ASSERT_TRUE(running.waitForStarted());
    up_->ProgramPath = program;
    writeFile(root_.path() + "/run", Script("planted", marker));
    MakeRunnable(root_.path() + "/run");
    writeFile(www_ + "prog", Script("new", marker));
    writeFile(www_ + "x.dat", "data v2");
    writeFile(www_ + "update.txt",
              InfoFile("1.4", {server_->url("prog"), server_->url("gone.dat"),
                               server_->url("x.dat") + "=%current%data/x.dat"}));
    restartAtEnd_ = true;
    prompts_.lostFileAnswer = true;
    up_->RunUpdateCheck(false);
    finishAtTheEndPage();
    EXPECT_EQ(events_.mid(events_.size() - 2), (QStringList{"end", "close"}));

    // While the program runs the helper waits, and its queue is there to be read.
    EXPECT_EQ(readFile(temp_ + "UpgraderQueue.txt"), (app_ + "data/x.dat\r\n").toUtf8());
    EXPECT_TRUE(QFileInfo(temp_ + "Upgrader4.exe").isExecutable());
    EXPECT_EQ(QFile::permissions(temp_ + "UpgraderQueue.txt") & 0x0777,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    running.kill();
    ASSERT_TRUE(running.waitForFinished());

    // The new program was started, not the one at the first part of the helper's path.
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 20000));
    EXPECT_EQ(readFile(marker), "new /afterupgrade\n");
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(temp_ + "UpgraderQueue.txt"); }, 20000));
    EXPECT_EQ(readFile(app_ + "data/x.dat"), "data v2");
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_FALSE(QFile::exists(app_ + "data/x.dat.uTMP"));
}

// Whatever lies under the helper's or the queue's name is replaced, never written through.
TEST_F(UpdateCheck, PlantedFilesUnderTheHelpersNamesAreReplacedNotWrittenThrough) {
    const QString victim = root_.path() + "/victim.txt";
    writeFile(victim, "the user's own");
    ASSERT_TRUE(QFile::link(victim, temp_ + "UpgraderQueue.txt"));
    ASSERT_TRUE(QFile::link(victim, temp_ + "Upgrader4.exe"));
    writeFile(www_ + "x.dat", "data");
    writeFile(www_ + "update.txt", InfoFile("1.4", {server_->url("x.dat") + "=data/x.dat"}));
    restartAtEnd_ = true;
    up_->RunUpdateCheck(false);
    finishAtTheEndPage();
    ASSERT_EQ(events_.last(), "close");
    EXPECT_EQ(readFile(victim), "the user's own");
    // The helper ran (the program it restarts is not there, but the files are in place).
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(app_ + "data/x.dat"); }, 20000));
    EXPECT_FALSE(QFileInfo(temp_ + "Upgrader4.exe").isSymLink());
}

// A helper that cannot be written is not started: what lies under its name (here another
// program on a read-only disk) never runs, and the program stays open and says why.
TEST_F(UpdateCheck, AHelperThatCannotBeWrittenIsNotStarted) {
    SmallDisk disk(64);
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    const QString marker = root_.path() + "/started.txt";
    up_->TempFolder = disk.path();
    writeFile(disk.path() + "Upgrader4.exe", Script("planted", marker));
    MakeRunnable(disk.path() + "Upgrader4.exe");
    ASSERT_TRUE(disk.makeReadOnly());
    writeFile(www_ + "x.dat", "data");
    writeFile(www_ + "update.txt", InfoFile("1.4", {server_->url("x.dat")}));
    restartAtEnd_ = true;
    up_->RunUpdateCheck(false);
    finishAtTheEndPage();
    EXPECT_EQ(events_, (QStringList{"begin", "done x.dat.uTMP", "end", "aborted"}));
    ASSERT_FALSE(prompts_.log.isEmpty());
    EXPECT_TRUE(prompts_.log.last().startsWith("error: Cannot create file \"" + disk.path() +
                                               "Upgrader4.exe\". "))
        << prompts_.log.last().toStdString();
    waitUntil([] { return false; }, 500);
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_TRUE(leftovers().isEmpty());
}

// A download that does not fit on the disk is no download: the upgrade is cancelled with the
// reason, and nothing short is left for the helper.
TEST_F(UpdateCheck, ADownloadOntoAFullDiskCancelsTheUpgrade) {
    SmallDisk disk(64);
    if (!disk.ready())
        GTEST_SKIP() << disk.reason().toStdString();
    writeFile(disk.path() + "filler", QByteArray(40 * 1024, 'f')); // 24 KiB stay free
    up_->AppFolder = disk.path();
    up_->ProgramPath = disk.path() + "prog.sh";
    writeFile(www_ + "a.dat", QByteArray(30000, 'a'));
    writeFile(www_ + "update.txt", InfoFile("1.4", {server_->url("a.dat")}));
    check();
    ASSERT_TRUE(waitUntil([this] { return events_.contains("aborted"); }, 20000));
    EXPECT_EQ(events_, (QStringList{"begin", "aborted"}));
    EXPECT_EQ(prompts_.log.last(), "error: Cannot create file \"" + disk.path() +
                                       "a.dat.uTMP\". No space left on device");
    EXPECT_TRUE(QDir(disk.path()).entryList({"*.uTMP"}, QDir::Files | QDir::Hidden).isEmpty());
}

// Targets are checked before anything is downloaded: one outside the program's folder and the
// temporary folder cancels the upgrade with a message naming it.
TEST_F(UpdateCheck, ATargetOutsideTheProgramsFolderCancelsTheUpgrade) {
    writeFile(www_ + "a.dat", "a");
    const QString outside = root_.path() + "/home/";
    ASSERT_TRUE(QDir().mkpath(outside));
    ASSERT_TRUE(QFile::link(outside, app_ + "escape"));
    const struct {
        QString target;
        QString named; // the target as the message names it
    } cases[] = {
        {"../home/.bashrc", root_.path() + "/home/.bashrc"}, // as cleaned once
        {outside + ".profile", outside + ".profile"},
        {"%current%escape/.bashrc", app_ + "escape/.bashrc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        events_.clear();
        prompts_.log.clear();
        writeFile(www_ + "update.txt",
                  InfoFile("1.4", {server_->url("a.dat"), server_->url("a.dat") + "=" + c.target}));
        check();
        EXPECT_EQ(events_, (QStringList{"begin", "aborted"}));
        EXPECT_EQ(prompts_.log.last(), "error: " + TargetOutsideText(c.named));
        EXPECT_FALSE(wizard_.open);
    }
    EXPECT_FALSE(server_->log().contains("/a.dat"));
    EXPECT_TRUE(QDir(outside).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(UpdateCheck, TheRedirectMethodOpensOnlyWebAddresses) {
    const struct {
        const char* entry;
        QStringList opened;
        QStringList events;
    } cases[] = {
        {"file:///bin/sh", {}, {"begin", "aborted"}},
        {"javascript://x", {}, {"begin", "aborted"}},
        {"HTTPS://quillon.example/get", {"HTTPS://quillon.example/get"}, {"begin"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        events_.clear();
        prompts_.log.clear();
        shell_.opened.clear();
        writeFile(www_ + "update.txt", InfoFile("1.4", {c.entry}, "#method=2\r\n"));
        check();
        EXPECT_EQ(shell_.opened, c.opened);
        EXPECT_EQ(events_, c.events);
        if (c.opened.isEmpty()) {
            EXPECT_EQ(prompts_.log.last(), "error: " + AddressRefusedText(c.entry));
        }
    }
}

// Only so much is held of an information file; beyond its limits it counts as missing.
TEST_F(UpdateCheck, AnInformationFileBeyondItsLimitsIsDamaged) {
    writeFile(www_ + "a.dat", "a");
    QStringList many;
    for (int i = 0; i < 1001; ++i)
        many << server_->url("a.dat");
    const QByteArray cases[] = {
        InfoFile("1.4", {server_->url("a.dat")}) + QByteArray(2 * 1024 * 1024, ' ') + "\r\n",
        InfoFile("1.4", many),
    };
    up_->ShowMessages |= UpdateMessage::NoInfoFile;
    for (const QByteArray& file : cases) {
        events_.clear();
        prompts_.log.clear();
        writeFile(www_ + "update.txt", file);
        check();
        EXPECT_EQ(events_, QStringList{"no info file"});
        EXPECT_EQ(prompts_.log, QStringList{"error: " + UpgraderMessages(25)});
    }
    EXPECT_FALSE(server_->log().contains("/a.dat"));
}

// A server that takes the connection and never answers is a time-out after the system's
// time-out (shortened here): the check ends as unreachable and the next one works.
TEST_F(UpdateCheck, AServerThatNeverAnswersTimesOutAndTheNextCheckWorks) {
    up_->SystemTimeouts() = {1000, 1000, 1000};
    up_->InfoFileURL = server_->silentUrl("update.txt");
    up_->RunUpdateCheck(false);
    ASSERT_TRUE(waitUntil([this] { return !events_.isEmpty() && !up_->Busy(); }, 20000))
        << "still waiting";
    EXPECT_EQ(events_, QStringList{"unreachable 127.0.0.1"});

    events_.clear();
    writeFile(www_ + "update.txt", InfoFile("1.3.0.0", {server_->url("a.dat")}));
    up_->InfoFileURL = server_->url("update.txt");
    check();
    EXPECT_EQ(events_, QStringList{"no update"});
}

// Switched on, the timer checks while the computer is online; an automatic check shows no box
// of its own for an unreachable host (and tries again) or for no update (and stops).
TEST_F(UpdateCheck, TheAutomaticCheckRunsOnItsTimerWhileOnline) {
    EXPECT_FALSE(up_->AutoCheck());
    EXPECT_EQ(up_->AutoCheckDelay(), 10000);
    up_->ShowMessages |= UpdateMessage::HostUnreachable | UpdateMessage::NoUpdate;
    int onlineAsked = 0;
    up_->IsOnline = [&] { return ++onlineAsked > 1; }; // offline at the first tick

    // No timer for a delay of 0.
    up_->SetAutoCheckDelay(0);
    up_->SetAutoCheck(true);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(onlineAsked, 0);

    up_->InfoFileURL = server_->closedUrl("update.txt");
    up_->SetAutoCheck(false);
    up_->SetAutoCheckDelay(50);
    up_->SetAutoCheck(true);
    ASSERT_TRUE(waitUntil([this] { return events_.count("unreachable 127.0.0.1") >= 2; }, 20000));
    up_->SetAutoCheck(false);
    EXPECT_GE(onlineAsked, 3);
    EXPECT_TRUE(prompts_.log.isEmpty());
    const int asked = onlineAsked;
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(onlineAsked, asked);

    events_.clear();
    writeFile(www_ + "update.txt", InfoFile("1.3.0.0", {server_->url("a.dat")}));
    up_->InfoFileURL = server_->url("update.txt");
    up_->SetAutoCheck(true);
    ASSERT_TRUE(waitUntil([this] { return events_.contains("no update"); }, 20000));
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(server_->log().count("/update.txt"), 1); // the timer stopped with the check
    EXPECT_TRUE(prompts_.log.isEmpty());

    // Pressed by hand, the same outcome shows its box.
    check();
    EXPECT_EQ(prompts_.log, QStringList{"information: " + UpgraderMessages(24)});
}

// The same checker holding the maker's public key: a key pair made for the test, each release
// on the server described by a manifest signed with it. The program folder holds release 1.5:
// the program, its help, the diagnostics tool it runs and a data file of the user's.
class SignedUpdateCheck : public UpdateCheck {
protected:
    void SetUp() override {
        UpdateCheck::SetUp();
        if (HasFatalFailure())
            return;
        keys_ = platform::GenerateSigningKeys();
        ASSERT_EQ(keys_.publicKey.size(), platform::SignaturePublicKeyBytes);
        configureSigned();
        marker_ = root_.path() + "/started.txt";
        writeFile(app_ + "prog", Script("1.5", marker_));
        MakeRunnable(app_ + "prog");
        writeFile(app_ + "Help.pdf", "%PDF help 1.5");
        ASSERT_TRUE(QDir().mkpath(app_ + "system"));
        writeFile(app_ + "system/dxdiag", "#!/bin/sh\necho genuine dxdiag\n");
        MakeRunnable(app_ + "system/dxdiag");
        ASSERT_TRUE(QDir().mkpath(app_ + "data"));
        writeFile(app_ + "data/extra.dat", "the user's data");

        // Release 1.4, still on the server, and release 1.6, the newest.
        ASSERT_TRUE(QDir().mkpath(www_ + "old"));
        writeFile(www_ + "old/prog", Script("1.4", marker_));
        writeFile(www_ + "old/dxdiag", "#!/bin/sh\necho dxdiag 1.4\n");
        publish(www_ + "old/", InfoFile("1.4", {server_->url("old/prog")}));
        writeFile(www_ + "prog", Script("1.6", marker_));
        writeFile(www_ + "Help.pdf", "%PDF help 1.6");
        writeFile(www_ + "dxdiag", "#!/bin/sh\necho dxdiag 1.6\n");
    }

    void configureSigned() {
        up_->PublicKey = keys_.publicKey;
        up_->VersionNumber = "1.5";
        up_->ProgramPath = app_ + "prog";
    }

    // The maker's release in `folder`: the information file and its manifest, made from the
    // files lying there now, believed for `days` days from today.
    void publish(const QString& folder, const QByteArray& info, int days = 30) {
        writeFile(folder + "update.txt", info);
        const UpdateInfo parsed = ParseUpdateInfo(InfoText(info));
        ReleaseManifest manifest;
        const QDate today = QDateTime::currentDateTimeUtc().date();
        manifest.Version = parsed.InfoVersion;
        manifest.Released = today;
        manifest.Expires = today.addDays(days);
        manifest.InfoSize = info.size();
        manifest.InfoSha256 = platform::Sha256(info);
        for (const QString& entry : parsed.Files) {
            const QString url =
                entry.left(entry.indexOf('=') < 0 ? entry.size() : entry.indexOf('='));
            const QByteArray bytes = readFile(folder + QUrl(url).fileName());
            manifest.Files << ManifestFile{bytes.size(), platform::Sha256(bytes), entry};
        }
        const QByteArray body = ManifestBody(manifest);
        writeFile(folder + "update.txt.manifest",
                  SignedManifestText(
                      body, platform::SignMessage(keys_.secretKey, ManifestSigningMessage(body))));
    }
    void publish(const QByteArray& info, int days = 30) { publish(www_, info, days); }

    // The 1.6 release: the program, its help and the diagnostics tool.
    QByteArray release16(const QString& progPath = "prog", const QString& dxdiagPath = "dxdiag") {
        return InfoFile("1.6", {server_->url(progPath), server_->url("Help.pdf"),
                                server_->url(dxdiagPath) + "=%system%dxdiag"});
    }

    // Every file below the program folder with its bytes and permissions.
    QMap<QString, QByteArray> programFolder() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(app_, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files[path.mid(app_.size())] =
                readFile(path) + " mode " + QByteArray::number(int(QFile::permissions(path)));
        }
        return files;
    }

    // The downloads anywhere below the program folder.
    QStringList downloadsLeft() const {
        QStringList found;
        QDirIterator it(app_, {"*.uTMP"}, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(app_.size());
        return found;
    }

    // Runs an upgrade through to the real helper and waits until it has restarted the program.
    void upgradeAndRestart() {
        restartAtEnd_ = true;
        wizard_.log.clear();
        up_->RunUpdateCheck(false);
        finishAtTheEndPage();
        ASSERT_EQ(events_.mid(events_.size() - 2), (QStringList{"end", "close"}))
            << events_.join(", ").toStdString();
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker_).size() > 0; }, 20000));
        ASSERT_TRUE(waitUntil([&] { return !QFile::exists(temp_ + "UpgraderQueue.txt"); }, 20000));
    }

    // Refused: the message, no helper, no queue, the program folder as it was.
    void expectRefused(const QMap<QString, QByteArray>& before, const QString& message) {
        EXPECT_TRUE(prompts_.log.contains("error: " + message))
            << prompts_.log.join("\n").toStdString();
        EXPECT_TRUE(events_.contains("aborted")) << events_.join(", ").toStdString();
        EXPECT_FALSE(events_.contains("end"));
        EXPECT_FALSE(QFile::exists(temp_ + "Upgrader4.exe"));
        EXPECT_FALSE(QFile::exists(temp_ + "UpgraderQueue.txt"));
        EXPECT_EQ(programFolder(), before);
        EXPECT_FALSE(QFile::exists(marker_));
    }

    platform::SigningKeys keys_;
    QString marker_;
};

// A genuine newer release installs and restarts; the information file and every download are
// checked against the manifest, nothing else is fetched beside them.
TEST_F(SignedUpdateCheck, AGenuineNewerReleaseInstallsAndRestarts) {
    publish(release16());
    upgradeAndRestart();
    EXPECT_EQ(readFile(marker_), "1.6 /afterupgrade\n");
    EXPECT_EQ(readFile(app_ + "Help.pdf"), "%PDF help 1.6");
    EXPECT_EQ(readFile(app_ + "system/dxdiag"), "#!/bin/sh\necho dxdiag 1.6\n");
    EXPECT_TRUE(QFileInfo(app_ + "system/dxdiag").isExecutable());
    EXPECT_EQ(readFile(app_ + "data/extra.dat"), "the user's data");
    EXPECT_TRUE(downloadsLeft().isEmpty()) << downloadsLeft().join(", ").toStdString();
    const QStringList log = server_->log();
    EXPECT_TRUE(log.contains("/update.txt.manifest"));
    EXPECT_FALSE(log.filter(".sig").size()) << log.join(", ").toStdString();
    EXPECT_EQ(server_->noCacheLog(), (QStringList{"/update.txt", "/update.txt.manifest"}));
}

// Finding 1: any file the maker ever released, served in place of another, from the same or an
// older release, directly or by a redirection, and an older release replayed whole.
TEST_F(SignedUpdateCheck, FilesOfOtherReleasesOrOtherNamesAreRefused) {
    const QMap<QString, QByteArray> before = programFolder();
    const struct {
        const char* name;
        std::function<void()> attack;
        QString refusedUrl;
    } cases[] = {
        {"rollback: 1.4's program in the 1.6 release",
         [&] { writeFile(www_ + "prog", readFile(www_ + "old/prog")); }, server_->url("prog")},
        {"cross-file: the help served as the program",
         [&] { writeFile(www_ + "prog", readFile(www_ + "Help.pdf")); }, server_->url("prog")},
        {"the program longer than listed",
         [&] { writeFile(www_ + "prog", readFile(www_ + "prog") + "\necho more\n"); },
         server_->url("prog")},
        {"redirect to 1.4's files",
         [&] {
             const QByteArray info = release16("redirect/prog");
             writeFile(www_ + "redirect/prog", readFile(www_ + "prog")); // what the maker signed
             publish(info);
         },
         server_->url("redirect/prog")},
        {"1.4's information file under 1.6's manifest",
         [&] { writeFile(www_ + "update.txt", readFile(www_ + "old/update.txt")); },
         server_->url("update.txt")},
    };
    QDir().mkpath(www_ + "redirect");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        prompts_.log.clear();
        writeFile(www_ + "prog", Script("1.6", marker_));
        publish(release16());
        c.attack();
        restartAtEnd_ = true;
        check();
        ASSERT_TRUE(waitUntil([this] { return events_.contains("aborted") && !up_->Busy(); }))
            << events_.join(", ").toStdString();
        expectRefused(before, NotReleasedText(c.refusedUrl));
        EXPECT_FALSE(wizard_.open);
    }

    // 1.4 replayed whole, with its own genuine manifest: no update.
    events_.clear();
    prompts_.log.clear();
    const qsizetype fetched = server_->log().count("/old/prog");
    up_->InfoFileURL = server_->url("old/update.txt");
    check();
    EXPECT_EQ(events_, QStringList{"no update"});
    EXPECT_EQ(programFolder(), before);
    EXPECT_EQ(server_->log().count("/old/prog"), fetched);
}

// The manifest itself: missing, by another key, made for another information file.
TEST_F(SignedUpdateCheck, OnlyTheMakersManifestIsBelieved) {
    const QMap<QString, QByteArray> before = programFolder();
    const QString manifestUrl = server_->url("update.txt.manifest");
    const struct {
        const char* name;
        std::function<void()> attack;
        QString message;
    } cases[] = {
        {"missing", [&] { QFile::remove(www_ + "update.txt.manifest"); },
         SignatureFailedText(manifestUrl)},
        {"another key",
         [&] {
             keys_ = platform::GenerateSigningKeys();
             publish(release16());
         },
         SignatureFailedText(manifestUrl)},
        {"a per-file style signature in place of the manifest's",
         [&] {
             QByteArray text = readFile(www_ + "update.txt.manifest");
             const qsizetype at = text.lastIndexOf("signature ");
             const QByteArray body = text.left(at);
             writeFile(www_ + "update.txt.manifest",
                       SignedManifestText(body, platform::SignMessage(keys_.secretKey, body)));
         },
         SignatureFailedText(manifestUrl)},
        {"names a file twice",
         [&] {
             publish(InfoFile(
                 "1.6", {server_->url("prog"), server_->url("Help.pdf") + "=%current%/prog"}));
         },
         TargetTwiceText(manifestUrl)},
    };
    const platform::SigningKeys genuine = keys_;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        prompts_.log.clear();
        keys_ = genuine;
        publish(release16());
        c.attack();
        check();
        EXPECT_EQ(events_, QStringList{"aborted"});
        expectRefused(before, c.message);
        EXPECT_FALSE(server_->log().contains("/prog"));
    }
}

// Finding 4: an old manifest answered for ever would keep every newer release away; once it has
// expired the checker says so, also where it would have said "no update".
TEST_F(SignedUpdateCheck, AnExpiredManifestIsSaidPlainly) {
    up_->ShowMessages |= UpdateMessage::NoUpdate;
    for (const char* version : {"1.6", "1.5"}) {
        SCOPED_TRACE(version);
        events_.clear();
        prompts_.log.clear();
        publish(InfoFile(version, {server_->url("prog")}), -1);
        up_->RunUpdateCheck(false);
        ASSERT_TRUE(waitUntil([this] { return !prompts_.log.isEmpty() && !up_->Busy(); }));
        EXPECT_EQ(prompts_.log, QStringList{"error: " + UpdateInfoExpiredText()});
        EXPECT_FALSE(events_.contains("no update"));
        EXPECT_FALSE(events_.contains("begin"));
    }
    // Its last day still counts.
    events_.clear();
    prompts_.log.clear();
    publish(InfoFile("1.5", {server_->url("prog")}), 0);
    check();
    EXPECT_EQ(events_, QStringList{"no update"});
}

// Finding 2: a download stalled in a subfolder, then cancelled (or the program closed, or ended
// without a chance to clean up); in the next upgrade the file is answered 404 and skipped. Nothing
// of the stalled bytes is ever installed, the rest of the release is.
TEST_F(SignedUpdateCheck, AStalledDownloadLeavesNothingForALaterSkip) {
    const QByteArray dxdiag = readFile(app_ + "system/dxdiag");
    const QString partial = app_ + "system/dxdiag.uTMP";
    const struct {
        const char* name;
        int way; // 0 cancel, 1 close, 2 ended without cleaning up
    } cases[] = {{"cancel", 0}, {"close", 1}, {"killed", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        prompts_.log.clear();
        QFile::remove(marker_);
        writeFile(www_ + "dxdiag", "#!/bin/sh\necho attacker\n" + QByteArray(4000, '#'));
        writeFile(www_ + "prog", Script("1.6", marker_));
        publish(release16("prog", "hold/dxdiag"));
        up_->RunUpdateCheck(false);
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(partial).size() > 0; }, 20000));
        const QByteArray list = readFile(temp_ + "UpgraderDownloads.txt");
        EXPECT_TRUE(list.contains(partial.toUtf8())) << list.constData();
        if (c.way == 0) {
            up_->CancelUpgrade();
            ASSERT_TRUE(waitUntil([&] { return !up_->Busy(); }, 20000));
        } else {
            const QByteArray bytes = readFile(partial);
            up_.reset();
            if (c.way == 2) { // as a crash would have left them
                writeFile(partial, bytes);
                writeFile(temp_ + "UpgraderDownloads.txt", list);
            }
            up_ = std::make_unique<UpdateChecker>(); // the next start
            configure();
            configureSigned();
        }
        server_->release();
        EXPECT_TRUE(downloadsLeft().isEmpty()) << downloadsLeft().join(", ").toStdString();

        // The next upgrade: the file is not there now, the user skips it.
        events_.clear();
        QFile::remove(www_ + "dxdiag");
        prompts_.lostFileAnswer = true;
        upgradeAndRestart();
        EXPECT_TRUE(events_.contains("lost dxdiag 404"));
        EXPECT_EQ(readFile(app_ + "system/dxdiag"), dxdiag);
        EXPECT_EQ(readFile(marker_), "1.6 /afterupgrade\n");
        EXPECT_TRUE(downloadsLeft().isEmpty()) << downloadsLeft().join(", ").toStdString();
        // Back to 1.5 for the next round.
        writeFile(app_ + "prog", Script("1.5", marker_));
        MakeRunnable(app_ + "prog");
    }
}

// Finding 3: targets written "%current%/x" or "./x" are the files "x": the genuine release
// installs them and nothing else is removed, with the key and without.
TEST_F(SignedUpdateCheck, TargetsSpeltDifferentlyAreTheSameFile) {
    writeFile(www_ + "news.so", "news 1.6");
    writeFile(app_ + "news.so", "news 1.5");
    const QByteArray info =
        InfoFile("1.6", {server_->url("prog") + "=%current%/prog",
                         server_->url("news.so") + "=./news.so", server_->url("Help.pdf")});
    for (const bool signedRelease : {true, false}) {
        SCOPED_TRACE(signedRelease ? "signed" : "unsigned");
        events_.clear();
        QFile::remove(marker_);
        writeFile(app_ + "prog", Script("1.5", marker_));
        MakeRunnable(app_ + "prog");
        up_->PublicKey = signedRelease ? keys_.publicKey : QByteArray();
        publish(info);
        upgradeAndRestart();
        EXPECT_EQ(readFile(marker_), "1.6 /afterupgrade\n");
        EXPECT_EQ(readFile(app_ + "news.so"), "news 1.6");
        EXPECT_EQ(readFile(app_ + "Help.pdf"), "%PDF help 1.6");
        EXPECT_EQ(readFile(app_ + "data/extra.dat"), "the user's data");
        EXPECT_TRUE(QFile::exists(app_ + "system/dxdiag"));
        EXPECT_TRUE(downloadsLeft().isEmpty()) << downloadsLeft().join(", ").toStdString();
    }
}

// A trickle keeps no download alive: below the floor it ends as a broken connection, and the
// partial file goes.
TEST_F(SignedUpdateCheck, ADownloadBelowTheFloorEnds) {
    up_->DownloadFloor = {1000, 1000};
    writeFile(www_ + "prog", Script("1.6", marker_) + QByteArray(3000, '#'));
    const QMap<QString, QByteArray> before = programFolder();
    publish(release16("trickle/prog"));
    up_->RunUpdateCheck(false);
    ASSERT_TRUE(waitUntil([this] { return events_.contains("connection lost"); }, 20000))
        << events_.join(", ").toStdString();
    server_->release();
    ASSERT_TRUE(waitUntil([this] { return !up_->Busy(); }));
    EXPECT_EQ(events_, (QStringList{"begin", "connection lost"}));
    EXPECT_EQ(programFolder(), before);
}

// The whole way with a release made by the release tool: its key pair, the manifest it makes
// from the release folder, its check of the folder, the real helper installing the release.
TEST_F(SignedUpdateCheck, AReleaseMadeByTheToolUpgradesEndToEnd) {
    const QString keys = root_.path() + "/keys/";
    ASSERT_TRUE(QDir().mkpath(keys));
    const auto tool = [](const QStringList& args) {
        QProcess p;
        p.start(testsupport::binPath("signrelease"), args);
        const bool ran = p.waitForFinished(30000);
        if (!ran)
            p.kill();
        p.waitForFinished();
        return ran && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    ASSERT_EQ(tool({"keygen", keys + "release.pub", keys + "release.sec"}), 0);
    EXPECT_EQ(QFile::permissions(keys + "release.sec") & 0x0777,
              QFileDevice::ReadUser | QFileDevice::WriteUser);
    // An existing key is never overwritten.
    const QByteArray secret = readFile(keys + "release.sec");
    EXPECT_EQ(tool({"keygen", keys + "other.pub", keys + "release.sec"}), 1);
    EXPECT_EQ(readFile(keys + "release.sec"), secret);
    EXPECT_FALSE(QFile::exists(keys + "other.pub"));

    writeFile(www_ + "x.dat", "data v2");
    writeFile(www_ + "update.txt",
              InfoFile("1.6", {server_->url("prog"), server_->url("x.dat") + "=data/x.dat"}));
    ASSERT_EQ(tool({"sign", keys + "release.sec", www_}), 0);
    EXPECT_EQ(tool({"verify", keys + "release.pub", www_}), 0);

    up_->PublicKey = QByteArray::fromBase64(readFile(keys + "release.pub").trimmed());
    upgradeAndRestart();
    EXPECT_EQ(readFile(marker_), "1.6 /afterupgrade\n");
    EXPECT_EQ(readFile(app_ + "data/x.dat"), "data v2");

    // A file changed after signing, or another key, fails the tool's own check; a manifest
    // believed for no day at all is not made.
    writeFile(www_ + "x.dat", "data v3");
    EXPECT_EQ(tool({"verify", keys + "release.pub", www_}), 1);
    writeFile(www_ + "x.dat", "data v2");
    ASSERT_EQ(tool({"keygen", keys + "second.pub", keys + "second.sec"}), 0);
    EXPECT_EQ(tool({"verify", keys + "second.pub", www_}), 1);
    EXPECT_EQ(tool({"sign", keys + "release.sec", www_, "0"}), 2);
}

TEST(OnlineTest, RemoteConnectionValueElseTheHostsLastAddress) {
    const struct {
        std::optional<qint32> remote;
        QStringList addresses;
        bool online;
    } cases[] = {
        {1, {}, true},
        {0, {"192.0.2.7"}, false},
        {std::nullopt, {"127.0.0.1", "192.0.2.7"}, true},
        {std::nullopt, {"192.0.2.7", "127.0.0.1"}, false},
        {std::nullopt, {}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OnlineByRule(c.remote, c.addresses), c.online)
            << c.remote.value_or(-1) << " " << c.addresses.join(',').toStdString();

    // The value is read from the machine's key in the registry store.
    QTemporaryDir store;
    ASSERT_TRUE(store.isValid());
    Registry key(RegRoot::LocalMachine, store.path() + "/");
    ASSERT_TRUE(key.openKey("System\\CurrentControlSet\\Services\\RemoteAccess", true));
    key.writeInteger("Remote Connection", 1);
    EXPECT_TRUE(ComputerIsOnline(store.path() + "/"));
    key.writeInteger("Remote Connection", 0);
    EXPECT_FALSE(ComputerIsOnline(store.path() + "/"));
}

TEST_F(UpdateCheck, OnAfterRestartFiresForTheRestartArgumentOnly) {
    int fired = 0;
    up_->OnAfterRestart = [&] { ++fired; };
    up_->ApplyStartArguments({"/opt/app/varnholt"});
    up_->ApplyStartArguments({"/opt/app/varnholt", "/other"});
    up_->ApplyStartArguments({"/opt/app/varnholt", "/other", "/afterupgrade"});
    EXPECT_EQ(fired, 0);
    up_->ApplyStartArguments({"/opt/app/varnholt", "/afterupgrade"});
    EXPECT_EQ(fired, 1);
    up_->SetRestartParams("/restarted");
    up_->ApplyStartArguments({"/opt/app/varnholt", "/restarted", "x"});
    EXPECT_EQ(fired, 2);
}

// A server that asks for credentials: the event may answer, else the credentials window does
// (when shown); its Cancel cancels the upgrade.
TEST_F(UpdateCheck, ACredentialsRequestIsAnsweredByTheEventOrTheWindow) {
    writeFile(www_ + "update.txt", InfoFile("1.3.0.0", {server_->url("a.dat")}));
    const QString url = server_->url("auth/update.txt");
    up_->InfoFileURL = url;
    QString realm;
    bool eventAnswers = false;
    up_->OnPasswordRequest = [&](const QString& r, bool& tryAgain) {
        realm = r;
        if (eventAnswers) {
            up_->HTTPPassword() = "secret";
            tryAgain = true;
        }
    };
    const struct {
        const char* name;
        bool window; // UpdateMessage::PasswordRequest shown
        bool eventAnswers;
        bool ok;
        QString password;
        QStringList events;
        bool asked;
    } cases[] = {
        {"the window's OK", true, false, true, "secret", {"no update"}, true},
        {"the window's Cancel", true, false, false, "", {"aborted"}, true},
        {"the event", true, true, true, "", {"no update"}, false},
        {"neither", false, false, true, "secret", {"no info file"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events_.clear();
        prompts_.log.clear();
        realm.clear();
        up_->HTTPUsername() = "quillon";
        up_->HTTPPassword().clear();
        up_->ShowMessages = c.window ? UpdateMessage::AskUpgrade | UpdateMessage::PasswordRequest
                                     : UpdateMessages(UpdateMessage::AskUpgrade);
        eventAnswers = c.eventAnswers;
        prompts_.passwordOk = c.ok;
        prompts_.passwordAnswer = c.password;
        check();
        EXPECT_EQ(events_, c.events);
        EXPECT_EQ(realm, "updates");
        const QStringList asked{"password quillon: " + PasswordRequestText(url)};
        EXPECT_EQ(prompts_.log, c.asked ? asked : QStringList{});
    }
}

// Starts that never upgrade leave no temporary folder behind, also where each start makes a
// fresh one (the usual name in the temporary folder is taken by someone else).
TEST(UpgraderTemporaryFolder, NoStartLeavesAFolderBehind) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString temp = root.path() + "/tmp";
    ASSERT_TRUE(QDir().mkpath(temp));
    ASSERT_TRUE(QDir().mkpath(root.path() + "/elsewhere"));
    ASSERT_TRUE(QFile::link(root.path() + "/elsewhere",
                            QStringLiteral("%1/varnholt-%2").arg(temp).arg(::geteuid())));
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temp));
    QStringList made;
    for (int start = 0; start < 2; ++start) {
        UpdateChecker up;
        made << up.TempFolder;
    }
    const QStringList left = QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    if (oldRuntime.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
    if (oldTemp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTemp);
    for (const QString& folder : made)
        EXPECT_TRUE(folder.startsWith(temp + "/varnholt-")) << folder.toStdString();
    EXPECT_EQ(left, QStringList{QStringLiteral("varnholt-%1").arg(::geteuid())})
        << "only the planted name";
}

} // namespace
