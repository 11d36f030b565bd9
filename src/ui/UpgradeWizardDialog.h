#pragma once

#include "update/UpdateChecker.h"
#include "update/UpgraderViews.h"

#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The download wizard: progress of the current file and of all files, then the end page.
class UpgradeWizardDialog : public QDialog {
    Q_OBJECT
public:
    explicit UpgradeWizardDialog(const WizardSettings& settings, QWidget* parent = nullptr);

    void ShowEndPage(const QString& text);
    bool OnEndPage() const { return endPage_; }
    // Closes without asking, as the checker does.
    void CloseQuietly();

    // The user confirmed closing before the end, or closed the end page by its close box.
    std::function<void()> OnCancelConfirmed;
    std::function<void()> OnFinished;

    QLabel* SidePicture = nullptr;
    QLabel* WizardTitleLabel = nullptr;
    QGroupBox* CurrentFileGroup = nullptr;
    QLabel* DownloadingFromLabel = nullptr;
    QLineEdit* FileUrlEdit = nullptr;
    QLabel* FileSizeLabel = nullptr;
    QLabel* TransferRateLabel = nullptr;
    QLabel* TimeLeftLabel = nullptr;
    QProgressBar* CurrentFileProgress = nullptr;
    QGroupBox* AllFilesGroup = nullptr;
    QLabel* AllDownloadingLabel = nullptr;
    QProgressBar* AllFilesProgress = nullptr;
    QPushButton* FinishButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLabel* AfterNoteLabel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Esc and CancelButton
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
    void Open(const WizardSettings& settings) override;
    bool IsOpen() const override { return dialog_ && dialog_->isVisible(); }
    void SetFileUrl(const QString& url) override;
    void SetAllDownloading(const QString& text) override;
    void SetFileSize(const QString& text) override;
    void SetTransferRate(const QString& text) override;
    void SetEstimatedTime(const QString& text) override;
    void SetProgress(int currentFile, int allFiles) override;
    void ShowEndPage(const QString& text) override;
    void Close() override;

    UpgradeWizardDialog* Dialog() const { return dialog_; }

private:
    QPointer<UpgradeWizardDialog> dialog_;
};
