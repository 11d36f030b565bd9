#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Enter password": the credentials for a server that asks for them. OK means try again with
// them; Cancel, Esc and the close box mean no.
class CredentialsDialog : public QDialog {
    Q_OBJECT
public:
    // `text` names the remote file; `userName` fills the user field.
    CredentialsDialog(const QString& text, const QString& userName, QWidget* parent = nullptr);

    QLabel* MessageLabel = nullptr;
    QLabel* UserNameLabel = nullptr;
    QLineEdit* UserNameEdit = nullptr;
    QLabel* PasswordLabel = nullptr;
    QLineEdit* PasswordEdit = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
