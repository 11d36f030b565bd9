#include "ui/ModePicker.h"

#include "ui/ErrorReport.h"
#include "ui/MainWindow.h"
#include "ui/UiLook.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

std::pair<QString, QString> SplitModeText(const QString& modeText) {
    const qsizetype x = modeText.indexOf(QLatin1Char('x'));
    if (x < 0)
        return {};
    return {modeText.left(qMax<qsizetype>(x - 1, 0)), modeText.mid(x + 2)};
}

ModePicker::ModePicker(MainWindow& mainWindow, SettingsStore& store, DisplayModeSource displayModes)
    : QDialog(&mainWindow, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      mainWindow_(mainWindow), saving_(store), displayModes_(std::move(displayModes)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Quillon Varnholt"));
    setModal(true);
    setFixedSize(228, 502);
    setFont(uilook::UiFont(8));

    background_ = new QLabel(this);
    background_->setObjectName(QStringLiteral("Image1"));
    background_->setGeometry(0, 0, 228, 502);
    uilook::SetPictureWhenShown(background_, QStringLiteral("picker"));

    closeButton_ = new QToolButton(this);
    closeButton_->setObjectName(QStringLiteral("RzToolButton1"));
    closeButton_->setGeometry(200, 8, 20, 20);
    closeButton_->setIcon(QIcon(uilook::Picture(QStringLiteral("close"))));
    closeButton_->setAutoRaise(true);
    closeButton_->setToolTip(QStringLiteral("Hide the Batch Benchmark window"));

    modeList_ = new QListWidget(this);
    modeList_->setObjectName(QStringLiteral("RzCheckList1"));
    modeList_->setGeometry(8, 64, 129, 433);
    modeList_->setFrameShape(QFrame::NoFrame);
    modeList_->setUniformItemSizes(true);
    QPalette list = modeList_->palette();
    list.setColor(QPalette::Base, Qt::black);
    list.setColor(QPalette::Text, uilook::SilverText());
    list.setColor(QPalette::Highlight, QColor(40, 60, 86));
    list.setColor(QPalette::HighlightedText, Qt::white);
    modeList_->setPalette(list);

    addButton_ = new QPushButton(QStringLiteral("Add"), this);
    addButton_->setObjectName(QStringLiteral("RzButton1"));
    addButton_->setGeometry(144, 112, 75, 25);
    QPalette button = addButton_->palette();
    button.setColor(QPalette::Button, QColor(58, 82, 114));
    button.setColor(QPalette::ButtonText, Qt::white);
    addButton_->setPalette(button);

    connect(addButton_, &QPushButton::clicked, this,
            [this] { guarded([this] { TakeCheckedMode(); }); });
    connect(closeButton_, &QToolButton::clicked, this, [this] { reject(); });
    mainWindow.SetModePicker(this);
}

void ModePicker::showEvent(QShowEvent* event) {
    uilook::CentreIn(*this, mainWindow_.geometry());
    guarded([this] { FillModeList(); });
    QDialog::showEvent(event);
}

void ModePicker::hideEvent(QHideEvent* event) {
    ClearModeList();
    QDialog::hideEvent(event);
}

void ModePicker::FillModeList() {
    modeList_->clear();
    modes_ = DisplayModeList::Build(displayModes_);
    itemCount_ = static_cast<int>(modes_.Entries().size());
    for (const QString& entry : modes_.Entries()) {
        auto* item = new QListWidgetItem(entry, modeList_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(modeList_->width() - 4, 17));
    }
}

void ModePicker::ClearModeList() {
    modes_ = DisplayModeList();
}

void ModePicker::TakeCheckedMode() {
    for (int i = 0; i < itemCount_ && i < modeList_->count(); ++i) {
        if (modeList_->item(i)->checkState() != Qt::Checked)
            continue;
        const auto [width, height] = SplitModeText(modeList_->item(i)->text());
        mainWindow_.SetCustomSize(width, height);
        saving_.CustomSizeTaken(width, height);
        break;
    }
    accept();
}
