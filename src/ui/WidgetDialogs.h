#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

// The dialogs as the user sees them: message boxes captioned with the application title and
// Qt's file and folder dialogs, over the given window.
class WidgetDialogs : public Dialogs {
public:
    // The window the dialogs belong to; none centres them on the screen.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void showMessage(const QString& text) override;
    bool askYesNo(const QString& text) override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseFolder(const QString& title) override;

    static QString Caption() { return QStringLiteral("Quillon Varnholt"); }

private:
    QPointer<QWidget> owner_;
};
