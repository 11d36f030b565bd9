#include "ui/OptionPages.h"

#include "game/DemoSelection.h"
#include "model/OptionLists.h"
#include "model/SlotTable.h"
#include "platform/WritableFolder.h"
#include "sysinfo/HeapAdvice.h"
#include "ui/ErrorReport.h"
#include "ui/MainWindowLook.h"
#include "ui/UiLook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>

using mainlook::placed;

namespace {

QLabel* caption(QWidget* parent, const QString& text, const mainlook::Place& place) {
    return placed(new QLabel(text, parent), place);
}

QComboBox* dropDown(QWidget* parent, const QStringList& items, const mainlook::Place& place) {
    auto* box = placed(new QComboBox(parent), place);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QLineEdit* readOnlyEdit(QWidget* parent, const mainlook::Place& place) {
    auto* edit = placed(new QLineEdit(parent), place);
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

void lightBox(QWidget* control) {
    control->setPalette(mainlook::LightBoxPalette(control->palette()));
}

} // namespace

OptionPages::OptionPages(QWidget* window, SettingsStore& store, OptionSaving& saving,
                         Dialogs& dialogs, std::function<quint64()> physicalMemory)
    : store_(store), saving_(saving), dialogs_(dialogs),
      physicalMemory_(std::move(physicalMemory)) {
    pages_ = placed(new QStackedWidget(window), mainlook::Pages);
    pages_->setPalette(mainlook::PagePalette());
    pages_->setAutoFillBackground(true);
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget(pages_);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        page->setAutoFillBackground(true);
        pages_->addWidget(page);
    }
    BuildPathPage(pages_->widget(0));
    BuildResolutionPage(pages_->widget(1));
    BuildDemoPage(pages_->widget(2));
    BuildMiscellaneousPage(pages_->widget(3));
    ConnectHandlers();
}

void OptionPages::BuildPathPage(QWidget* page) {
    auto* path = placed(new QGroupBox(QStringLiteral(" Half-Life 2 Episode One path "), page),
                        mainlook::GamePathFrame);
    gamePathEdit_ = readOnlyEdit(path, mainlook::GamePathEdit);

    auto* info =
        placed(new QGroupBox(QStringLiteral(" Information "), page), mainlook::InformationFrame);
    caption(info, QStringLiteral("Benchmark version:"), mainlook::VersionCaption);
    versionLabel_ = caption(info, QString(), mainlook::VersionLabel);
    versionLabel_->setFont(uilook::UiFont(8, true));

    auto* results =
        placed(new QGroupBox(QStringLiteral(" Results folder "), page), mainlook::ResultsFrame);
    resultsFolderEdit_ = readOnlyEdit(results, mainlook::ResultsFolderEdit);
    openResultsButton_ = placed(new QToolButton(results), mainlook::OpenResultsButton);
    openResultsButton_->setText(QStringLiteral("Open"));
    openResultsButton_->setToolTip(QStringLiteral("Open results folder"));
    browseResultsButton_ = placed(new QToolButton(results), mainlook::BrowseResultsButton);
    browseResultsButton_->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    browseResultsButton_->setToolTip(QStringLiteral("Browse..."));
}

void OptionPages::BuildResolutionPage(QWidget* page) {
    resolutionGroup_ =
        placed(new QGroupBox(QStringLiteral(" Resolution "), page), mainlook::ResolutionFrame);
    for (int i = 0; i < FixedSlotCount; ++i) {
        auto* box =
            new QCheckBox(FixedSlots()[static_cast<size_t>(i)].ItemCaption, resolutionGroup_);
        box->setObjectName(QStringLiteral("res%1").arg(i));
        box->setGeometry(mainlook::ResolutionBox(i));
        resolutionBoxes_[static_cast<size_t>(i)] = box;
    }
    customResolutionBox_ = placed(new QCheckBox(QStringLiteral("Custom resolution:"), page),
                                  mainlook::CustomResolutionBox);
    customWidthEdit_ = readOnlyEdit(page, mainlook::CustomWidthEdit);
    auto* times = caption(page, QStringLiteral("\u00D7"), mainlook::TimesSign);
    times->setAlignment(Qt::AlignCenter);
    customHeightEdit_ = readOnlyEdit(page, mainlook::CustomHeightEdit);
    possibilitiesButton_ = placed(new QPushButton(QStringLiteral("Possibilities"), page),
                                  mainlook::PossibilitiesButton);

    detailGroup_ =
        placed(new QGroupBox(QStringLiteral(" Detail level "), page), mainlook::DetailFrame);
    auto* maximum =
        placed(new QRadioButton(DetailItems().at(0), detailGroup_), mainlook::MaximumDetail);
    maximum->setChecked(true);
    caption(page, QStringLiteral("The maximum quality level is the best graphics possible."),
            mainlook::DetailNote);
}

void OptionPages::BuildDemoPage(QWidget* page) {
    auto* filters =
        placed(new QGroupBox(QStringLiteral(" Filters "), page), mainlook::FiltersFrame);
    caption(filters, QStringLiteral("Filtering mode"), mainlook::FilteringCaption);
    filteringBox_ = dropDown(filters, FilteringItems(), mainlook::FilteringBox);
    caption(filters, QStringLiteral("Antialiasing mode"), mainlook::AntialiasingCaption);
    antialiasingBox_ = dropDown(filters, AntialiasingItems(), mainlook::AntialiasingBox);

    demoGroup_ =
        placed(new QGroupBox(QStringLiteral(" Choose a demo "), page), mainlook::DemoFrame);
    demoChoices_ = new QButtonGroup(demoGroup_);
    for (int i = 0; i < DemoItems().size(); ++i) {
        auto* item = new QRadioButton(DemoItems().at(i), demoGroup_);
        item->setObjectName(QStringLiteral("demo%1").arg(i));
        item->setGeometry(mainlook::DemoChoice(i));
        demoChoices_->addButton(item, i);
    }
    customDemoEdit_ = readOnlyEdit(demoGroup_, mainlook::CustomDemoEdit);
    customDemoEdit_->setEnabled(false);
    browseDemoButton_ = placed(new QToolButton(demoGroup_), mainlook::BrowseDemoButton);
    browseDemoButton_->setIcon(QIcon(uilook::Picture(QStringLiteral("browse"))));
    browseDemoButton_->setEnabled(false);

    auto* runs = placed(new QGroupBox(QStringLiteral(" Number of times to run the demo "), page),
                        mainlook::RunCountFrame);
    runCountBox_ = dropDown(runs, RunCountItems(), mainlook::RunCountBox);
}

void OptionPages::BuildMiscellaneousPage(QWidget* page) {
    caption(page, QStringLiteral("Benchmark notes (50 chars at most!)"), mainlook::NoteCaption);
    noteEdit_ = placed(new QLineEdit(page), mainlook::NoteEdit);
    noteEdit_->setMaxLength(NoteMaxLength);

    caption(page, QStringLiteral("Heapsize "), mainlook::HeapSizeCaption);
    heapSizeBox_ = dropDown(page, HeapSizeItems(), mainlook::HeapSizeBox);
    caption(page, QStringLiteral("Refresh rate"), mainlook::RefreshRateCaption);
    refreshRateBox_ = dropDown(page, RefreshItems(), mainlook::RefreshRateBox);
    caption(page, QStringLiteral("High Dynamic Range"), mainlook::HdrCaption);
    hdrBox_ = dropDown(page, HdrItems(), mainlook::HdrBox);

    fastZBox_ =
        placed(new QCheckBox(QStringLiteral("Enable fast z-setting"), page), mainlook::FastZBox);
    fastZBox_->setToolTip(QStringLiteral("Enables or disables a depth fill pass that may improve "
                                         "performance in graphics-bound situations."));
    colourCorrectionBox_ = placed(new QCheckBox(QStringLiteral("Enable color correction"), page),
                                  mainlook::ColourCorrectionBox);
}

void OptionPages::ConnectHandlers() {
    auto on = [this](QAbstractButton* button, void (OptionPages::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(browseResultsButton_, &OptionPages::ChooseResultsFolder);
    on(browseDemoButton_, &OptionPages::ChooseCustomDemo);

    // A box's change event is the user's choice; choices made in code raise none.
    auto changed = [this](QComboBox* box, void (OptionPages::*handler)()) {
        connect(box, &QComboBox::activated, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    changed(heapSizeBox_, &OptionPages::HeapSizeChosen);
    changed(filteringBox_, &OptionPages::FilteringChosen);
    changed(antialiasingBox_, &OptionPages::AntialiasingChosen);
    changed(runCountBox_, &OptionPages::RunCountChosen);
    changed(refreshRateBox_, &OptionPages::RefreshRateChosen);
    changed(hdrBox_, &OptionPages::HdrChosen);
    connect(noteEdit_, &QLineEdit::textChanged, this,
            [this] { guarded([this] { NoteEdited(); }); });
    connect(demoChoices_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            guarded([this, id] { DemoChosen(id); });
    });

    // A long path is cut in its box: the whole of it shows on pointing.
    for (QLineEdit* path : {gamePathEdit_, resultsFolderEdit_, customDemoEdit_})
        connect(path, &QLineEdit::textChanged, path, &QWidget::setToolTip);

    resultsFolderEdit_->installEventFilter(this);
    for (QWidget* control : std::initializer_list<QWidget*>{
             resolutionGroup_, customResolutionBox_, demoGroup_, heapSizeBox_, refreshRateBox_,
             hdrBox_, fastZBox_, colourCorrectionBox_})
        control->installEventFilter(this);
}

void OptionPages::SetColours() {
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

void OptionPages::ShowVersion(const QString& version) {
    versionLabel_->setText(version);
    versionLabel_->adjustSize();
}

void OptionPages::Fill(const StartupResult& result) {
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

void OptionPages::SetCustomSize(const QString& width, const QString& height) {
    customWidthEdit_->setText(width);
    customHeightEdit_->setText(height);
}

BenchmarkSettings OptionPages::Settings() const {
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

QString OptionPages::ResultsFolder() const {
    return resultsFolderEdit_->text();
}

QString OptionPages::Note() const {
    return noteEdit_->text();
}

bool OptionPages::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Leave)
        guarded([this, watched] { PointerLeft(watched); });
    else if (event->type() == QEvent::FocusOut && watched == resultsFolderEdit_)
        guarded([this] { ResultsFolderEdited(); });
    return QObject::eventFilter(watched, event);
}

void OptionPages::PointerLeft(QObject* control) {
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

void OptionPages::ChooseResultsFolder() {
    const QString chosen = dialogs_.chooseFolder(QStringLiteral("Results folder"));
    if (chosen.isEmpty())
        return;
    // Found only at the report, a folder that cannot take it would cost the whole series.
    if (const std::optional<QString> refused = platform::ResultsFolderRefused(chosen)) {
        dialogs_.showMessage(*refused);
        return;
    }
    resultsFolderEdit_->setText(ResultsFolderFromChosen(chosen));
    saving_.ResultsFolderChosen(chosen);
}

void OptionPages::ResultsFolderEdited() {
    saving_.ResultsEditLeft(resultsFolderEdit_->text());
}

void OptionPages::HeapSizeChosen() {
    const quint64 memory = physicalMemory_ ? physicalMemory_() : 0;
    const HeapAdviceResult advice = HeapAdvice(heapSizeBox_->currentIndex(), memory);
    if (advice.ShowMessage) {
        dialogs_.showMessage(advice.Message);
        heapSizeBox_->setCurrentIndex(advice.ItemAfter);
    }
    saving_.HeapSizeChanged(chosenItem(heapSizeBox_));
}

void OptionPages::FilteringChosen() {
    saving_.FilteringChanged(chosenItem(filteringBox_));
}

void OptionPages::AntialiasingChosen() {
    saving_.AntialiasingChanged(chosenItem(antialiasingBox_));
}

void OptionPages::RunCountChosen() {
    runCount_ = saving_.RunNumberSaved(chosenItem(runCountBox_), runCount_);
}

void OptionPages::NoteEdited() {
    saving_.NoteChanged(noteEdit_->text());
}

void OptionPages::RefreshRateChosen() {
    saving_.RefreshChanged(chosenItem(refreshRateBox_));
}

void OptionPages::HdrChosen() {
    saving_.HdrChanged(chosenItem(hdrBox_));
}

void OptionPages::DemoChosen(int item) {
    const bool customControls = DemoChoiceChanged(store_, static_cast<DemoKind>(item));
    customDemoEdit_->setEnabled(customControls);
    browseDemoButton_->setEnabled(customControls);
}

void OptionPages::ChooseCustomDemo() {
    const QString path = dialogs_.chooseOpenFile(QStringLiteral("Half-Life 2 demo file (*.dem)"));
    if (path.isEmpty())
        return;
    customDemoEdit_->setText(path);
    saving_.CustomDemoChosen(customDemoEdit_->text());
}

std::array<bool, FixedSlotCount> OptionPages::ResolutionTicks() const {
    std::array<bool, FixedSlotCount> ticks{};
    for (size_t i = 0; i < ticks.size(); ++i)
        ticks[i] = resolutionBoxes_[i]->isChecked();
    return ticks;
}

std::optional<DemoKind> OptionPages::ChosenDemo() const {
    const int id = demoChoices_->checkedId();
    if (id < 0)
        return std::nullopt;
    return static_cast<DemoKind>(id);
}
