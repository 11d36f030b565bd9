#pragma once

#include <QString>

// Message boxes and file dialogs. The window answers them with real dialogs; tests answer
// them directly.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A plain message box with an OK button; returns when the user has closed it.
    virtual void showMessage(const QString& text) = 0;
    // A confirmation with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    // An open-file dialog; filter in the form "Description (*.ext)". Empty when cancelled.
    virtual QString chooseOpenFile(const QString& filter) = 0;
    // A folder dialog with the given title. Empty when cancelled.
    virtual QString chooseFolder(const QString& title) = 0;
};
