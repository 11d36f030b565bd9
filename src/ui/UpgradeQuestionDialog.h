#pragma once

#include "update/UpgraderViews.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

// "A newer version ... was released": Yes means upgrade, every other way out means later.
class UpgradeQuestionDialog : public QDialog {
    Q_OBJECT
public:
    explicit UpgradeQuestionDialog(const QString& text, QWidget* parent = nullptr);

    QLabel* MessageLabel = nullptr;
    QPushButton* YesButton = nullptr;
    QPushButton* LaterButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// The checker's question window and message boxes as real windows.
class WidgetUpgraderPrompts : public UpgraderPrompts {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }

    bool AskUpgrade(const QString& text) override;
    void ShowError(const QString& text) override;
    void ShowInformation(const QString& text) override;
    bool AskYesNoWarning(const QString& caption, const QString& text) override;
    bool AskPassword(const QString& text, QString& userName, QString& password) override;

private:
    QPointer<QWidget> owner_;
    QPointer<UpgradeQuestionDialog> question_; // at most one
};
