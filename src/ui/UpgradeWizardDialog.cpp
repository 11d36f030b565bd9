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

    WizardTitle = new QLabel(UpgraderMessages(1), this);
    WizardTitle->setObjectName(QStringLiteral("WizardTitle"));
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(19);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    WizardTitle->setFont(titleFont);
    WizardTitle->setGeometry(136, 10, 319, 24);

    CurrentFileGroup = Group(this, "LCurrentFile", GroupCaption(3), QRect(136, 34, 319, 125));
    DownloadingFromLabel =
        Label(CurrentFileGroup, "LDownloadingFileFrom", UpgraderMessages(5), 6, 14);
    FileURL = new ReadOnlyUrlEdit(CurrentFileGroup);
    FileURL->setObjectName(QStringLiteral("FileURL"));
    FileURL->setReadOnly(true);
    FileURL->setFrame(false);
    FileURL->setGeometry(10, 28, 301, 16);
    QPalette urlPalette = FileURL->palette();
    urlPalette.setColor(QPalette::Base, urlPalette.color(QPalette::Highlight));
    urlPalette.setColor(QPalette::Text, urlPalette.color(QPalette::HighlightedText));
    FileURL->setPalette(urlPalette);
    FileSizeLabel = Label(CurrentFileGroup, "LFileSize", QString(), 6, 44);
    TransferRateLabel = Label(CurrentFileGroup, "LTransferRate", QString(), 6, 60);
    TimeLeftLabel = Label(CurrentFileGroup, "LEstimatedTime", UpgraderMessages(22), 6, 76);
    ProgressCurrentFile = new QProgressBar(CurrentFileGroup);
    ProgressCurrentFile->setObjectName(QStringLiteral("ProgressCurrentFile"));
    ProgressCurrentFile->setRange(0, 100);
    ProgressCurrentFile->setValue(0);
    ProgressCurrentFile->setGeometry(6, 96, 307, 22);

    AllFilesGroup = Group(this, "LAllFiles", GroupCaption(4), QRect(136, 162, 319, 67));
    AllDownloading = Label(AllFilesGroup, "AllDownloading", QString(), 6, 16);
    ProgressAllFiles = new QProgressBar(AllFilesGroup);
    ProgressAllFiles->setObjectName(QStringLiteral("ProgressAllFiles"));
    ProgressAllFiles->setRange(0, 100);
    ProgressAllFiles->setValue(0);
    ProgressAllFiles->setGeometry(6, 38, 307, 22);

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

    FinishBtn = new QPushButton(UpgraderMessages(18), this);
    FinishBtn->setObjectName(QStringLiteral("FinishBtn"));
    FinishBtn->setGeometry(296, 248, 75, 25);
    FinishBtn->setEnabled(false);
    CancelBtn = new QPushButton(UpgraderMessages(17), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(380, 248, 75, 25);
    CancelBtn->setDefault(true);
    connect(CancelBtn, &QPushButton::clicked, this, &UpgradeWizardDialog::reject);
    connect(FinishBtn, &QPushButton::clicked, this, [this] {
        finishing_ = true;
        close();
    });

    AfterNote = new QLabel(this);
    AfterNote->setObjectName(QStringLiteral("AfterNote"));
    AfterNote->setWordWrap(true);
    AfterNote->setGeometry(136, 44, 319, 0);

    if (settings.HideFileLocation) {
        FileURL->hide();
        DownloadingFromLabel->hide();
        FileSizeLabel->move(6, 14);
        TransferRateLabel->move(6, 30);
        TimeLeftLabel->move(6, 46);
        ProgressCurrentFile->move(6, 66);
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
    WizardTitle->setText(UpgraderMessages(2));
    AfterNote->setText(text);
    AfterNote->resize(319, AfterNote->heightForWidth(319));
    CurrentFileGroup->hide();
    AllFilesGroup->hide();
    CancelBtn->setEnabled(false);
    FinishBtn->setText(UpgraderMessages(16));
    FinishBtn->setEnabled(true);
    FinishBtn->setDefault(true);
    FinishBtn->setFocus();
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
    if (form_) {
        form_->OnCancelConfirmed = nullptr;
        form_->OnFinished = nullptr;
        form_->CloseQuietly();
    }
}

void WizardWindow::Open(const WizardSettings& settings) {
    if (form_)
        form_->CloseQuietly();
    form_ = new UpgradeWizardDialog(settings);
    form_->OnCancelConfirmed = [this] {
        if (OnCancelConfirmed)
            OnCancelConfirmed();
    };
    form_->OnFinished = [this] {
        if (OnFinished)
            OnFinished();
    };
    form_->show();
}

void WizardWindow::SetFileUrl(const QString& url) {
    if (form_)
        form_->FileURL->setText(url);
}
void WizardWindow::SetAllDownloading(const QString& text) {
    if (form_)
        form_->AllDownloading->setText(text);
}
void WizardWindow::SetFileSize(const QString& text) {
    if (form_)
        form_->FileSizeLabel->setText(text);
}
void WizardWindow::SetTransferRate(const QString& text) {
    if (form_)
        form_->TransferRateLabel->setText(text);
}
void WizardWindow::SetEstimatedTime(const QString& text) {
    if (form_)
        form_->TimeLeftLabel->setText(text);
}
void WizardWindow::SetProgress(int currentFile, int allFiles) {
    if (!form_)
        return;
    form_->ProgressCurrentFile->setValue(currentFile);
    form_->ProgressAllFiles->setValue(allFiles);
}
void WizardWindow::ShowEndPage(const QString& text) {
    if (form_)
        form_->ShowEndPage(text);
}
void WizardWindow::Close() {
    if (form_)
        form_->CloseQuietly();
}
