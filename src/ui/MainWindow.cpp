#include "ui/MainWindow.h"

#include "Version.h"
#include "game/DemoSelection.h"
#include "game/GameDiscovery.h"
#include "model/OptionLists.h"
#include "model/SettingNames.h"
#include "model/SlotTable.h"
#include "platform/WritableFolder.h"
#include "run/RunSequencer.h"
#include "sysinfo/HeapAdvice.h"
#include "ui/ErrorReport.h"
#include "ui/GroupBar.h"
#include "ui/ModePicker.h"
#include "ui/PictureButton.h"
#include "ui/ResultsWindow.h"
#include "ui/StartupWayOut.h"
#include "ui/UiLook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

namespace {

template <class Widget>
Widget* placed(Widget* widget, const QString& name, int left, int top, int width, int height) {
    if (!name.isEmpty())
        widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* caption(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QComboBox* dropDown(QWidget* parent, const QString& name, const QStringList& items, int left,
                    int top, int width) {
    auto* box = placed(new QComboBox(parent), name, left, top, width, 22);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QLineEdit* readOnlyEdit(QWidget* parent, const QString& name, int left, int top, int width) {
    auto* edit = placed(new QLineEdit(parent), name, left, top, width, 21);
    edit->setReadOnly(true);
    return edit;
}

std::optional<int> chosenItem(const QComboBox* box) {
    if (box->currentIndex() < 0)
        return std::nullopt;
    return box->currentIndex();
}

void choose(QComboBox* box, std::optional<int> item) {
    box->setCurrentIndex(item ? *item : -1);
}

// Light boxes with black text, as the option controls have on every page.
void lightBox(QWidget* control) {
    QPalette palette = control->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button})
        palette.setColor(role, uilook::EditBackground());
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        palette.setColor(role, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(170, 174, 180));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(170, 174, 180));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(90, 94, 100));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(90, 94, 100));
    control->setPalette(palette);
}

// Dark pages with light frame captions and labels, matching the painted page area.
QPalette pagePalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, uilook::PageBackground());
    palette.setColor(QPalette::WindowText, uilook::FrameText());
    palette.setColor(QPalette::Base, uilook::EditBackground());
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Button, QColor(58, 82, 114));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Light, QColor(95, 133, 179));
    palette.setColor(QPalette::Midlight, QColor(70, 98, 132));
    palette.setColor(QPalette::Mid, QColor(38, 54, 74));
    palette.setColor(QPalette::Dark, QColor(24, 34, 48));
    palette.setColor(QPalette::Highlight, QColor(47, 123, 216));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(92, 102, 116));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 128, 140));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(36, 44, 56));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(92, 102, 116));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(60, 66, 74));
    return palette;
}

} // namespace

MainWindow::MainWindow(MainWindowContext components, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), c_(std::move(components)),
      saving_(c_.store) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillon Varnholt"));
    setFixedSize(556, 475);
    setFont(uilook::UiFont(8));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    BuildControls();
    ConnectHandlers();
    sequencer_ = std::make_unique<RunSequencer>(SeriesContext{*this, c_.dialogs, c_.shell, c_.store,
                                                              c_.detection, c_.preparation,
                                                              c_.factsSource, paths_, c_.timings});

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([this] { LoadOptions(); });
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void MainWindow::BuildControls() {
    background_ = placed(new QLabel(this), QStringLiteral("Image4"), 0, 0, 556, 475);
    background_->setPixmap(uilook::Picture(QStringLiteral("background")));

    minimizeButton_ = placed(new PictureButton(QStringLiteral("minimize"), QString(), this),
                             QStringLiteral("SpeedButton2"), 517, 7, 17, 17);
    minimizeButton_->setToolTip(QStringLiteral("Minimize"));
    exitButton_ = placed(new PictureButton(QStringLiteral("exit"), QString(), this),
                         QStringLiteral("SpeedButton1"), 533, 7, 18, 17);
    exitButton_->setToolTip(QStringLiteral("Exit"));
    updateButton_ =
        placed(new PictureButton(QStringLiteral("update"), QStringLiteral("Update"), this),
               QStringLiteral("RzShapeButton1"), 282, 142, 72, 24);
    updateButton_->setToolTip(QStringLiteral("Check for newer version"));
    siteButton_ =
        placed(new PictureButton(QStringLiteral("site"), QStringLiteral("Visit our site"), this),
               QStringLiteral("RzShapeButton3"), 373, 142, 94, 24);
    siteButton_->setToolTip(QStringLiteral("Visit our site"));
    helpButton_ = placed(new PictureButton(QStringLiteral("help"), QStringLiteral("Help"), this),
                         QStringLiteral("RzShapeButton4"), 493, 142, 51, 24);
    helpButton_->setToolTip(QStringLiteral("Open the help file"));

    BuildGroupBar();

    separator_ = placed(new QFrame(this), QStringLiteral("RzSeparator1"), 144, 184, 2, 265);
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);
    QPalette separator = separator_->palette();
    separator.setColor(QPalette::Dark, QColor(20, 28, 40));
    separator.setColor(QPalette::Light, QColor(70, 98, 132));
    separator_->setPalette(separator);

    aboutPicture_ = placed(new QLabel(this), QStringLiteral("Image2"), 189, 211, 334, 202);
    uilook::SetPictureWhenShown(aboutPicture_, QStringLiteral("about"));

    pages_ = placed(new QStackedWidget(this), QStringLiteral("PageControl"), 150, 185, 403, 260);
    pages_->setPalette(pagePalette());
    pages_->setAutoFillBackground(true);
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(pages_);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        page->setAutoFillBackground(true);
        pages_->addWidget(page);
    }
    BuildPage1(pages_->widget(0));
    BuildPage2(pages_->widget(1));
    BuildPage3(pages_->widget(2));
    BuildPage4(pages_->widget(3));

    // Above the group bar, which reaches down behind it.
    runButton_ =
        placed(new PictureButton(QStringLiteral("bench"), QStringLiteral("Run benchmark"), this),
               QStringLiteral("BenchButton"), 26, 399, 102, 24);
    runButton_->setToolTip(QStringLiteral("Run benchmark"));

    progressPanel_ = placed(new QFrame(this), QStringLiteral("Panel2"), 152, 184, 401, 265);
    QPalette panel = progressPanel_->palette();
    panel.setColor(QPalette::Window, Qt::black);
    panel.setColor(QPalette::WindowText, Qt::white);
    progressPanel_->setPalette(panel);
    progressPanel_->setAutoFillBackground(true);
    progressHeading_ =
        new QLabel(QStringLiteral("Collecting system information, please wait..."), progressPanel_);
    progressHeading_->setObjectName(QStringLiteral("Label20"));
    progressHeading_->setFont(uilook::UiFont(10));
    progressHeading_->move(72, 72);
    progressHeading_->adjustSize();
    resolutionLine_ = new QLabel(QStringLiteral("Resolution: ..."), progressPanel_);
    resolutionLine_->setObjectName(QStringLiteral("Label21"));
    resolutionLine_->move(72, 104);
    resolutionLine_->adjustSize();
    runsLabel_ = new QLabel(progressPanel_);
    runsLabel_->setObjectName(QStringLiteral("RunsLabel"));
    runsLabel_->move(72, 128);
    runsLabel_->adjustSize();
    // Below the run counter, wrapped: a wait's line may name another copy of the game by path.
    GameLine = new QLabel(progressPanel_);
    GameLine->setObjectName(QStringLiteral("GameLine"));
    GameLine->setGeometry(24, 160, 353, 64);
    GameLine->setWordWrap(true);
    GameLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FinishedRunLine = new QLabel(progressPanel_);
    FinishedRunLine->setObjectName(QStringLiteral("FinishedRunLine"));
    FinishedRunLine->setGeometry(24, 228, 353, 20);
    progressPanel_->hide();

    statusLine_ = placed(new QLabel(this), QStringLiteral("StatusInfo"), 16, 458, 530, 14);
    QPalette status = statusLine_->palette();
    status.setColor(QPalette::WindowText, uilook::SilverText());
    statusLine_->setPalette(status);
    statusLine_->setAttribute(Qt::WA_TranslucentBackground);
}

void MainWindow::BuildGroupBar() {
    groupBar_ = placed(new GroupBar(this), QStringLiteral("RzGroupBar1"), 8, 192, 130, 256);
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

void MainWindow::BuildPage1(QWidget* page) {
    auto* path = placed(new QGroupBox(QStringLiteral(" Half-Life 2 Episode One path "), page),
                        QString(), 8, 6, 387, 56);
    gamePathEdit_ = readOnlyEdit(path, QStringLiteral("HL2PathEdit"), 12, 24, 363);

    auto* info =
        placed(new QGroupBox(QStringLiteral(" Information "), page), QString(), 8, 70, 387, 50);
    versionCaption_ = caption(info, QStringLiteral("Benchmark version:"), 14, 24);
    versionCaption_->setObjectName(QStringLiteral("Label5"));
    versionLabel_ = caption(info, QString(), 140, 24);
    versionLabel_->setObjectName(QStringLiteral("Label17"));
    versionLabel_->setFont(uilook::UiFont(8, true));

    auto* results =
        placed(new QGroupBox(QStringLiteral(" Results folder "), page), QString(), 8, 128, 387, 58);
    resultsFolderEdit_ = readOnlyEdit(results, QStringLiteral("ResEdit"), 12, 24, 283);
    openResultsButton_ =
        placed(new QToolButton(results), QStringLiteral("OpenResFolder"), 301, 23, 46, 23);
    openResultsButton_->setText(QStringLiteral("Open"));
    openResultsButton_->setToolTip(QStringLiteral("Open results folder"));
    browseResultsButton_ =
        placed(new QToolButton(results), QStringLiteral("RzToolButton5"), 351, 23, 24, 23);
    browseResultsButton_->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    browseResultsButton_->setToolTip(QStringLiteral("Browse..."));
}

void MainWindow::BuildPage2(QWidget* page) {
    resolutionGroup_ = placed(new QGroupBox(QStringLiteral(" Resolution "), page),
                              QStringLiteral("res"), 8, 4, 387, 104);
    for (int i = 0; i < FixedSlotCount; ++i) {
        // Three columns, filled top to bottom.
        const int column = i / 3;
        const int row = i % 3;
        resolutionBoxes_[static_cast<size_t>(i)] = placed(
            new QCheckBox(FixedSlots()[static_cast<size_t>(i)].ItemCaption, resolutionGroup_),
            QStringLiteral("res%1").arg(i), 14 + column * 124, 24 + row * 26, 118, 20);
    }
    customResolutionBox_ = placed(new QCheckBox(QStringLiteral("Custom resolution:"), page),
                                  QStringLiteral("cusresbox"), 16, 119, 128, 20);
    customWidthEdit_ = readOnlyEdit(page, QStringLiteral("CusWidth"), 150, 118, 50);
    auto* times = caption(page, QStringLiteral("\u00D7"), 0, 0);
    times->setGeometry(200, 118, 18, 21);
    times->setAlignment(Qt::AlignCenter);
    customHeightEdit_ = readOnlyEdit(page, QStringLiteral("CusHeight"), 218, 118, 50);
    possibilitiesButton_ = placed(new QPushButton(QStringLiteral("Possibilities"), page),
                                  QStringLiteral("CusPossibilities"), 282, 117, 96, 23);

    DetailBox = placed(new QGroupBox(QStringLiteral(" Detail level "), page),
                       QStringLiteral("DetailBox"), 8, 150, 387, 50);
    // Four columns; the one item fills the first.
    auto* maximum =
        placed(new QRadioButton(DetailItems().at(0), DetailBox), QString(), 14, 22, 180, 20);
    maximum->setChecked(true);
    auto* note = caption(page,
                         QStringLiteral("The maximum quality level is the best graphics "
                                        "possible."),
                         12, 208);
    note->setObjectName(QStringLiteral("DetailNote"));
}

void MainWindow::BuildPage3(QWidget* page) {
    auto* filters =
        placed(new QGroupBox(QStringLiteral(" Filters "), page), QString(), 8, 4, 387, 72);
    caption(filters, QStringLiteral("Filtering mode"), 14, 20);
    filteringBox_ = dropDown(filters, QStringLiteral("AFBox"), FilteringItems(), 14, 38, 170);
    caption(filters, QStringLiteral("Antialiasing mode"), 204, 20);
    antialiasingBox_ =
        dropDown(filters, QStringLiteral("AABox"), AntialiasingItems(), 204, 38, 170);

    demoGroup_ = placed(new QGroupBox(QStringLiteral(" Choose a demo "), page),
                        QStringLiteral("demo"), 8, 84, 387, 84);
    demoChoices_ = new QButtonGroup(demoGroup_);
    for (int i = 0; i < DemoItems().size(); ++i) {
        // Two columns.
        auto* item = placed(new QRadioButton(DemoItems().at(i), demoGroup_),
                            QStringLiteral("demo%1").arg(i), 14 + i * 190, 22, 170, 20);
        demoChoices_->addButton(item, i);
    }
    customDemoEdit_ = readOnlyEdit(demoGroup_, QStringLiteral("DemoEdit"), 14, 52, 331);
    customDemoEdit_->setEnabled(false);
    browseDemoButton_ =
        placed(new QToolButton(demoGroup_), QStringLiteral("DemoEditButton"), 350, 51, 24, 23);
    browseDemoButton_->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    browseDemoButton_->setEnabled(false);

    auto* runs = placed(new QGroupBox(QStringLiteral(" Number of times to run the demo "), page),
                        QString(), 8, 176, 387, 54);
    runCountBox_ = dropDown(runs, QStringLiteral("RunNumberBox"), RunCountItems(), 14, 22, 80);
}

void MainWindow::BuildPage4(QWidget* page) {
    caption(page, QStringLiteral("Benchmark notes (50 chars at most!)"), 10, 8);
    noteEdit_ = placed(new QLineEdit(page), QStringLiteral("NoteEdit"), 8, 26, 387, 21);
    noteEdit_->setMaxLength(NoteMaxLength);

    caption(page, QStringLiteral("Heapsize "), 10, 60);
    heapSizeBox_ = dropDown(page, QStringLiteral("HeapsizeBox"), HeapSizeItems(), 8, 78, 180);
    caption(page, QStringLiteral("Refresh rate"), 217, 60);
    refreshRateBox_ = dropDown(page, QStringLiteral("RefreshBox"), RefreshItems(), 215, 78, 180);
    caption(page, QStringLiteral("High Dynamic Range"), 10, 112);
    hdrBox_ = dropDown(page, QStringLiteral("HDRBox"), HdrItems(), 8, 130, 180);

    fastZBox_ = placed(new QCheckBox(QStringLiteral("Enable fast z-setting"), page),
                       QStringLiteral("FastZBox"), 10, 172, 300, 20);
    fastZBox_->setToolTip(QStringLiteral("Enables or disables a depth fill pass that may improve "
                                         "performance in graphics-bound situations."));
    colourCorrectionBox_ = placed(new QCheckBox(QStringLiteral("Enable color correction"), page),
                                  QStringLiteral("ColorCorrBox"), 10, 198, 300, 20);
}

void MainWindow::SetColours() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             customDemoEdit_, gamePathEdit_, noteEdit_, resultsFolderEdit_, hdrBox_, heapSizeBox_,
             refreshRateBox_, filteringBox_, antialiasingBox_})
        lightBox(control);
    // Not named among the coloured boxes, but on the same pages and read alike.
    lightBox(runCountBox_);
    // The custom size is chosen with "Possibilities", never typed: the two edits look like the
    // page they lie on, not like a box that takes typing.
    for (QLineEdit* edit : {customWidthEdit_, customHeightEdit_}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setCursor(Qt::ArrowCursor);
        edit->setToolTip(QStringLiteral("Chosen with \"Possibilities\" from the sizes the "
                                        "display offers"));
    }
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
    on(runButton_, &MainWindow::RunClicked);
    on(browseResultsButton_, &MainWindow::ChooseResultsFolder);
    on(openResultsButton_, &MainWindow::OpenResultsFolder);
    on(possibilitiesButton_, &MainWindow::ShowModePicker);
    on(browseDemoButton_, &MainWindow::ChooseCustomDemo);

    // A box's change event is the user's choice; choices made in code raise none.
    auto changed = [this](QComboBox* box, void (MainWindow::*handler)()) {
        connect(box, &QComboBox::activated, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    changed(heapSizeBox_, &MainWindow::HeapSizeChosen);
    changed(filteringBox_, &MainWindow::FilteringChosen);
    changed(antialiasingBox_, &MainWindow::AntialiasingChosen);
    changed(runCountBox_, &MainWindow::RunCountChosen);
    changed(refreshRateBox_, &MainWindow::RefreshRateChosen);
    changed(hdrBox_, &MainWindow::HdrChosen);
    connect(noteEdit_, &QLineEdit::textChanged, this,
            [this] { guarded([this] { NoteEdited(); }); });
    connect(demoChoices_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            guarded([this, id] { DemoChosen(id); });
    });

    // A long path is cut in its box: the whole of it shows on pointing.
    for (QLineEdit* path : {gamePathEdit_, resultsFolderEdit_, customDemoEdit_})
        connect(path, &QLineEdit::textChanged, path, &QWidget::setToolTip);

    background_->installEventFilter(this);
    resultsFolderEdit_->installEventFilter(this);
    for (QWidget* control : std::initializer_list<QWidget*>{
             resolutionGroup_, customResolutionBox_, demoGroup_, heapSizeBox_, refreshRateBox_,
             hdrBox_, fastZBox_, colourCorrectionBox_})
        control->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Creation, showing and closing

void MainWindow::LoadOptions() {
    SetColours();
    paths_.ProgramFolder = c_.startup.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                               : c_.startup.programFolder;
    pages_->setCurrentIndex(0);
    EnsureBenchmarkFolder(paths_.ProgramFolder);
    versionLabel_->setText(QStringLiteral(VARNHOLT_VERSION));
    versionLabel_->adjustSize();

    StartupEnvironment environment = c_.startup;
    environment.programFolder = paths_.ProgramFolder;
    StartupResult result = LoadSettings(c_.store, environment);
    while (!result.loaded()) {
        // The way out offered: a game folder chosen here lets start-up go on.
        if (OfferStartupWayOut(result, c_.store, c_.dialogs)) {
            result = LoadSettings(c_.store, environment);
            continue;
        }
        runButton_->setEnabled(false);
        runButton_->setToolTip(result.failureMessage);
        SetStatus(result.failureMessage);
        return;
    }
    ApplyStartup(result);
    paths_ = result.paths;
    if (c_.pathsFound)
        c_.pathsFound(paths_);
    ShowAboutView();
    for (const QString& problem : result.discoveryProblems)
        c_.dialogs.showMessage(problem);
}

void MainWindow::ApplyStartup(const StartupResult& result) {
    // Start-up has already stored what it must; the change handlers stay quiet meanwhile.
    const QList<QObject*> quiet = {
        resolutionGroup_, customResolutionBox_, customWidthEdit_, customHeightEdit_,
        filteringBox_,    antialiasingBox_,     runCountBox_,     demoChoices_,
        customDemoEdit_,  resultsFolderEdit_,   noteEdit_,        hdrBox_,
        heapSizeBox_,     refreshRateBox_,      fastZBox_,        colourCorrectionBox_,
        gamePathEdit_};
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QObject* control : quiet)
        blockers.push_back(std::make_unique<QSignalBlocker>(control));
    for (QAbstractButton* item : demoChoices_->buttons())
        blockers.push_back(std::make_unique<QSignalBlocker>(item));

    const BenchmarkSettings& s = result.settings;
    for (size_t i = 0; i < resolutionBoxes_.size(); ++i) {
        resolutionBoxes_[i]->setChecked(s.ResolutionChecked[i]);
        resolutionBoxes_[i]->setEnabled(result.resolutionEnabled[i]);
        resolutionBoxes_[i]->setToolTip(
            result.resolutionEnabled[i] ? QString()
                                        : QStringLiteral("Greyed: the display does not offer %1")
                                              .arg(resolutionBoxes_[i]->text()));
    }
    customWidthEdit_->setText(s.CustomWidth);
    customHeightEdit_->setText(s.CustomHeight);
    customResolutionBox_->setChecked(s.CustomChecked);
    choose(filteringBox_, s.FilteringMode);
    choose(antialiasingBox_, s.AntialiasingMode);
    runCount_ = s.RunCount;
    choose(runCountBox_, s.RunCount > 0 ? std::optional<int>(s.RunCount - 1) : std::nullopt);
    gamePathEdit_->setText(result.paths.GameBase);
    if (s.Demo)
        demoChoices_->button(static_cast<int>(*s.Demo))->setChecked(true);
    customDemoEdit_->setText(s.CustomDemoPath);
    customDemoEdit_->setEnabled(result.customDemoControlsEnabled);
    browseDemoButton_->setEnabled(result.customDemoControlsEnabled);
    resultsFolderEdit_->setText(s.ResultsFolder);
    noteEdit_->setText(s.Note);
    choose(hdrBox_, s.HdrMode);
    choose(heapSizeBox_, s.HeapSize);
    choose(refreshRateBox_, s.RefreshRate);
    fastZBox_->setChecked(s.FastZ);
    colourCorrectionBox_->setChecked(s.ColorCorrection);
    for (QLineEdit* path : {gamePathEdit_, resultsFolderEdit_, customDemoEdit_})
        path->setToolTip(path->text());
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
        guarded([this] { saving_.WindowClosing(noteEdit_->text()); });
        closeConfirmed_ = true;
        // Not from inside this close event: Qt ignores a close requested during one.
        QTimer::singleShot(0, this, [this] { close(); });
    });
}

void MainWindow::FinishClosing() {
    guarded([this] { saving_.WindowClosing(noteEdit_->text()); });
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
    case QEvent::Leave:
        guarded([this, watched] { PointerLeft(watched); });
        break;
    case QEvent::FocusOut:
        if (watched == resultsFolderEdit_)
            guarded([this] { ResultsFolderEdited(); });
        break;
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

void MainWindow::PointerLeft(QObject* control) {
    if (control == resolutionGroup_)
        saving_.ResolutionGroupLeft(ResolutionTicks());
    else if (control == customResolutionBox_)
        saving_.CustomResolutionBoxLeft(customResolutionBox_->isChecked(), customWidthEdit_->text(),
                                        customHeightEdit_->text());
    else if (control == demoGroup_)
        saving_.DemoGroupLeft(ChosenDemo());
    else if (control == heapSizeBox_)
        saving_.HeapSizeBoxLeft(chosenItem(heapSizeBox_));
    else if (control == refreshRateBox_)
        saving_.RefreshBoxLeft(chosenItem(refreshRateBox_));
    else if (control == hdrBox_)
        saving_.HdrBoxLeft(chosenItem(hdrBox_));
    else if (control == fastZBox_)
        saving_.FastZBoxLeft(fastZBox_->isChecked());
    else if (control == colourCorrectionBox_)
        saving_.ColorCorrectionBoxLeft(colourCorrectionBox_->isChecked());
}

void MainWindow::ShowPage(int index) {
    pages_->setCurrentIndex(index);
    pages_->show();
}

void MainWindow::ShowAboutView() {
    pages_->hide();
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
    if (resultsFolderEdit_->text().isEmpty()) {
        // Start-up stopped before the results folder was known.
        c_.dialogs.showMessage(
            QStringLiteral("No results folder is known: start-up stopped at \"%1\"")
                .arg(runButton_->toolTip()));
        return;
    }
    if (!results_)
        results_ = std::make_unique<ResultsWindow>(c_.store, c_.shell, c_.dialogs);
    results_->Open(resultsFolderEdit_->text());
}

void MainWindow::RunClicked() {
    // The folder may have become read-only since it was chosen.
    if (const std::optional<QString> refused =
            platform::ResultsFolderRefused(resultsFolderEdit_->text())) {
        c_.dialogs.showMessage(*refused);
        return;
    }
    if (sequencer_)
        sequencer_->RunClicked();
}

void MainWindow::ChooseResultsFolder() {
    const QString chosen = c_.dialogs.chooseFolder(QStringLiteral("Results folder"));
    if (chosen.isEmpty())
        return;
    // Found only at the report, a folder that cannot take it would cost the whole series.
    if (const std::optional<QString> refused = platform::ResultsFolderRefused(chosen)) {
        c_.dialogs.showMessage(*refused);
        return;
    }
    resultsFolderEdit_->setText(ResultsFolderFromChosen(chosen));
    saving_.ResultsFolderChosen(chosen);
}

void MainWindow::OpenResultsFolder() {
    const QString folder = resultsFolderEdit_->text();
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

void MainWindow::HeapSizeChosen() {
    const quint64 memory = c_.physicalMemory ? c_.physicalMemory() : 0;
    const HeapAdviceResult advice = HeapAdvice(heapSizeBox_->currentIndex(), memory);
    if (advice.ShowMessage) {
        c_.dialogs.showMessage(advice.Message);
        heapSizeBox_->setCurrentIndex(advice.ItemAfter);
    }
    saving_.HeapSizeChanged(chosenItem(heapSizeBox_));
}

void MainWindow::FilteringChosen() {
    saving_.FilteringChanged(chosenItem(filteringBox_));
}

void MainWindow::AntialiasingChosen() {
    saving_.AntialiasingChanged(chosenItem(antialiasingBox_));
}

void MainWindow::RunCountChosen() {
    runCount_ = saving_.RunNumberSaved(chosenItem(runCountBox_), runCount_);
}

void MainWindow::NoteEdited() {
    saving_.NoteChanged(noteEdit_->text());
}

void MainWindow::RefreshRateChosen() {
    saving_.RefreshChanged(chosenItem(refreshRateBox_));
}

void MainWindow::HdrChosen() {
    saving_.HdrChanged(chosenItem(hdrBox_));
}

void MainWindow::DemoChosen(int item) {
    const bool customControls = DemoChoiceChanged(c_.store, static_cast<DemoKind>(item));
    customDemoEdit_->setEnabled(customControls);
    browseDemoButton_->setEnabled(customControls);
}

void MainWindow::ChooseCustomDemo() {
    const QString path = c_.dialogs.chooseOpenFile(QStringLiteral("Half-Life 2 demo file (*.dem)"));
    if (path.isEmpty())
        return;
    customDemoEdit_->setText(path);
    saving_.CustomDemoChosen(customDemoEdit_->text());
}

void MainWindow::ResultsFolderEdited() {
    saving_.ResultsEditLeft(resultsFolderEdit_->text());
}

void MainWindow::SetCustomSize(const QString& width, const QString& height) {
    customWidthEdit_->setText(width);
    customHeightEdit_->setText(height);
}

// ---------------------------------------------------------------------------------------------
// What the series sees

void MainWindow::SetStatus(const QString& text) {
    statusLine_->setText(text);
}

void MainWindow::SetRunButtonEnabled(bool enabled) {
    runButton_->setEnabled(enabled);
    // The button turns with every start and end of a series; the sequencer's own state is
    // settled once the step that turned it has returned.
    QTimer::singleShot(0, this, [this] { NoteSeriesActivity(); });
}

void MainWindow::NoteSeriesActivity() {
    if (!sequencer_ || sequencer_->SeriesRunning() == seriesRunning_)
        return;
    seriesRunning_ = sequencer_->SeriesRunning();
    emit SeriesRunningChanged(seriesRunning_);
}

void MainWindow::SetProgressPanelVisible(bool visible) {
    progressPanel_->setVisible(visible);
    if (visible)
        progressPanel_->raise();
}

void MainWindow::SetHeading(const QString& text, int fontSize, int left) {
    progressHeading_->setFont(uilook::UiFont(fontSize));
    progressHeading_->setText(text);
    progressHeading_->move(left, progressHeading_->y());
    progressHeading_->adjustSize();
}

void MainWindow::SetResolutionLine(const QString& text) {
    resolutionLine_->setText(text);
    resolutionLine_->adjustSize();
}

void MainWindow::SetResolutionLineVisible(bool visible) {
    resolutionLine_->setVisible(visible);
}

void MainWindow::SetRunsLabel(const QString& text) {
    runsLabel_->setText(text);
    runsLabel_->adjustSize();
}

void MainWindow::SetRunsLabelVisible(bool visible) {
    runsLabel_->setVisible(visible);
}

void MainWindow::SetGameLine(const QString& text) {
    GameLine->setText(text);
}

void MainWindow::SetFinishedRunLine(const QString& text) {
    FinishedRunLine->setText(text);
}

WindowBounds MainWindow::NormalBounds() const {
    const QRect r = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
    return {r.width(), r.height(), r.left(), r.top()};
}

void MainWindow::SetBounds(const WindowBounds& bounds) {
    setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
}

void MainWindow::RepaintNow() {
    repaint();
}

std::array<bool, FixedSlotCount> MainWindow::ResolutionTicks() const {
    std::array<bool, FixedSlotCount> ticks{};
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = resolutionBoxes_[i]->isChecked();
    return ticks;
}

std::optional<DemoKind> MainWindow::ChosenDemo() const {
    const int id = demoChoices_->checkedId();
    if (id < 0)
        return std::nullopt;
    return static_cast<DemoKind>(id);
}

BenchmarkSettings MainWindow::CurrentSettings() const {
    BenchmarkSettings s;
    s.ResolutionChecked = ResolutionTicks();
    s.CustomChecked = customResolutionBox_->isChecked();
    s.CustomWidth = customWidthEdit_->text();
    s.CustomHeight = customHeightEdit_->text();
    s.FilteringMode = chosenItem(filteringBox_);
    s.AntialiasingMode = chosenItem(antialiasingBox_);
    s.HdrMode = chosenItem(hdrBox_);
    s.HeapSize = chosenItem(heapSizeBox_);
    s.RefreshRate = chosenItem(refreshRateBox_);
    s.FastZ = fastZBox_->isChecked();
    s.ColorCorrection = colourCorrectionBox_->isChecked();
    s.RunCount = runCountBox_->currentIndex() + 1;
    s.Demo = ChosenDemo();
    s.CustomDemoPath = customDemoEdit_->text();
    s.Note = noteEdit_->text();
    s.ResultsFolder = resultsFolderEdit_->text();
    return s;
}
