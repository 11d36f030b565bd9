#pragma once

#include "update/TauAutoUpgrader.h"
#include "update/UpgraderViews.h"

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The download wizard: progress of the current file and of all files, then the end page.
class TauAutoUpgraderWizardForm : public QDialog {
    Q_OBJECT
public:
    explicit TauAutoUpgraderWizardForm(const TauAutoUpgraderWizard& settings,
                                       QWidget* parent = nullptr);

    void ShowEndPage(const QString& text);
    bool OnEndPage() const { return endPage_; }
    // Closes without asking, as the checker does.
    void CloseQuietly();

    // The user confirmed closing before the end, or closed the end page by its close box.
    std::function<void()> OnCancelConfirmed;
    std::function<void()> OnFinished;

    QLabel* Image1 = nullptr;
    QLabel* WizardTitle = nullptr;
    QGroupBox* LCurrentFile = nullptr;
    QLabel* LDownloadingFileFrom = nullptr;
    QLineEdit* FileURL = nullptr;
    QLabel* LFileSize = nullptr;
    QLabel* LTransferRate = nullptr;
    QLabel* LEstimatedTime = nullptr;
    QProgressBar* ProgressCurrentFile = nullptr;
    QGroupBox* LAllFiles = nullptr;
    QLabel* AllDownloading = nullptr;
    QProgressBar* ProgressAllFiles = nullptr;
    QPushButton* FinishBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QLabel* AfterNote = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc and CancelBtn
    void showEvent(QShowEvent* event) override;

private:
    bool endPage_ = false;
    bool quiet_ = false;
    bool finishing_ = false;
    bool stayOnTop_ = true;
};

// Opens one wizard window at a time and forgets it when it closes.
class WizardWindow : public UpgradeWizardView {
public:
    ~WizardWindow() override;
    void Open(const TauAutoUpgraderWizard& settings) override;
    bool IsOpen() const override { return form_ && form_->isVisible(); }
    void SetFileUrl(const QString& url) override;
    void SetAllDownloading(const QString& text) override;
    void SetFileSize(const QString& text) override;
    void SetTransferRate(const QString& text) override;
    void SetEstimatedTime(const QString& text) override;
    void SetProgress(int currentFile, int allFiles) override;
    void ShowEndPage(const QString& text) override;
    void Close() override;

    TauAutoUpgraderWizardForm* Form() const { return form_; }

private:
    QPointer<TauAutoUpgraderWizardForm> form_;
};
