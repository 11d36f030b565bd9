#include "ui/TForm1.h"

#include "Version.h"
#include "game/DemoSelection.h"
#include "game/GameDiscovery.h"
#include "model/OptionLists.h"
#include "model/SlotTable.h"
#include "platform/WritableFolder.h"
#include "run/RunSequencer.h"
#include "sysinfo/HeapAdvice.h"
#include "ui/ErrorReport.h"
#include "ui/GroupBar.h"
#include "ui/PictureButton.h"
#include "ui/ResultsWindow.h"
#include "ui/StartupWayOut.h"
#include "ui/TForm3.h"
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

TForm1::TForm1(TForm1Components components, QWidget* parent)
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
    guarded([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void TForm1::BuildControls() {
    Image4 = placed(new QLabel(this), QStringLiteral("Image4"), 0, 0, 556, 475);
    Image4->setPixmap(uilook::Picture(QStringLiteral("background")));

    SpeedButton2 = placed(new PictureButton(QStringLiteral("minimize"), QString(), this),
                          QStringLiteral("SpeedButton2"), 517, 7, 17, 17);
    SpeedButton2->setToolTip(QStringLiteral("Minimize"));
    SpeedButton1 = placed(new PictureButton(QStringLiteral("exit"), QString(), this),
                          QStringLiteral("SpeedButton1"), 533, 7, 18, 17);
    SpeedButton1->setToolTip(QStringLiteral("Exit"));
    RzShapeButton1 =
        placed(new PictureButton(QStringLiteral("update"), QStringLiteral("Update"), this),
               QStringLiteral("RzShapeButton1"), 282, 142, 72, 24);
    RzShapeButton1->setToolTip(QStringLiteral("Check for newer version"));
    RzShapeButton3 =
        placed(new PictureButton(QStringLiteral("site"), QStringLiteral("Visit our site"), this),
               QStringLiteral("RzShapeButton3"), 373, 142, 94, 24);
    RzShapeButton3->setToolTip(QStringLiteral("Visit our site"));
    RzShapeButton4 = placed(new PictureButton(QStringLiteral("help"), QStringLiteral("Help"), this),
                            QStringLiteral("RzShapeButton4"), 493, 142, 51, 24);
    RzShapeButton4->setToolTip(QStringLiteral("Open the help file"));

    BuildGroupBar();

    RzSeparator1 = placed(new QFrame(this), QStringLiteral("RzSeparator1"), 144, 184, 2, 265);
    RzSeparator1->setFrameShape(QFrame::VLine);
    RzSeparator1->setFrameShadow(QFrame::Sunken);
    QPalette separator = RzSeparator1->palette();
    separator.setColor(QPalette::Dark, QColor(20, 28, 40));
    separator.setColor(QPalette::Light, QColor(70, 98, 132));
    RzSeparator1->setPalette(separator);

    Image2 = placed(new QLabel(this), QStringLiteral("Image2"), 189, 211, 334, 202);
    uilook::SetPictureWhenShown(Image2, QStringLiteral("about"));

    PageControl =
        placed(new QStackedWidget(this), QStringLiteral("PageControl"), 150, 185, 403, 260);
    PageControl->setPalette(pagePalette());
    PageControl->setAutoFillBackground(true);
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(PageControl);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        page->setAutoFillBackground(true);
        PageControl->addWidget(page);
    }
    BuildPage1(PageControl->widget(0));
    BuildPage2(PageControl->widget(1));
    BuildPage3(PageControl->widget(2));
    BuildPage4(PageControl->widget(3));

    // Above the group bar, which reaches down behind it.
    BenchButton =
        placed(new PictureButton(QStringLiteral("bench"), QStringLiteral("Run benchmark"), this),
               QStringLiteral("BenchButton"), 26, 399, 102, 24);
    BenchButton->setToolTip(QStringLiteral("Run benchmark"));

    Panel2 = placed(new QFrame(this), QStringLiteral("Panel2"), 152, 184, 401, 265);
    QPalette panel = Panel2->palette();
    panel.setColor(QPalette::Window, Qt::black);
    panel.setColor(QPalette::WindowText, Qt::white);
    Panel2->setPalette(panel);
    Panel2->setAutoFillBackground(true);
    Label20 = new QLabel(QStringLiteral("Collecting system information, please wait..."), Panel2);
    Label20->setObjectName(QStringLiteral("Label20"));
    Label20->setFont(uilook::UiFont(10));
    Label20->move(72, 72);
    Label20->adjustSize();
    Label21 = new QLabel(QStringLiteral("Resolution: ..."), Panel2);
    Label21->setObjectName(QStringLiteral("Label21"));
    Label21->move(72, 104);
    Label21->adjustSize();
    RunsLabel = new QLabel(Panel2);
    RunsLabel->setObjectName(QStringLiteral("RunsLabel"));
    RunsLabel->move(72, 128);
    RunsLabel->adjustSize();
    // Below the run counter, wrapped: a wait's line may name another copy of the game by path.
    GameLine = new QLabel(Panel2);
    GameLine->setObjectName(QStringLiteral("GameLine"));
    GameLine->setGeometry(24, 160, 353, 64);
    GameLine->setWordWrap(true);
    GameLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FinishedRunLine = new QLabel(Panel2);
    FinishedRunLine->setObjectName(QStringLiteral("FinishedRunLine"));
    FinishedRunLine->setGeometry(24, 228, 353, 20);
    Panel2->hide();

    StatusInfo = placed(new QLabel(this), QStringLiteral("StatusInfo"), 16, 458, 530, 14);
    QPalette status = StatusInfo->palette();
    status.setColor(QPalette::WindowText, uilook::SilverText());
    StatusInfo->setPalette(status);
    StatusInfo->setAttribute(Qt::WA_TranslucentBackground);
}

void TForm1::BuildGroupBar() {
    RzGroupBar1 = placed(new GroupBar(this), QStringLiteral("RzGroupBar1"), 8, 192, 130, 256);
    const int benchmark =
        RzGroupBar1->AddGroup(QStringLiteral("RzGroup1"), QStringLiteral("Benchmark"), true);
    const QStringList pages = {QStringLiteral("Path && information"),
                               QStringLiteral("Resolution && detail"),
                               QStringLiteral("Filters && demos"), QStringLiteral("Miscellaneous")};
    for (int i = 0; i < pages.size(); ++i) {
        QAbstractButton* item =
            RzGroupBar1->AddItem(benchmark, QStringLiteral("RzGroup1Items%1").arg(i), pages[i]);
        connect(item, &QAbstractButton::clicked, this, [this, i] { ShowPage(i); });
    }
    const int other =
        RzGroupBar1->AddGroup(QStringLiteral("RzGroup3"), QStringLiteral("Other"), false);
    connect(RzGroupBar1->AddItem(other, QStringLiteral("RzGroup3Items0"),
                                 QStringLiteral("HL2 EO Tweakguide")),
            &QAbstractButton::clicked, this,
            [this] { guarded([this] { RzGroup3Items0Click(); }); });
    connect(
        RzGroupBar1->AddItem(other, QStringLiteral("RzGroup3Items3"), QStringLiteral("Homepage")),
        &QAbstractButton::clicked, this, [this] { guarded([this] { RzGroup3Items3Click(); }); });
    // An addition: the kept results, in a window of their own.
    connect(RzGroupBar1->AddItem(other, QStringLiteral("ResultsItem"), QStringLiteral("Results")),
            &QAbstractButton::clicked, this, [this] { guarded([this] { ResultsItemClick(); }); });
    // An addition: frame times through MangoHud, switched on and off here (the setting
    // "FrameTimes").
    QAbstractButton* frames = RzGroupBar1->AddItem(other, QStringLiteral("FrameTimesItem"), {});
    // A store that cannot be read counts as off here: the window's own start decides what
    // that means.
    const auto framesOn = [this] {
        try {
            return c_.store.ReadValue(QStringLiteral("FrameTimes")) == QLatin1String("1");
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
            c_.store.WriteValue(QStringLiteral("FrameTimes"),
                                framesOn() ? QStringLiteral("0") : QStringLiteral("1"));
            showFrames();
        });
    });
    connect(
        RzGroupBar1->AddItem(other, QStringLiteral("RzGroup3Items4"), QStringLiteral("About...")),
        &QAbstractButton::clicked, this, [this] { ShowAboutView(); });
    RzGroupBar1->SetOpenGroup(-1);
}

void TForm1::BuildPage1(QWidget* page) {
    auto* path = placed(new QGroupBox(QStringLiteral(" Half-Life 2 Episode One path "), page),
                        QString(), 8, 6, 387, 56);
    HL2PathEdit = readOnlyEdit(path, QStringLiteral("HL2PathEdit"), 12, 24, 363);

    auto* info =
        placed(new QGroupBox(QStringLiteral(" Information "), page), QString(), 8, 70, 387, 50);
    Label5 = caption(info, QStringLiteral("Benchmark version:"), 14, 24);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label17 = caption(info, QString(), 140, 24);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setFont(uilook::UiFont(8, true));

    auto* results =
        placed(new QGroupBox(QStringLiteral(" Results folder "), page), QString(), 8, 128, 387, 58);
    ResEdit = readOnlyEdit(results, QStringLiteral("ResEdit"), 12, 24, 283);
    OpenResFolder =
        placed(new QToolButton(results), QStringLiteral("OpenResFolder"), 301, 23, 46, 23);
    OpenResFolder->setText(QStringLiteral("Open"));
    OpenResFolder->setToolTip(QStringLiteral("Open results folder"));
    RzToolButton5 =
        placed(new QToolButton(results), QStringLiteral("RzToolButton5"), 351, 23, 24, 23);
    RzToolButton5->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    RzToolButton5->setToolTip(QStringLiteral("Browse..."));
}

void TForm1::BuildPage2(QWidget* page) {
    res = placed(new QGroupBox(QStringLiteral(" Resolution "), page), QStringLiteral("res"), 8, 4,
                 387, 104);
    for (int i = 0; i < FixedSlotCount; ++i) {
        // Three columns, filled top to bottom.
        const int column = i / 3;
        const int row = i % 3;
        resItems[static_cast<size_t>(i)] =
            placed(new QCheckBox(FixedSlots()[static_cast<size_t>(i)].ItemCaption, res),
                   QStringLiteral("res%1").arg(i), 14 + column * 124, 24 + row * 26, 118, 20);
    }
    cusresbox = placed(new QCheckBox(QStringLiteral("Custom resolution:"), page),
                       QStringLiteral("cusresbox"), 16, 119, 128, 20);
    CusWidth = readOnlyEdit(page, QStringLiteral("CusWidth"), 150, 118, 50);
    auto* times = caption(page, QStringLiteral("\u00D7"), 0, 0);
    times->setGeometry(200, 118, 18, 21);
    times->setAlignment(Qt::AlignCenter);
    CusHeight = readOnlyEdit(page, QStringLiteral("CusHeight"), 218, 118, 50);
    CusPossibilities = placed(new QPushButton(QStringLiteral("Possibilities"), page),
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

void TForm1::BuildPage3(QWidget* page) {
    auto* filters =
        placed(new QGroupBox(QStringLiteral(" Filters "), page), QString(), 8, 4, 387, 72);
    caption(filters, QStringLiteral("Filtering mode"), 14, 20);
    AFBox = dropDown(filters, QStringLiteral("AFBox"), FilteringItems(), 14, 38, 170);
    caption(filters, QStringLiteral("Antialiasing mode"), 204, 20);
    AABox = dropDown(filters, QStringLiteral("AABox"), AntialiasingItems(), 204, 38, 170);

    demo = placed(new QGroupBox(QStringLiteral(" Choose a demo "), page), QStringLiteral("demo"), 8,
                  84, 387, 84);
    demoItems = new QButtonGroup(demo);
    for (int i = 0; i < DemoItems().size(); ++i) {
        // Two columns.
        auto* item = placed(new QRadioButton(DemoItems().at(i), demo),
                            QStringLiteral("demo%1").arg(i), 14 + i * 190, 22, 170, 20);
        demoItems->addButton(item, i);
    }
    DemoEdit = readOnlyEdit(demo, QStringLiteral("DemoEdit"), 14, 52, 331);
    DemoEdit->setEnabled(false);
    DemoEditButton =
        placed(new QToolButton(demo), QStringLiteral("DemoEditButton"), 350, 51, 24, 23);
    DemoEditButton->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    DemoEditButton->setEnabled(false);

    auto* runs = placed(new QGroupBox(QStringLiteral(" Number of times to run the demo "), page),
                        QString(), 8, 176, 387, 54);
    RunNumberBox = dropDown(runs, QStringLiteral("RunNumberBox"), RunCountItems(), 14, 22, 80);
}

void TForm1::BuildPage4(QWidget* page) {
    caption(page, QStringLiteral("Benchmark notes (50 chars at most!)"), 10, 8);
    NoteEdit = placed(new QLineEdit(page), QStringLiteral("NoteEdit"), 8, 26, 387, 21);
    NoteEdit->setMaxLength(NoteMaxLength);

    caption(page, QStringLiteral("Heapsize "), 10, 60);
    HeapsizeBox = dropDown(page, QStringLiteral("HeapsizeBox"), HeapSizeItems(), 8, 78, 180);
    caption(page, QStringLiteral("Refresh rate"), 217, 60);
    RefreshBox = dropDown(page, QStringLiteral("RefreshBox"), RefreshItems(), 215, 78, 180);
    caption(page, QStringLiteral("High Dynamic Range"), 10, 112);
    HDRBox = dropDown(page, QStringLiteral("HDRBox"), HdrItems(), 8, 130, 180);

    FastZBox = placed(new QCheckBox(QStringLiteral("Enable fast z-setting"), page),
                      QStringLiteral("FastZBox"), 10, 172, 300, 20);
    FastZBox->setToolTip(QStringLiteral("Enables or disables a depth fill pass that may improve "
                                        "performance in graphics-bound situations."));
    ColorCorrBox = placed(new QCheckBox(QStringLiteral("Enable color correction"), page),
                          QStringLiteral("ColorCorrBox"), 10, 198, 300, 20);
}

void TForm1::SetColours() {
    for (QWidget* control :
         std::initializer_list<QWidget*>{DemoEdit, HL2PathEdit, NoteEdit, ResEdit, HDRBox,
                                         HeapsizeBox, RefreshBox, AFBox, AABox})
        lightBox(control);
    // Not named among the coloured boxes, but on the same pages and read alike.
    lightBox(RunNumberBox);
    // The custom size is chosen with "Possibilities", never typed: the two edits look like the
    // page they lie on, not like a box that takes typing.
    for (QLineEdit* edit : {CusWidth, CusHeight}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        edit->setPalette(palette);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setCursor(Qt::ArrowCursor);
        edit->setToolTip(QStringLiteral("Chosen with \"Possibilities\" from the sizes the "
                                        "display offers"));
    }
}

void TForm1::ConnectHandlers() {
    auto on = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(SpeedButton1, &TForm1::SpeedButton1Click);
    on(SpeedButton2, &TForm1::SpeedButton2Click);
    on(RzShapeButton1, &TForm1::RzShapeButton1Click);
    on(RzShapeButton3, &TForm1::RzShapeButton3Click);
    on(RzShapeButton4, &TForm1::RzShapeButton4Click);
    on(BenchButton, &TForm1::BenchButtonClick);
    on(RzToolButton5, &TForm1::RzToolButton5Click);
    on(OpenResFolder, &TForm1::OpenResFolderClick);
    on(CusPossibilities, &TForm1::CusPossibilitiesClick);
    on(DemoEditButton, &TForm1::DemoEditButtonClick);

    // A box's change event is the user's choice; choices made in code raise none.
    auto changed = [this](QComboBox* box, void (TForm1::*handler)()) {
        connect(box, &QComboBox::activated, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    changed(HeapsizeBox, &TForm1::HeapsizeBoxChange);
    changed(AFBox, &TForm1::AFBoxChange);
    changed(AABox, &TForm1::AABoxChange);
    changed(RunNumberBox, &TForm1::RunNumberBoxChange);
    changed(RefreshBox, &TForm1::RefreshBoxChange);
    changed(HDRBox, &TForm1::HDRBoxChange);
    connect(NoteEdit, &QLineEdit::textChanged, this,
            [this] { guarded([this] { NoteEditChange(); }); });
    connect(demoItems, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            guarded([this, id] { demoChanging(id); });
    });

    // A long path is cut in its box: the whole of it shows on pointing.
    for (QLineEdit* path : {HL2PathEdit, ResEdit, DemoEdit})
        connect(path, &QLineEdit::textChanged, path, &QWidget::setToolTip);

    Image4->installEventFilter(this);
    ResEdit->installEventFilter(this);
    for (QWidget* control : std::initializer_list<QWidget*>{
             res, cusresbox, demo, HeapsizeBox, RefreshBox, HDRBox, FastZBox, ColorCorrBox})
        control->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Creation, showing and closing

void TForm1::FormCreate() {
    SetColours();
    paths_.ProgramFolder = c_.startup.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                               : c_.startup.programFolder;
    PageControl->setCurrentIndex(0);
    EnsureBenchmarkFolder(paths_.ProgramFolder);
    Label17->setText(QStringLiteral(VARNHOLT_VERSION));
    Label17->adjustSize();

    StartupEnvironment environment = c_.startup;
    environment.programFolder = paths_.ProgramFolder;
    StartupResult result = LoadSettings(c_.store, environment);
    while (!result.loaded()) {
        // The way out offered: a game folder chosen here lets start-up go on.
        if (OfferStartupWayOut(result, c_.store, c_.dialogs)) {
            result = LoadSettings(c_.store, environment);
            continue;
        }
        BenchButton->setEnabled(false);
        BenchButton->setToolTip(result.failureMessage);
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

void TForm1::ApplyStartup(const StartupResult& result) {
    // Start-up has already stored what it must; the change handlers stay quiet meanwhile.
    const QList<QObject*> quiet = {res,          cusresbox,    CusWidth,    CusHeight,  AFBox,
                                   AABox,        RunNumberBox, demoItems,   DemoEdit,   ResEdit,
                                   NoteEdit,     HDRBox,       HeapsizeBox, RefreshBox, FastZBox,
                                   ColorCorrBox, HL2PathEdit};
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QObject* control : quiet)
        blockers.push_back(std::make_unique<QSignalBlocker>(control));
    for (QAbstractButton* item : demoItems->buttons())
        blockers.push_back(std::make_unique<QSignalBlocker>(item));

    const BenchmarkSettings& s = result.settings;
    for (size_t i = 0; i < resItems.size(); ++i) {
        resItems[i]->setChecked(s.ResolutionChecked[i]);
        resItems[i]->setEnabled(result.resolutionEnabled[i]);
        resItems[i]->setToolTip(
            result.resolutionEnabled[i]
                ? QString()
                : QStringLiteral("Greyed: the display does not offer %1").arg(resItems[i]->text()));
    }
    CusWidth->setText(s.CustomWidth);
    CusHeight->setText(s.CustomHeight);
    cusresbox->setChecked(s.CustomChecked);
    choose(AFBox, s.FilteringMode);
    choose(AABox, s.AntialiasingMode);
    runCount_ = s.RunCount;
    choose(RunNumberBox, s.RunCount > 0 ? std::optional<int>(s.RunCount - 1) : std::nullopt);
    HL2PathEdit->setText(result.paths.GameBase);
    if (s.Demo)
        demoItems->button(static_cast<int>(*s.Demo))->setChecked(true);
    DemoEdit->setText(s.CustomDemoPath);
    DemoEdit->setEnabled(result.customDemoControlsEnabled);
    DemoEditButton->setEnabled(result.customDemoControlsEnabled);
    ResEdit->setText(s.ResultsFolder);
    NoteEdit->setText(s.Note);
    choose(HDRBox, s.HdrMode);
    choose(HeapsizeBox, s.HeapSize);
    choose(RefreshBox, s.RefreshRate);
    FastZBox->setChecked(s.FastZ);
    ColorCorrBox->setChecked(s.ColorCorrection);
    for (QLineEdit* path : {HL2PathEdit, ResEdit, DemoEdit})
        path->setToolTip(path->text());
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    guarded([this] { FormShow(); });
}

void TForm1::FormShow() {
    if (c_.openNews)
        c_.openNews();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (closeConfirmed_) {
        FormClose();
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
        FormCloseQuery();
    } catch (const std::exception& error) {
        closeQueryRunning_ = false;
        reportTopLevelError(error);
    }
}

void TForm1::FormCloseQuery() {
    c_.preparation.RestoreGameConfig(sequencer_->SeriesFinished(), [this] {
        guarded([this] { saving_.WindowClosing(NoteEdit->text()); });
        closeConfirmed_ = true;
        // Not from inside this close event: Qt ignores a close requested during one.
        QTimer::singleShot(0, this, [this] { close(); });
    });
}

void TForm1::FormClose() {
    guarded([this] { saving_.WindowClosing(NoteEdit->text()); });
    // The runners go with the sequencer; no termination reaches a closed window.
    sequencer_.reset();
    if (results_)
        results_->close();
    results_.reset();
}

// ---------------------------------------------------------------------------------------------
// Events

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Leave:
        guarded([this, watched] { PointerLeft(watched); });
        break;
    case QEvent::FocusOut:
        if (watched == ResEdit)
            guarded([this] { ResEditExit(); });
        break;
    case QEvent::MouseButtonPress:
        if (watched == Image4) {
            Image4MouseDown(static_cast<QMouseEvent*>(event));
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == Image4 && dragging_) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == Image4)
            dragging_ = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::Image4MouseDown(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    // The window manager moves the window when it can; otherwise we follow the pointer.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void TForm1::PointerLeft(QObject* control) {
    if (control == res)
        saving_.ResolutionGroupLeft(ResolutionTicks());
    else if (control == cusresbox)
        saving_.CustomResolutionBoxLeft(cusresbox->isChecked(), CusWidth->text(),
                                        CusHeight->text());
    else if (control == demo)
        saving_.DemoGroupLeft(ChosenDemo());
    else if (control == HeapsizeBox)
        saving_.HeapSizeBoxLeft(chosenItem(HeapsizeBox));
    else if (control == RefreshBox)
        saving_.RefreshBoxLeft(chosenItem(RefreshBox));
    else if (control == HDRBox)
        saving_.HdrBoxLeft(chosenItem(HDRBox));
    else if (control == FastZBox)
        saving_.FastZBoxLeft(FastZBox->isChecked());
    else if (control == ColorCorrBox)
        saving_.ColorCorrectionBoxLeft(ColorCorrBox->isChecked());
}

void TForm1::ShowPage(int index) {
    PageControl->setCurrentIndex(index);
    PageControl->show();
}

void TForm1::ShowAboutView() {
    PageControl->hide();
}

void TForm1::SpeedButton1Click() {
    if (c_.quitProgram)
        c_.quitProgram();
}

void TForm1::SpeedButton2Click() {
    showMinimized();
}

void TForm1::RzShapeButton1Click() {
    if (c_.checkForUpdate)
        c_.checkForUpdate();
}

void TForm1::RzShapeButton3Click() {
    c_.links.openHomePage();
}

void TForm1::RzShapeButton4Click() {
    c_.links.openHelpFile();
}

void TForm1::RzGroup3Items0Click() {
    c_.links.openTweakGuide();
}

void TForm1::RzGroup3Items3Click() {
    c_.links.openHomePage();
}

void TForm1::ResultsItemClick() {
    if (ResEdit->text().isEmpty()) {
        // Start-up stopped before the results folder was known.
        c_.dialogs.showMessage(
            QStringLiteral("No results folder is known: start-up stopped at \"%1\"")
                .arg(BenchButton->toolTip()));
        return;
    }
    if (!results_)
        results_ = std::make_unique<ResultsWindow>(c_.store, c_.shell, c_.dialogs);
    results_->Open(ResEdit->text());
}

void TForm1::BenchButtonClick() {
    // The folder may have become read-only since it was chosen.
    if (const std::optional<QString> refused = platform::ResultsFolderRefused(ResEdit->text())) {
        c_.dialogs.showMessage(*refused);
        return;
    }
    if (sequencer_)
        sequencer_->BenchButtonClick();
}

void TForm1::RzToolButton5Click() {
    const QString chosen = c_.dialogs.chooseFolder(QStringLiteral("Results folder"));
    if (chosen.isEmpty())
        return;
    // Found only at the report, a folder that cannot take it would cost the whole series.
    if (const std::optional<QString> refused = platform::ResultsFolderRefused(chosen)) {
        c_.dialogs.showMessage(*refused);
        return;
    }
    ResEdit->setText(ResultsFolderFromChosen(chosen));
    saving_.ResultsFolderChosen(chosen);
}

void TForm1::OpenResFolderClick() {
    const QString folder = ResEdit->text();
    if (folder.isEmpty())
        return;
    if (QFileInfo(folder).isDir())
        c_.shell.open(folder);
    else
        c_.dialogs.showMessage(QStringLiteral("The results directory not exist."));
}

void TForm1::CusPossibilitiesClick() {
    if (!modePicker_ && makeModePicker_)
        makeModePicker_();
    if (modePicker_)
        modePicker_->exec();
}

void TForm1::HeapsizeBoxChange() {
    const quint64 memory = c_.physicalMemory ? c_.physicalMemory() : 0;
    const HeapAdviceResult advice = HeapAdvice(HeapsizeBox->currentIndex(), memory);
    if (advice.ShowMessage) {
        c_.dialogs.showMessage(advice.Message);
        HeapsizeBox->setCurrentIndex(advice.ItemAfter);
    }
    saving_.HeapSizeChanged(chosenItem(HeapsizeBox));
}

void TForm1::AFBoxChange() {
    saving_.FilteringChanged(chosenItem(AFBox));
}

void TForm1::AABoxChange() {
    saving_.AntialiasingChanged(chosenItem(AABox));
}

void TForm1::RunNumberBoxChange() {
    runCount_ = saving_.RunNumberSaved(chosenItem(RunNumberBox), runCount_);
}

void TForm1::NoteEditChange() {
    saving_.NoteChanged(NoteEdit->text());
}

void TForm1::RefreshBoxChange() {
    saving_.RefreshChanged(chosenItem(RefreshBox));
}

void TForm1::HDRBoxChange() {
    saving_.HdrChanged(chosenItem(HDRBox));
}

void TForm1::demoChanging(int item) {
    const bool customControls = DemoChoiceChanged(c_.store, static_cast<DemoKind>(item));
    DemoEdit->setEnabled(customControls);
    DemoEditButton->setEnabled(customControls);
}

void TForm1::DemoEditButtonClick() {
    const QString path = c_.dialogs.chooseOpenFile(QStringLiteral("Half-Life 2 demo file (*.dem)"));
    if (path.isEmpty())
        return;
    DemoEdit->setText(path);
    saving_.CustomDemoChosen(DemoEdit->text());
}

void TForm1::ResEditExit() {
    saving_.ResultsEditLeft(ResEdit->text());
}

void TForm1::SetCustomSize(const QString& width, const QString& height) {
    CusWidth->setText(width);
    CusHeight->setText(height);
}

// ---------------------------------------------------------------------------------------------
// What the series sees

void TForm1::SetStatus(const QString& text) {
    StatusInfo->setText(text);
}

void TForm1::SetRunButtonEnabled(bool enabled) {
    BenchButton->setEnabled(enabled);
    // The button turns with every start and end of a series; the sequencer's own state is
    // settled once the step that turned it has returned.
    QTimer::singleShot(0, this, [this] { NoteSeriesActivity(); });
}

void TForm1::NoteSeriesActivity() {
    if (!sequencer_ || sequencer_->SeriesRunning() == seriesRunning_)
        return;
    seriesRunning_ = sequencer_->SeriesRunning();
    emit SeriesRunningChanged(seriesRunning_);
}

void TForm1::SetProgressPanelVisible(bool visible) {
    Panel2->setVisible(visible);
    if (visible)
        Panel2->raise();
}

void TForm1::SetHeading(const QString& text, int fontSize, int left) {
    Label20->setFont(uilook::UiFont(fontSize));
    Label20->setText(text);
    Label20->move(left, Label20->y());
    Label20->adjustSize();
}

void TForm1::SetResolutionLine(const QString& text) {
    Label21->setText(text);
    Label21->adjustSize();
}

void TForm1::SetResolutionLineVisible(bool visible) {
    Label21->setVisible(visible);
}

void TForm1::SetRunsLabel(const QString& text) {
    RunsLabel->setText(text);
    RunsLabel->adjustSize();
}

void TForm1::SetRunsLabelVisible(bool visible) {
    RunsLabel->setVisible(visible);
}

void TForm1::SetGameLine(const QString& text) {
    GameLine->setText(text);
}

void TForm1::SetFinishedRunLine(const QString& text) {
    FinishedRunLine->setText(text);
}

WindowBounds TForm1::NormalBounds() const {
    const QRect r = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
    return {r.width(), r.height(), r.left(), r.top()};
}

void TForm1::SetBounds(const WindowBounds& bounds) {
    setGeometry(bounds.left, bounds.top, bounds.width, bounds.height);
}

void TForm1::RepaintNow() {
    repaint();
}

std::array<bool, FixedSlotCount> TForm1::ResolutionTicks() const {
    std::array<bool, FixedSlotCount> ticks{};
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = resItems[i]->isChecked();
    return ticks;
}

std::optional<DemoKind> TForm1::ChosenDemo() const {
    const int id = demoItems->checkedId();
    if (id < 0)
        return std::nullopt;
    return static_cast<DemoKind>(id);
}

BenchmarkSettings TForm1::CurrentSettings() const {
    BenchmarkSettings s;
    s.ResolutionChecked = ResolutionTicks();
    s.CustomChecked = cusresbox->isChecked();
    s.CustomWidth = CusWidth->text();
    s.CustomHeight = CusHeight->text();
    s.FilteringMode = chosenItem(AFBox);
    s.AntialiasingMode = chosenItem(AABox);
    s.HdrMode = chosenItem(HDRBox);
    s.HeapSize = chosenItem(HeapsizeBox);
    s.RefreshRate = chosenItem(RefreshBox);
    s.FastZ = FastZBox->isChecked();
    s.ColorCorrection = ColorCorrBox->isChecked();
    s.RunCount = RunNumberBox->currentIndex() + 1;
    s.Demo = ChosenDemo();
    s.CustomDemoPath = DemoEdit->text();
    s.Note = NoteEdit->text();
    s.ResultsFolder = ResEdit->text();
    return s;
}
