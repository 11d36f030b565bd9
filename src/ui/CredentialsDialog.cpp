#include "ui/CredentialsDialog.h"

#include "ui/UiLook.h"
#include "update/UpgraderMessages.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

namespace {

constexpr int ClientWidth = 300;
constexpr int LabelLeft = 10;
constexpr int LabelTop = 10;
constexpr int PanelHeight = 100;

// The password field shows "*" for every character, whatever the desktop's style uses.
class StarMask : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLabel* FieldLabel(QWidget* parent, const char* name, const QString& text, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(LabelLeft, y + 3, 78, 16);
    return label;
}

QLineEdit* Field(QWidget* parent, const char* name, int y) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(92, y, ClientWidth - 92 - 18, 21);
    return edit;
}

} // namespace

CredentialsDialog::CredentialsDialog(const QString& text, const QString& userName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("TauAutoUpgraderPasswordForm"));
    setWindowTitle(UpgraderMessages(11));
    setAttribute(Qt::WA_DeleteOnClose);

    MessageLabel = new QLabel(text, this);
    MessageLabel->setObjectName(QStringLiteral("Label1"));
    MessageLabel->setWordWrap(true);
    const int labelWidth = ClientWidth - LabelLeft - 18;
    MessageLabel->setGeometry(LabelLeft, LabelTop, labelWidth,
                              MessageLabel->heightForWidth(labelWidth));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    UserNameLabel = FieldLabel(panel, "UserNameLabel", UpgraderMessages(12), 6);
    UserNameEdit = Field(panel, "UserNameEdit", 6);
    UserNameEdit->setText(userName);
    PasswordLabel = FieldLabel(panel, "PasswordLabel", UpgraderMessages(13), 34);
    PasswordEdit = Field(panel, "PasswordEdit", 34);
    auto* mask = new StarMask;
    mask->setParent(this); // outlives the field it styles
    PasswordEdit->setStyle(mask);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    UserNameLabel->setBuddy(UserNameEdit);
    PasswordLabel->setBuddy(PasswordEdit);

    OkButton = new QPushButton(UpgraderMessages(16), panel);
    OkButton->setObjectName(QStringLiteral("OKBtn"));
    OkButton->setGeometry(ClientWidth - 18 - 75 - 6 - 75, 66, 75, 25);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(UpgraderMessages(17), panel);
    CancelButton->setObjectName(QStringLiteral("CancelBtn"));
    CancelButton->setGeometry(ClientWidth - 18 - 75, 66, 75, 25);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too

    const int height = LabelTop + MessageLabel->height() + PanelHeight;
    panel->setGeometry(0, height - PanelHeight, ClientWidth, PanelHeight);
    setFixedSize(ClientWidth, height);
    (userName.isEmpty() ? UserNameEdit : PasswordEdit)->setFocus();
}

void CredentialsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    uilook::CentreOnScreen(*this);
}
