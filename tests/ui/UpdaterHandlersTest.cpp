// The checker's windows on the offscreen platform, and the main window's answers to it.
#include "Recorders.h"
#include "ui/CredentialsDialog.h"
#include "ui/UpdaterHandlers.h"
#include "ui/UpgradeQuestionDialog.h"
#include "ui/UpgradeWizardDialog.h"

#include "TestSupport.h"
#include "platform/Digest.h"
#include "platform/Signature.h"
#include "update/ReleaseManifest.h"
#include "update/UpgraderMessages.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

// A key pair of the test's own stands in for the maker's: the information file gets its signed
// manifest beside it, listing the files of its entries as they lie beside it (empty when not).
void SignBeside(const QString& path, const platform::SigningKeys& keys) {
    const QByteArray info = readFile(path);
    const UpdateInfo parsed = ParseUpdateInfo(InfoText(info));
    ReleaseManifest manifest;
    manifest.Version = parsed.InfoVersion;
    manifest.Released = QDate::currentDate();
    manifest.Expires = QDateTime::currentDateTimeUtc().date().addDays(30);
    manifest.InfoSize = info.size();
    manifest.InfoSha256 = platform::Sha256(info);
    for (const QString& entry : parsed.Files) {
        const QString beside = QFileInfo(path).absolutePath() + "/" + QUrl(entry).fileName();
        const QByteArray bytes = QFile::exists(beside) ? readFile(beside) : QByteArray();
        manifest.Files << ManifestFile{bytes.size(), platform::Sha256(bytes), entry};
    }
    const QByteArray body = ManifestBody(manifest);
    writeFile(path + ManifestUrlSuffix,
              SignedManifestText(
                  body, platform::SignMessage(keys.secretKey, ManifestSigningMessage(body))));
}

// Acts on the modal window that the next step opens, once it is up.
void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            WhenModal(act);
            return;
        }
        act(modal);
    });
}

void PressEscape(QWidget* window) {
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &esc);
}

void ClickNamed(QWidget* window, const char* name) {
    window->findChild<QPushButton*>(name)->click();
}

void AnswerBox(QWidget* window, QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(window);
    ASSERT_NE(box, nullptr);
    box->button(button)->click();
}

TEST(UpgradeQuestionDialog, OnlyYesMeansUpgrade) {
    const QString text = AskUpgradeText("Quillon Varnholt", "Fixes.");
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        bool expected;
    } cases[] = {
        {"Yes", [](QWidget* w) { ClickNamed(w, "YesBtn"); }, true},
        {"Later", [](QWidget* w) { ClickNamed(w, "LaterBtn"); }, false},
        {"Esc", PressEscape, false},
        {"close box", [](QWidget* w) { w->close(); }, false},
    };
    WidgetUpgraderPrompts prompts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString caption, shown;
        bool topMost = false;
        int labelWidth = 0, clientWidth = 0;
        WhenModal([&](QWidget* w) {
            caption = w->windowTitle();
            shown = w->findChild<QLabel*>("Label1")->text();
            labelWidth = w->findChild<QLabel*>("Label1")->width();
            clientWidth = w->width();
            topMost = w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            c.act(w);
        });
        EXPECT_EQ(prompts.AskUpgrade(text), c.expected);
        EXPECT_EQ(caption, "Application update wizard");
        EXPECT_EQ(shown, text);
        EXPECT_EQ(clientWidth, 318);
        EXPECT_EQ(labelWidth, 318 - 45 - 11);
        EXPECT_TRUE(topMost);
    }
}

TEST(UpgradeWizardDialog, LayoutProgressEndPageAndFinish) {
    WizardSettings settings;
    settings.HideFileLocation = true;
    WizardWindow wizard;
    int finished = 0, cancelled = 0;
    wizard.OnFinished = [&] { ++finished; };
    wizard.OnCancelConfirmed = [&] { ++cancelled; };
    wizard.Open(settings);
    UpgradeWizardDialog* dialog = wizard.Dialog();
    ASSERT_TRUE(wizard.IsOpen());
    EXPECT_EQ(dialog->windowTitle(), "Application update wizard");
    EXPECT_EQ(dialog->WizardTitleLabel->text(), "Downloading files...");
    EXPECT_FALSE(dialog->FileUrlEdit->isVisible());
    EXPECT_EQ(dialog->CurrentFileGroup->geometry(), QRect(136, 44, 319, 95));
    EXPECT_EQ(dialog->FileSizeLabel->y(), 14);
    EXPECT_EQ(dialog->TimeLeftLabel->y(), 46);
    EXPECT_EQ(dialog->CurrentFileProgress->y(), 66);
    EXPECT_EQ(dialog->TimeLeftLabel->text(), "Preparing. . .");
    EXPECT_FALSE(dialog->FinishButton->isEnabled());

    wizard.SetProgress(50, 16);
    EXPECT_EQ(dialog->AllFilesProgress->value(), 16);

    wizard.ShowEndPage(UpgradeCompletedText("Quillon Varnholt"));
    EXPECT_EQ(dialog->WizardTitleLabel->text(), "Upgrade completed!");
    EXPECT_FALSE(dialog->CurrentFileGroup->isVisible());
    EXPECT_FALSE(dialog->CancelButton->isEnabled());
    EXPECT_EQ(dialog->FinishButton->text(), "&OK");
    dialog->FinishButton->click();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(cancelled, 0);
    EXPECT_FALSE(wizard.IsOpen());
}

// The area inside a group's frame, as its style lays it out.
QRect InsideFrame(QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents,
                                          group);
}

// Every row of a group lies inside its frame, with or without the file's address; the engraved
// caption hides the bevel behind it.
TEST(UpgradeWizardDialog, RowsStayInsideTheirFramesAndTheCaptionHidesTheBevel) {
    for (const bool hideLocation : {true, false}) {
        SCOPED_TRACE(hideLocation ? "location hidden" : "location shown");
        WizardSettings settings;
        settings.HideFileLocation = hideLocation;
        WizardWindow wizard;
        wizard.Open(settings);
        UpgradeWizardDialog* dialog = wizard.Dialog();
        wizard.SetFileSize(FileSizeText(123456, QLocale()));
        for (QGroupBox* group : {dialog->CurrentFileGroup, dialog->AllFilesGroup}) {
            const QRect inside = InsideFrame(group);
            for (QWidget* row : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (row->isHidden())
                    continue;
                EXPECT_TRUE(inside.contains(row->geometry()))
                    << row->objectName().toStdString() << " at " << row->y() << " in "
                    << group->objectName().toStdString() << " from " << inside.top();
            }
        }
        EXPECT_EQ(dialog->CurrentFileGroup->geometry(),
                  hideLocation ? QRect(136, 44, 319, 95) : QRect(136, 34, 319, 125));

        // Beside the text, in the caption's blanks, the bevel's line is hidden.
        const QImage image = dialog->grab().toImage();
        const auto* caption = dialog->findChild<QLabel*>("BrandLight");
        ASSERT_NE(caption, nullptr);
        const int blank = caption->fontMetrics().horizontalAdvance(u' ');
        const int bevelRow = 238;
        const QColor background = image.pixelColor(caption->x() + 1, 225);
        for (const int x : {caption->x() + blank - 1, caption->geometry().right() - blank + 2}) {
            EXPECT_EQ(image.pixelColor(x, bevelRow), background) << "x " << x;
            EXPECT_EQ(image.pixelColor(x, bevelRow + 1), background) << "x " << x;
        }
        // Elsewhere the bevel is there.
        EXPECT_NE(image.pixelColor(300, bevelRow), background);
        wizard.Close();
    }
}

TEST(UpgradeWizardDialog, TheProgramsSettingsShowItsPicture) {
    UpdateChecker updater;
    updater::Configure(updater, "1.3.0.0");
    WizardWindow wizard;
    wizard.Open(updater.Wizard);
    const QPixmap picture = wizard.Dialog()->SidePicture->pixmap();
    EXPECT_EQ(picture.size(), QSize(118, 218));
    wizard.Close();
}

TEST(UpgradeWizardDialog, ClosingBeforeTheEndAsksFirst) {
    WizardWindow wizard;
    int cancelled = 0;
    wizard.OnCancelConfirmed = [&] { ++cancelled; };
    wizard.Open(WizardSettings{});
    QString asked;
    WhenModal([&](QWidget* w) {
        asked = static_cast<QMessageBox*>(w)->text();
        AnswerBox(w, QMessageBox::No);
    });
    wizard.Dialog()->CancelButton->click();
    EXPECT_EQ(asked, UpgraderMessages(27));
    EXPECT_TRUE(wizard.IsOpen());
    EXPECT_EQ(cancelled, 0);

    WhenModal([](QWidget* w) { AnswerBox(w, QMessageBox::Yes); });
    wizard.Dialog()->close();
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(wizard.IsOpen());
}

TEST(CredentialsDialog, OKGivesTheFieldsEveryOtherWayOutDeclines) {
    const QString text = PasswordRequestText("http://quillon.example/update.txt");
    struct Case {
        const char* name;
        std::function<void(QWidget*)> act;
        bool expected;
    } cases[] = {
        {"OK",
         [](QWidget* w) {
             w->findChild<QLineEdit*>("UserNameEdit")->setText("quillon");
             w->findChild<QLineEdit*>("PasswordEdit")->setText("secret");
             ClickNamed(w, "OKBtn");
         },
         true},
        {"Cancel", [](QWidget* w) { ClickNamed(w, "CancelBtn"); }, false},
        {"Esc", PressEscape, false},
        {"close box", [](QWidget* w) { w->close(); }, false},
    };
    WidgetUpgraderPrompts prompts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString caption, shown, user, masked, labels;
        int labelWidth = 0, clientWidth = 0, clientHeight = 0, labelBottom = 0;
        WhenModal([&](QWidget* w) {
            caption = w->windowTitle();
            const auto* label = w->findChild<QLabel*>("Label1");
            shown = label->text();
            labelWidth = label->width();
            labelBottom = label->y() + label->height();
            clientWidth = w->width();
            clientHeight = w->height();
            labels = w->findChild<QLabel*>("UserNameLabel")->text() + "|" +
                     w->findChild<QLabel*>("PasswordLabel")->text();
            user = w->findChild<QLineEdit*>("UserNameEdit")->text();
            auto* password = w->findChild<QLineEdit*>("PasswordEdit");
            password->setText("abc");
            masked = password->displayText();
            password->clear();
            c.act(w);
        });
        QString userName = "given", password;
        EXPECT_EQ(prompts.AskPassword(text, userName, password), c.expected);
        EXPECT_EQ(caption, "Enter password");
        EXPECT_EQ(shown, text);
        EXPECT_EQ(labels, "User Name|Password");
        EXPECT_EQ(user, "given");
        EXPECT_EQ(masked, "***");
        EXPECT_EQ(labelWidth, clientWidth - 10 - 18);
        EXPECT_EQ(clientHeight, labelBottom + 100);
        if (c.expected) {
            EXPECT_EQ(userName, "quillon");
            EXPECT_EQ(password, "secret");
        }
    }
}

// The credentials window in a real check against a server that asks for them (switched on
// here; the program leaves it off).
TEST(UpdaterHandlers, TheCredentialsWindowRetriesOrCancels) {
    QTemporaryDir www;
    ASSERT_TRUE(www.isValid());
    writeFile(www.path() + "/update.txt", "#url1=http://127.0.0.1:1/a.dat\r\n#version=1.3\r\n");
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    SignBeside(www.path() + "/update.txt", keys);
    QProcess server;
    server.start(QStandardPaths::findExecutable("python3"),
                 {testsupport::sourceDir() + "/tests/update/update_server.py", www.path()});
    ASSERT_TRUE(server.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return server.canReadLine(); }, 10000));
    const int port = server.readLine().trimmed().split(' ').value(0).toInt();
    const struct {
        const char* name;
        const char* button;
        QString expected;
    } cases[] = {
        {"OK", "OKBtn", "No update available."},
        {"Cancel", "CancelBtn", "Update aborted."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDialogs dialogs;
        WidgetUpgraderPrompts prompts;
        UpdateChecker updater;
        updater::Configure(updater, "1.3.0.0");
        updater::ConnectHandlers(updater, dialogs);
        updater.PublicKey = keys.publicKey;
        updater.ShowMessages |= UpdateMessage::PasswordRequest;
        updater.SetPrompts(&prompts);
        updater.InfoFileURL = QStringLiteral("http://127.0.0.1:%1/auth/update.txt").arg(port);
        updater.HTTPUsername() = "quillon";
        QString caption;
        WhenModal([&](QWidget* w) {
            caption = w->windowTitle();
            w->findChild<QLineEdit*>("PasswordEdit")->setText("secret");
            ClickNamed(w, c.button);
        });
        updater::CheckForUpdate(updater);
        ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty() && !updater.Busy(); }));
        EXPECT_EQ(caption, "Enter password");
        EXPECT_EQ(dialogs.messages, QStringList{c.expected});
    }
    server.closeWriteChannel();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(5000);
    }
}

// The main window's boxes for the outcomes of a real check (information files read from disk,
// an unreachable host on a closed loopback port).
TEST(UpdaterHandlers, MainWindowShowsItsFourAnswers) {
    QTemporaryDir dir;
    writeFile(dir.path() + "/nofile.txt", "#version=1.4.0.0\r\n");
    writeFile(dir.path() + "/newer.txt", "#url=http://127.0.0.1:1/a.dat\r\n#version=1.4\r\n");
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    SignBeside(dir.path() + "/nofile.txt", keys);
    SignBeside(dir.path() + "/newer.txt", keys);
    struct Case {
        const char* name;
        QString url;
        bool answer;
        QString expected;
    } cases[] = {
        {"newer version without file", "file://" + dir.path() + "/nofile.txt", true,
         "No update available."},
        {"declined", "file://" + dir.path() + "/newer.txt", false, "Update aborted."},
        {"unreachable", "http://127.0.0.1:1/update.txt", true, "No internet connection."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDialogs dialogs;
        WidgetUpgraderPrompts prompts;
        UpdateChecker updater;
        updater::Configure(updater, "1.3.0.0");
        updater::ConnectHandlers(updater, dialogs);
        updater.SetPrompts(&prompts);
        updater.PublicKey = keys.publicKey;
        updater.InfoFileURL = c.url;
        if (QString(c.name) == "declined")
            WhenModal([](QWidget* w) { ClickNamed(w, "LaterBtn"); });
        updater::CheckForUpdate(updater);
        ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty() && !updater.Busy(); }));
        QApplication::processEvents();
        EXPECT_EQ(dialogs.messages, QStringList{c.expected});
        EXPECT_EQ(updater.Proxy().Mode, ProxyMode::Direct);
    }
}

// The program holds the maker's key: an information file without the maker's signed manifest
// is refused with a box naming the manifest, and the main window says the update was aborted.
TEST(UpdaterHandlers, TheProgramUsesOnlyWhatTheMakerSigned) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.path() + "/newer.txt", "#url=http://127.0.0.1:1/a.dat\r\n#version=1.4\r\n");
    const QString url = "file://" + dir.path() + "/newer.txt";
    const struct {
        const char* name;
        bool signedByOther;
    } cases[] = {{"no manifest", false}, {"a manifest by another key", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.signedByOther)
            SignBeside(dir.path() + "/newer.txt", platform::GenerateSigningKeys());
        RecordingDialogs dialogs;
        WidgetUpgraderPrompts prompts;
        UpdateChecker updater;
        updater::Configure(updater, "1.3.0.0");
        updater::ConnectHandlers(updater, dialogs);
        updater.SetPrompts(&prompts);
        EXPECT_EQ(updater.PublicKey.size(), platform::SignaturePublicKeyBytes);
        updater.InfoFileURL = url;
        QString shown, caption;
        WhenModal([&](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                shown = box->text();
            caption = w->windowTitle();
            w->close();
        });
        updater::CheckForUpdate(updater);
        ASSERT_TRUE(waitUntil([&] { return !dialogs.messages.isEmpty() && !updater.Busy(); }));
        EXPECT_EQ(shown, SignatureFailedText(url + ManifestUrlSuffix));
        EXPECT_EQ(caption, UpgraderMessages(0));
        EXPECT_EQ(dialogs.messages, QStringList{"Update aborted."});
    }
}

} // namespace
