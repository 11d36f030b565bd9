// The update checker against a real HTTP server on the loopback, with recording prompts.
#include "Recorders.h"
#include "update/TauAutoUpgrader.h"

#include "TestSupport.h"
#include "platform/Shell.h"
#include "update/UpgraderMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

// tests/upgrade/update_server.py serving one folder.
class UpdateServer {
public:
    explicit UpdateServer(const QString& folder) {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty()) {
            error_ = "python3 is not installed";
            return;
        }
        process_.start(python,
                       {testsupport::sourceDir() + "/tests/upgrade/update_server.py", folder});
        if (!process_.waitForStarted(10000) ||
            !waitUntil([this] { return process_.canReadLine(); }, 10000)) {
            error_ = "the server did not start: " + process_.readAllStandardError();
            return;
        }
        const QList<QByteArray> ports = process_.readLine().trimmed().split(' ');
        port_ = ports.value(0).toInt();
        closedPort_ = ports.value(1).toInt();
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
    // The paths asked for so far.
    QStringList log() const {
        QProcess curl;
        curl.start("curl", {"-s", url("log")});
        curl.waitForFinished(10000);
        return QString::fromUtf8(curl.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }
    void release() const {
        QProcess curl;
        curl.start("curl", {"-s", url("release")});
        curl.waitForFinished(10000);
    }
    const QByteArray& error() const { return error_; }

private:
    QProcess process_;
    int port_ = 0;
    int closedPort_ = 0;
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
    QStringList log;
    bool upgradeAnswer = true;
    bool lostFileAnswer = true;
};

class RecordingWizard : public UpgradeWizardView {
public:
    void Open(const TauAutoUpgraderWizard&) override {
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

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        app_ = root_.path() + "/my app/";
        temp_ = root_.path() + "/temp/";
        www_ = root_.path() + "/www/";
        for (const QString& dir : {app_, temp_, www_})
            ASSERT_TRUE(QDir().mkpath(dir));
        oldTemp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp_));
        server_ = std::make_unique<UpdateServer>(www_);
        ASSERT_TRUE(server_->error().isEmpty()) << server_->error().constData();

        // A helper left by an earlier upgrade goes when the component is made.
        writeFile(temp_ + "Upgrader4.exe", "old helper");
        up_ = std::make_unique<TauAutoUpgrader>();
        EXPECT_FALSE(QFile::exists(temp_ + "Upgrader4.exe"));

        up_->InfoFileURL = server_->url("update.txt");
        up_->VersionControl = byNumber;
        up_->VersionNumber = "1.3.0.0";
        up_->ShowMessages = mAskUpgrade | mConnLost | mLostFile;
        up_->ProgramPath = app_ + "prog.sh";
        up_->AppFolder = app_;
        up_->TempFolder = temp_;
        up_->SetPrompts(&prompts_);
        up_->SetShell(&shell_);
        up_->SetWizardView(&wizard_);
        up_->CloseApplication = [this] { events_ << "close"; };
        up_->OnBeginUpgrade = [this](const QString&, TUpgradeMethod, const QStringList&, bool&) {
            events_ << "begin";
        };
        up_->OnLaterUpgrade = [this] { events_ << "later"; };
        up_->OnNoUpdateAvailable = [this] { events_ << "no update"; };
        up_->OnNoInfoFile = [this] { events_ << "no info file"; };
        up_->OnHostUnreachable = [this](const QString&, const QString& host) {
            events_ << "unreachable " + host;
        };
        up_->OnConnLost = [this] { events_ << "connection lost"; };
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
        qputenv("TMPDIR", oldTemp_);
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
    QString app_, temp_, www_;
    QByteArray oldTemp_;
    std::unique_ptr<UpdateServer> server_;
    std::unique_ptr<TauAutoUpgrader> up_;
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
// from the program's resource, the program ended, the files put in place and the program
// started again with "/afterupgrade".
TEST_F(UpdateCheck, UpgradeEndsWithTheHelperRestartingTheNewProgram) {
    const QString marker = root_.path() + "/started.txt";
    const auto script = [&](const char* tag) {
        return QStringLiteral("#!/bin/sh\necho \"%1 $*\" > '%2'\n").arg(tag, marker).toUtf8();
    };
    writeFile(app_ + "prog.sh", script("old"));
    QFile::setPermissions(app_ + "prog.sh",
                          QFile::permissions(app_ + "prog.sh") | QFileDevice::ExeOwner);
    writeFile(www_ + "prog.sh", script("new"));
    writeFile(www_ + "x.dat", "data v2");
    writeFile(www_ + "update.txt",
              InfoFile("1.4", {server_->url("prog.sh"), server_->url("gone.dat"),
                               server_->url("x.dat") + "=%current%data/x.dat"}));
    restartAtEnd_ = true;
    prompts_.lostFileAnswer = true;
    up_->RunUpdateCheck(false);
    ASSERT_TRUE(waitUntil(
        [this] { return !wizard_.log.isEmpty() && wizard_.log.last().startsWith("end: "); }, 20000))
        << events_.join(", ").toStdString();
    wizard_.OnFinished();
    EXPECT_EQ(events_.mid(events_.size() - 2), (QStringList{"end", "close"}));
    EXPECT_EQ(readFile(temp_ + "UpgraderQueue.txt"), (app_ + "data/x.dat\r\n").toUtf8());

    ASSERT_TRUE(waitUntil([&] { return QFileInfo(marker).size() > 0; }, 20000));
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(temp_ + "UpgraderQueue.txt"); }, 20000));
    EXPECT_EQ(readFile(marker), "new /afterupgrade\n");
    EXPECT_EQ(readFile(app_ + "data/x.dat"), "data v2");
    EXPECT_TRUE(QFileInfo(temp_ + "Upgrader4.exe").isExecutable());
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_FALSE(QFile::exists(app_ + "data/x.dat.uTMP"));
}

} // namespace
