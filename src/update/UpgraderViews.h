#pragma once

#include <QString>
#include <functional>

struct WizardSettings;

// What the update checker asks and tells the user. The window answers with real dialogs; tests
// answer directly.
class UpgraderPrompts {
public:
    virtual ~UpgraderPrompts() = default;
    // The "newer version" question window; true only for its Yes button.
    virtual bool AskUpgrade(const QString& text) = 0;
    // A box with the error icon and an OK button.
    virtual void ShowError(const QString& text) = 0;
    // A box with the information icon and an OK button.
    virtual void ShowInformation(const QString& text) = 0;
    // Yes/No with the warning icon; true for Yes.
    virtual bool AskYesNoWarning(const QString& caption, const QString& text) = 0;
    // The credentials window: `text` names the remote file, `userName` comes filled in. True
    // for OK, with both fields as the user left them; false for Cancel.
    virtual bool AskPassword(const QString& text, QString& userName, QString& password) {
        (void)text, (void)userName, (void)password;
        return false;
    }
};

// The download wizard. The checker drives it; the window reports the user's two decisions
// back through the callbacks. Close() and Open() by the checker never call them.
class UpgradeWizardView {
public:
    virtual ~UpgradeWizardView() = default;
    virtual void Open(const WizardSettings& settings) = 0;
    virtual bool IsOpen() const = 0;
    virtual void SetFileUrl(const QString& url) = 0;
    virtual void SetAllDownloading(const QString& text) = 0;
    virtual void SetFileSize(const QString& text) = 0;
    virtual void SetTransferRate(const QString& text) = 0;
    virtual void SetEstimatedTime(const QString& text) = 0;
    virtual void SetProgress(int currentFile, int allFiles) = 0;
    virtual void ShowEndPage(const QString& text) = 0;
    virtual void Close() = 0;

    // The user confirmed closing before the end (or closed the end page by its close box).
    std::function<void()> OnCancelConfirmed;
    // The end page's OK button.
    std::function<void()> OnFinished;
};
