#include "ui/UpgradeWizardDialog.h"

#include "ui/UiLook.h"
#include "update/UpgraderMessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>

namespace {

// The URL edit shows the address and takes no keys.
class ReadOnlyUrlEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
};

// The system draws a group's caption on the frame's top line, so the rows placed inside start
// just below it. Qt's styles put the caption above the frame and the frame lower, over those
// rows: the caption goes back onto the line.
QGroupBox* Group(QWidget* parent, const char* name, const QString& caption, const QRect& place) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; "
        "left: 6px; padding: 0px; }"));
    group->setGeometry(place);
    return group;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(x, y);
    label->resize(300, 16);
    return label;
}

} // namespace

UpgradeWizardDialog::UpgradeWizardDialog(const WizardSettings& settings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      stayOnTop_(settings.StayOnTop) {
    setObjectName(QStringLiteral("TauAutoUpgraderWizardForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(UpgraderMessages(0));
    setFixedSize(463, 281);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);
    if (stayOnTop_)
        setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(10, 10, 120, 220);
    SidePicture = new QLabel(panel);
    SidePicture->setObjectName(QStringLiteral("Image1"));
    SidePicture->setScaledContents(true);
    SidePicture->setGeometry(panel->contentsRect());
    if (!settings.PicturePath.isEmpty())
        SidePicture->setPixmap(QPixmap(settings.PicturePath));

    WizardTitleLabel = new QLabel(UpgraderMessages(1), this);
    WizardTitleLabel->setObjectName(QStringLiteral("WizardTitle"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(19);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    WizardTitleLabel->setFont(titleFont);
    WizardTitleLabel->setGeometry(136, 10, 319, 24);

    CurrentFileGroup = Group(this, "LCurrentFile", GroupCaption(3), QRect(136, 34, 319, 125));
    DownloadingFromLabel =
        Label(CurrentFileGroup, "LDownloadingFileFrom", UpgraderMessages(5), 6, 14);
    FileUrlEdit = new ReadOnlyUrlEdit(CurrentFileGroup);
    FileUrlEdit->setObjectName(QStringLiteral("FileURL"));
    FileUrlEdit->setReadOnly(true);
    FileUrlEdit->setFrame(false);
    FileUrlEdit->setGeometry(10, 28, 301, 16);
    QPalette urlPalette = FileUrlEdit->palette();
    urlPalette.setColor(QPalette::Base, urlPalette.color(QPalette::Highlight));
    urlPalette.setColor(QPalette::Text, urlPalette.color(QPalette::HighlightedText));
    FileUrlEdit->setPalette(urlPalette);
    FileSizeLabel = Label(CurrentFileGroup, "LFileSize", QString(), 6, 44);
    TransferRateLabel = Label(CurrentFileGroup, "LTransferRate", QString(), 6, 60);
    TimeLeftLabel = Label(CurrentFileGroup, "LEstimatedTime", UpgraderMessages(22), 6, 76);
    CurrentFileProgress = new QProgressBar(CurrentFileGroup);
    CurrentFileProgress->setObjectName(QStringLiteral("ProgressCurrentFile"));
    CurrentFileProgress->setRange(0, 100);
    CurrentFileProgress->setValue(0);
    CurrentFileProgress->setGeometry(6, 96, 307, 22);

    AllFilesGroup = Group(this, "LAllFiles", GroupCaption(4), QRect(136, 162, 319, 67));
    AllDownloadingLabel = Label(AllFilesGroup, "AllDownloading", QString(), 6, 16);
    AllFilesProgress = new QProgressBar(AllFilesGroup);
    AllFilesProgress->setObjectName(QStringLiteral("ProgressAllFiles"));
    AllFilesProgress->setRange(0, 100);
    AllFilesProgress->setValue(0);
    AllFilesProgress->setGeometry(6, 38, 307, 22);

    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    bevel->setGeometry(10, 238, 447, 2);
    // Engraved: the caption twice, one pixel apart, over the bevel. The lower one is opaque and
    // hides the bevel behind the text, as the system's labels do; the upper one lets it show.
    const QString brand = QStringLiteral(" AutoUpgrader ");
    auto* light = new QLabel(brand, this);
    light->setObjectName(QStringLiteral("BrandLight"));
    light->setForegroundRole(QPalette::Light);
    light->setAutoFillBackground(true);
    light->adjustSize();
    light->move(31, 234);
    auto* dark = new QLabel(brand, this);
    dark->setObjectName(QStringLiteral("BrandDark"));
    dark->setForegroundRole(QPalette::Dark);
    dark->adjustSize();
    dark->move(30, 233);

    FinishButton = new QPushButton(UpgraderMessages(18), this);
    FinishButton->setObjectName(QStringLiteral("FinishBtn"));
    FinishButton->setGeometry(296, 248, 75, 25);
    FinishButton->setEnabled(false);
    CancelButton = new QPushButton(UpgraderMessages(17), this);
    CancelButton->setObjectName(QStringLiteral("CancelBtn"));
    CancelButton->setGeometry(380, 248, 75, 25);
    CancelButton->setDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &UpgradeWizardDialog::reject);
    connect(FinishButton, &QPushButton::clicked, this, [this] {
        finishing_ = true;
        close();
    });

    AfterNoteLabel = new QLabel(this);
    AfterNoteLabel->setObjectName(QStringLiteral("AfterNote"));
    AfterNoteLabel->setWordWrap(true);
    AfterNoteLabel->setGeometry(136, 44, 319, 0);

    if (settings.HideFileLocation) {
        FileUrlEdit->hide();
        DownloadingFromLabel->hide();
        FileSizeLabel->move(6, 14);
        TransferRateLabel->move(6, 30);
        TimeLeftLabel->move(6, 46);
        CurrentFileProgress->move(6, 66);
        CurrentFileGroup->setGeometry(136, 44, 319, 95);
    }
}

void UpgradeWizardDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    uilook::CentreOnScreen(*this);
    if (stayOnTop_)
        raise();
}

void UpgradeWizardDialog::ShowEndPage(const QString& text) {
    endPage_ = true;
    WizardTitleLabel->setText(UpgraderMessages(2));
    AfterNoteLabel->setText(text);
    AfterNoteLabel->resize(319, AfterNoteLabel->heightForWidth(319));
    CurrentFileGroup->hide();
    AllFilesGroup->hide();
    CancelButton->setEnabled(false);
    FinishButton->setText(UpgraderMessages(16));
    FinishButton->setEnabled(true);
    FinishButton->setDefault(true);
    FinishButton->setFocus();
}

void UpgradeWizardDialog::CloseQuietly() {
    quiet_ = true;
    close();
}

void UpgradeWizardDialog::reject() {
    if (endPage_)
        return; // Cancel is disabled there; Esc does nothing either
    close();
}

void UpgradeWizardDialog::closeEvent(QCloseEvent* event) {
    if (quiet_) {
        event->accept();
        return;
    }
    if (finishing_) {
        event->accept();
        if (OnFinished)
            OnFinished();
        return;
    }
    const auto answer =
        QMessageBox::question(this, QString::fromLatin1(UpgraderApplicationTitle),
                              UpgraderMessages(27), QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    quiet_ = true;
    if (OnCancelConfirmed)
        OnCancelConfirmed();
}

WizardWindow::~WizardWindow() {
    if (dialog_) {
        dialog_->OnCancelConfirmed = nullptr;
        dialog_->OnFinished = nullptr;
        dialog_->CloseQuietly();
    }
}

void WizardWindow::Open(const WizardSettings& settings) {
    if (dialog_)
        dialog_->CloseQuietly();
    dialog_ = new UpgradeWizardDialog(settings);
    dialog_->OnCancelConfirmed = [this] {
        if (OnCancelConfirmed)
            OnCancelConfirmed();
    };
    dialog_->OnFinished = [this] {
        if (OnFinished)
            OnFinished();
    };
    dialog_->show();
}

void WizardWindow::SetFileUrl(const QString& url) {
    if (dialog_)
        dialog_->FileUrlEdit->setText(url);
}
void WizardWindow::SetAllDownloading(const QString& text) {
    if (dialog_)
        dialog_->AllDownloadingLabel->setText(text);
}
void WizardWindow::SetFileSize(const QString& text) {
    if (dialog_)
        dialog_->FileSizeLabel->setText(text);
}
void WizardWindow::SetTransferRate(const QString& text) {
    if (dialog_)
        dialog_->TransferRateLabel->setText(text);
}
void WizardWindow::SetEstimatedTime(const QString& text) {
    if (dialog_)
        dialog_->TimeLeftLabel->setText(text);
}
void WizardWindow::SetProgress(int currentFile, int allFiles) {
    if (!dialog_)
        return;
    dialog_->CurrentFileProgress->setValue(currentFile);
    dialog_->AllFilesProgress->setValue(allFiles);
}
void WizardWindow::ShowEndPage(const QString& text) {
    if (dialog_)
        dialog_->ShowEndPage(text);
}
void WizardWindow::Close() {
    if (dialog_)
        dialog_->CloseQuietly();
}
