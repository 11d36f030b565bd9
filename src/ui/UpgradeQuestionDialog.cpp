#include "ui/UpgradeQuestionDialog.h"

#include "ui/CredentialsDialog.h"
#include "ui/UiLook.h"
#include "update/UpgraderMessages.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace {
constexpr int LabelLeft = 45;
constexpr int LabelTop = 5;
constexpr int PanelHeight = 45;
constexpr int ClientWidth = 318;
constexpr int ClientHeight = 119;
} // namespace

UpgradeQuestionDialog::UpgradeQuestionDialog(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("TauAutoUpgraderUpgradeMessageForm"));
    setWindowTitle(UpgraderMessages(0));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(ClientWidth, ClientHeight);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setGeometry(7, 5, 32, 32);

    MessageLabel = new QLabel(text, this);
    MessageLabel->setObjectName(QStringLiteral("Label1"));
    MessageLabel->setWordWrap(true);
    const int labelWidth = width() - LabelLeft - 11;
    MessageLabel->setGeometry(LabelLeft, LabelTop, labelWidth,
                              MessageLabel->heightForWidth(labelWidth));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    YesButton = new QPushButton(UpgraderMessages(14), panel);
    YesButton->setObjectName(QStringLiteral("YesBtn"));
    YesButton->setGeometry(78, 13, 75, 23);
    YesButton->setDefault(true);
    LaterButton = new QPushButton(UpgraderMessages(19), panel);
    LaterButton->setObjectName(QStringLiteral("LaterBtn"));
    LaterButton->setGeometry(167, 13, 75, 23);
    connect(YesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterButton, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too

    const int height = LabelTop + MessageLabel->height() + PanelHeight;
    panel->setGeometry(0, height - PanelHeight, ClientWidth, PanelHeight);
    setFixedSize(ClientWidth, height);
}

void UpgradeQuestionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    uilook::CentreOnScreen(*this);
    raise();
}

bool WidgetUpgraderPrompts::AskUpgrade(const QString& text) {
    if (question_)
        return false;
    question_ = new UpgradeQuestionDialog(text, owner_);
    return question_->exec() == QDialog::Accepted;
}

namespace {
int Box(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, owner);
    return box.exec();
}
} // namespace

void WidgetUpgraderPrompts::ShowError(const QString& text) {
    Box(owner_, QMessageBox::Critical, UpgraderMessages(0), text, QMessageBox::Ok);
}

void WidgetUpgraderPrompts::ShowInformation(const QString& text) {
    Box(owner_, QMessageBox::Information, UpgraderMessages(0), text, QMessageBox::Ok);
}

bool WidgetUpgraderPrompts::AskYesNoWarning(const QString& caption, const QString& text) {
    return Box(owner_, QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool WidgetUpgraderPrompts::AskPassword(const QString& text, QString& userName, QString& password) {
    CredentialsDialog dialog(text, userName, owner_);
    dialog.setAttribute(Qt::WA_DeleteOnClose, false); // read after it closes
    if (dialog.exec() != QDialog::Accepted)
        return false;
    userName = dialog.UserNameEdit->text();
    password = dialog.PasswordEdit->text();
    return true;
}
