#include "ui/MainWindow.h"

#include "Version.h"
#include "game/GameDiscovery.h"
#include "model/SettingNames.h"
#include "platform/WritableFolder.h"
#include "run/RunSequencer.h"
#include "ui/ErrorReport.h"
#include "ui/GroupBar.h"
#include "ui/MainWindowLook.h"
#include "ui/ModePicker.h"
#include "ui/OptionPages.h"
#include "ui/PictureButton.h"
#include "ui/ProgressPanel.h"
#include "ui/ResultsWindow.h"
#include "ui/StartupWayOut.h"
#include "ui/UiLook.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

using mainlook::placed;

MainWindow::MainWindow(MainWindowContext components, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), c_(std::move(components)),
      saving_(c_.store) {
    setObjectName(QLatin1String(mainlook::WindowName));
    setWindowTitle(QStringLiteral("Quillon Varnholt"));
    setFixedSize(mainlook::WindowSize);
    setFont(uilook::UiFont(8));
    setPalette(mainlook::WindowPalette(palette()));
    setAutoFillBackground(true);

    BuildControls();
    ConnectHandlers();
    sequencer_ = std::make_unique<RunSequencer>(
        SeriesContext{*progress_, c_.dialogs, c_.shell, c_.store, c_.detection, c_.preparation,
                      c_.factsSource, paths_, c_.timings});

    uilook::CentreOnScreen(*this);
    guarded([this] { LoadOptions(); });
}

MainWindow::~MainWindow() = default;

SeriesView& MainWindow::View() {
    return *progress_;
}

BenchmarkSettings MainWindow::CurrentSettings() const {
    return options_->Settings();
}

// ---------------------------------------------------------------------------------------------
// Controls

void MainWindow::BuildControls() {
    background_ = placed(new QLabel(this), mainlook::Background);
    background_->setPixmap(uilook::Picture(QStringLiteral("background")));

    minimizeButton_ = placed(new PictureButton(QStringLiteral("minimize"), QString(), this),
                             mainlook::MinimizeButton);
    minimizeButton_->setToolTip(QStringLiteral("Minimize"));
    exitButton_ =
        placed(new PictureButton(QStringLiteral("exit"), QString(), this), mainlook::ExitButton);
    exitButton_->setToolTip(QStringLiteral("Exit"));
    updateButton_ =
        placed(new PictureButton(QStringLiteral("update"), QStringLiteral("Update"), this),
               mainlook::UpdateButton);
    updateButton_->setToolTip(QStringLiteral("Check for newer version"));
    siteButton_ =
        placed(new PictureButton(QStringLiteral("site"), QStringLiteral("Visit our site"), this),
               mainlook::SiteButton);
    siteButton_->setToolTip(QStringLiteral("Visit our site"));
    helpButton_ = placed(new PictureButton(QStringLiteral("help"), QStringLiteral("Help"), this),
                         mainlook::HelpButton);
    helpButton_->setToolTip(QStringLiteral("Open the help file"));

    BuildGroupBar();

    separator_ = placed(new QFrame(this), mainlook::Separator);
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);
    separator_->setPalette(mainlook::SeparatorPalette(separator_->palette()));

    aboutPicture_ = placed(new QLabel(this), mainlook::AboutPicture);
    uilook::SetPictureWhenShown(aboutPicture_, QStringLiteral("about"));

    options_ =
        std::make_unique<OptionPages>(this, c_.store, saving_, c_.dialogs, c_.physicalMemory);
    // The run button turns with every start and end of a series; the sequencer's own state is
    // settled once the step that turned it has returned.
    progress_ = std::make_unique<ProgressPanel>(*this, *options_, [this] {
        QTimer::singleShot(0, this, [this] { NoteSeriesActivity(); });
    });
}

void MainWindow::BuildGroupBar() {
    groupBar_ = placed(new GroupBar(this), mainlook::GroupBar);
    const int benchmark =
        groupBar_->AddGroup(QStringLiteral("RzGroup1"), QStringLiteral("Benchmark"), true);
    const QStringList pages = {QStringLiteral("Path && information"),
                               QStringLiteral("Resolution && detail"),
                               QStringLiteral("Filters && demos"), QStringLiteral("Miscellaneous")};
    for (int i = 0; i < pages.size(); ++i) {
        QAbstractButton* item =
            groupBar_->AddItem(benchmark, QStringLiteral("RzGroup1Items%1").arg(i), pages[i]);
        connect(item, &QAbstractButton::clicked, this, [this, i] { ShowPage(i); });
    }
    const int other =
        groupBar_->AddGroup(QStringLiteral("RzGroup3"), QStringLiteral("Other"), false);
    connect(groupBar_->AddItem(other, QStringLiteral("RzGroup3Items0"),
                               QStringLiteral("HL2 EO Tweakguide")),
            &QAbstractButton::clicked, this, [this] { guarded([this] { OpenTweakGuide(); }); });
    connect(groupBar_->AddItem(other, QStringLiteral("RzGroup3Items3"), QStringLiteral("Homepage")),
            &QAbstractButton::clicked, this, [this] { guarded([this] { OpenHomePage(); }); });
    // An addition: the kept results, in a window of their own.
    connect(groupBar_->AddItem(other, QStringLiteral("ResultsItem"), QStringLiteral("Results")),
            &QAbstractButton::clicked, this, [this] { guarded([this] { ShowResults(); }); });
    // An addition: frame times through MangoHud, switched on and off here (the setting
    // "FrameTimes").
    QAbstractButton* frames = groupBar_->AddItem(other, QStringLiteral("FrameTimesItem"), {});
    // A store that cannot be read counts as off here: the window's own start decides what
    // that means.
    const auto framesOn = [this] {
        try {
            return c_.store.ReadValue(SettingName::FrameTimes) == QLatin1String("1");
        } catch (const AppError&) {
            return false;
        }
    };
    frames->setToolTip(QStringLiteral("Records every frame's time through MangoHud: it must be "
                                      "installed, and the game's launch options in Steam must "
                                      "be \"mangohud %command%\""));
    const auto showFrames = [frames, framesOn] {
        frames->setText(framesOn() ? QStringLiteral("Frame times: on")
                                   : QStringLiteral("Frame times: off"));
    };
    showFrames();
    connect(frames, &QAbstractButton::clicked, this, [this, showFrames, framesOn] {
        guarded([this, showFrames, framesOn] {
            c_.store.WriteValue(SettingName::FrameTimes,
                                framesOn() ? QStringLiteral("0") : QStringLiteral("1"));
            showFrames();
        });
    });
    connect(groupBar_->AddItem(other, QStringLiteral("RzGroup3Items4"), QStringLiteral("About...")),
            &QAbstractButton::clicked, this, [this] { ShowAboutView(); });
    groupBar_->SetOpenGroup(-1);
}

void MainWindow::ConnectHandlers() {
    auto on = [this](QAbstractButton* button, void (MainWindow::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(exitButton_, &MainWindow::Quit);
    on(minimizeButton_, &MainWindow::Minimize);
    on(updateButton_, &MainWindow::CheckForUpdate);
    on(siteButton_, &MainWindow::OpenHomePage);
    on(helpButton_, &MainWindow::OpenHelp);
    on(progress_->RunButton(), &MainWindow::RunClicked);
    on(options_->OpenResultsButton(), &MainWindow::OpenResultsFolder);
    on(options_->PossibilitiesButton(), &MainWindow::ShowModePicker);
    background_->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Creation, showing and closing

void MainWindow::LoadOptions() {
    options_->SetColours();
    paths_.ProgramFolder = c_.startup.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                               : c_.startup.programFolder;
    options_->Pages()->setCurrentIndex(0);
    EnsureBenchmarkFolder(paths_.ProgramFolder);
    options_->ShowVersion(QStringLiteral(VARNHOLT_VERSION));

    StartupEnvironment environment = c_.startup;
    environment.programFolder = paths_.ProgramFolder;
    StartupResult result = LoadSettings(c_.store, environment);
    while (!result.loaded()) {
        // The way out offered: a game folder chosen here lets start-up go on.
        if (OfferStartupWayOut(result, c_.store, c_.dialogs)) {
            result = LoadSettings(c_.store, environment);
            continue;
        }
        progress_->RunButton()->setEnabled(false);
        progress_->RunButton()->setToolTip(result.failureMessage);
        progress_->SetStatus(result.failureMessage);
        return;
    }
    options_->Fill(result);
    paths_ = result.paths;
    if (c_.pathsFound)
        c_.pathsFound(paths_);
    ShowAboutView();
    for (const QString& problem : result.discoveryProblems)
        c_.dialogs.showMessage(problem);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    guarded([this] { FirstShown(); });
}

void MainWindow::FirstShown() {
    if (c_.openNews)
        c_.openNews();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeConfirmed_) {
        FinishClosing();
        event->accept();
        if (c_.quitProgram)
            c_.quitProgram();
        return;
    }
    // The close query may wait for the restore; the close comes once it is done.
    event->ignore();
    if (closeQueryRunning_)
        return;
    closeQueryRunning_ = true;
    try {
        AskToClose();
    } catch (const std::exception& error) {
        closeQueryRunning_ = false;
        reportTopLevelError(error);
    }
}

void MainWindow::AskToClose() {
    c_.preparation.RestoreGameConfig(sequencer_->SeriesFinished(), [this] {
        guarded([this] { saving_.WindowClosing(options_->Note()); });
        closeConfirmed_ = true;
        // Not from inside this close event: Qt ignores a close requested during one.
        QTimer::singleShot(0, this, [this] { close(); });
    });
}

void MainWindow::FinishClosing() {
    guarded([this] { saving_.WindowClosing(options_->Note()); });
    // The runners go with the sequencer; no termination reaches a closed window.
    sequencer_.reset();
    if (results_)
        results_->close();
    results_.reset();
}

// ---------------------------------------------------------------------------------------------
// Events

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == background_) {
            StartDrag(static_cast<QMouseEvent*>(event));
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == background_ && dragging_) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == background_)
            dragging_ = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::StartDrag(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the window when it can; otherwise we follow the pointer.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void MainWindow::ShowPage(int index) {
    options_->Pages()->setCurrentIndex(index);
    options_->Pages()->show();
}

void MainWindow::ShowAboutView() {
    options_->Pages()->hide();
}

void MainWindow::Quit() {
    if (c_.quitProgram)
        c_.quitProgram();
}

void MainWindow::Minimize() {
    showMinimized();
}

void MainWindow::CheckForUpdate() {
    if (c_.checkForUpdate)
        c_.checkForUpdate();
}

void MainWindow::OpenHomePage() {
    c_.links.openHomePage();
}

void MainWindow::OpenHelp() {
    c_.links.openHelpFile();
}

void MainWindow::OpenTweakGuide() {
    c_.links.openTweakGuide();
}

void MainWindow::ShowResults() {
    if (options_->ResultsFolder().isEmpty()) {
        // Start-up stopped before the results folder was known.
        c_.dialogs.showMessage(
            QStringLiteral("No results folder is known: start-up stopped at \"%1\"")
                .arg(progress_->RunButton()->toolTip()));
        return;
    }
    if (!results_)
        results_ = std::make_unique<ResultsWindow>(c_.store, c_.shell, c_.dialogs);
    results_->Open(options_->ResultsFolder());
}

void MainWindow::RunClicked() {
    // The folder may have become read-only since it was chosen.
    if (const std::optional<QString> refused =
            platform::ResultsFolderRefused(options_->ResultsFolder())) {
        c_.dialogs.showMessage(*refused);
        return;
    }
    if (sequencer_)
        sequencer_->RunClicked();
}

void MainWindow::OpenResultsFolder() {
    const QString folder = options_->ResultsFolder();
    if (folder.isEmpty())
        return;
    if (QFileInfo(folder).isDir())
        c_.shell.open(folder);
    else
        c_.dialogs.showMessage(QStringLiteral("The results directory not exist."));
}

void MainWindow::ShowModePicker() {
    if (!modePicker_ && makeModePicker_)
        makeModePicker_();
    if (modePicker_)
        modePicker_->exec();
}

void MainWindow::SetCustomSize(const QString& width, const QString& height) {
    options_->SetCustomSize(width, height);
}

void MainWindow::NoteSeriesActivity() {
    if (!sequencer_ || sequencer_->SeriesRunning() == seriesRunning_)
        return;
    seriesRunning_ = sequencer_->SeriesRunning();
    emit SeriesRunningChanged(seriesRunning_);
}
