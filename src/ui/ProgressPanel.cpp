#include "ui/ProgressPanel.h"

#include "ui/MainWindowLook.h"
#include "ui/OptionPages.h"
#include "ui/PictureButton.h"
#include "ui/UiLook.h"

#include <QFrame>
#include <QLabel>

using mainlook::placed;

ProgressPanel::ProgressPanel(QWidget& window, const OptionPages& options,
                             std::function<void()> runButtonTurned)
    : window_(window), options_(options), runButtonTurned_(std::move(runButtonTurned)) {
    // Above the group bar, which reaches down behind it.
    runButton_ =
        placed(new PictureButton(QStringLiteral("bench"), QStringLiteral("Run benchmark"), &window),
               mainlook::RunButton);
    runButton_->setToolTip(QStringLiteral("Run benchmark"));

    panel_ = placed(new QFrame(&window), mainlook::ProgressPanel);
    panel_->setPalette(mainlook::ProgressPanelPalette(panel_->palette()));
    panel_->setAutoFillBackground(true);
    heading_ = new QLabel(QStringLiteral("Collecting system information, please wait..."), panel_);
    heading_->setFont(uilook::UiFont(10));
    placed(heading_, mainlook::ProgressHeading);
    resolutionLine_ =
        placed(new QLabel(QStringLiteral("Resolution: ..."), panel_), mainlook::ResolutionLine);
    runsLine_ = placed(new QLabel(panel_), mainlook::RunsLine);
    // Below the run counter, wrapped: a wait's line may name another copy of the game by path.
    gameLine_ = placed(new QLabel(panel_), mainlook::GameLine);
    gameLine_->setWordWrap(true);
    gameLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    finishedRunLine_ = placed(new QLabel(panel_), mainlook::FinishedRunLine);
    panel_->hide();

    statusLine_ = placed(new QLabel(&window), mainlook::StatusLine);
    statusLine_->setPalette(mainlook::StatusLinePalette(statusLine_->palette()));
    statusLine_->setAttribute(Qt::WA_TranslucentBackground);
}

void ProgressPanel::SetStatus(const QString& text) {
    statusLine_->setText(text);
}

void ProgressPanel::SetRunButtonEnabled(bool enabled) {
    runButton_->setEnabled(enabled);
    if (runButtonTurned_)
        runButtonTurned_();
}

void ProgressPanel::SetProgressPanelVisible(bool visible) {
    panel_->setVisible(visible);
    if (visible)
        panel_->raise();
}

void ProgressPanel::SetHeading(const QString& text, int fontSize, int left) {
    heading_->setFont(uilook::UiFont(fontSize));
    heading_->setText(text);
    heading_->move(left, heading_->y());
    heading_->adjustSize();
}

void ProgressPanel::SetResolutionLine(const QString& text) {
    resolutionLine_->setText(text);
    resolutionLine_->adjustSize();
}

void ProgressPanel::SetResolutionLineVisible(bool visible) {
    resolutionLine_->setVisible(visible);
}

void ProgressPanel::SetRunsLabel(const QString& text) {
    runsLine_->setText(text);
    runsLine_->adjustSize();
}

void ProgressPanel::SetRunsLabelVisible(bool visible) {
    runsLine_->setVisible(visible);
}

void ProgressPanel::SetGameLine(const QString& text) {
    gameLine_->setText(text);
}

void ProgressPanel::SetFinishedRunLine(const QString& text) {
    finishedRunLine_->setText(text);
}

WindowBounds ProgressPanel::NormalBounds() const {
    const QRect r = (window_.isMinimized() || window_.isMaximized()) ? window_.normalGeometry()
                                                                     : window_.geometry();
    return {r.width(), r.height(), r.left(), r.top()};
}

void ProgressPanel::SetBounds(const WindowBounds& bounds) {
    window_.setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
}

void ProgressPanel::RepaintNow() {
    window_.repaint();
}

BenchmarkSettings ProgressPanel::CurrentSettings() const {
    return options_.Settings();
}
