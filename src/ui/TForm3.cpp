#include "ui/TForm3.h"

#include "ui/ErrorReport.h"
#include "ui/TForm1.h"
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

TForm3::TForm3(TForm1& form1, SettingsStore& store, DisplayModeSource displayModes)
    : QDialog(&form1, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      form1_(form1), saving_(store), displayModes_(std::move(displayModes)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Quillon Varnholt"));
    setModal(true);
    setFixedSize(228, 502);
    setFont(uilook::UiFont(8));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 228, 502);
    uilook::SetPictureWhenShown(Image1, QStringLiteral("picker"));

    RzToolButton1 = new QToolButton(this);
    RzToolButton1->setObjectName(QStringLiteral("RzToolButton1"));
    RzToolButton1->setGeometry(200, 8, 20, 20);
    RzToolButton1->setIcon(QIcon(uilook::Picture(QStringLiteral("close"))));
    RzToolButton1->setAutoRaise(true);
    RzToolButton1->setToolTip(QStringLiteral("Hide the Batch Benchmark window"));

    RzCheckList1 = new QListWidget(this);
    RzCheckList1->setObjectName(QStringLiteral("RzCheckList1"));
    RzCheckList1->setGeometry(8, 64, 129, 433);
    RzCheckList1->setFrameShape(QFrame::NoFrame);
    RzCheckList1->setUniformItemSizes(true);
    QPalette list = RzCheckList1->palette();
    list.setColor(QPalette::Base, Qt::black);
    list.setColor(QPalette::Text, uilook::SilverText());
    list.setColor(QPalette::Highlight, QColor(40, 60, 86));
    list.setColor(QPalette::HighlightedText, Qt::white);
    RzCheckList1->setPalette(list);

    RzButton1 = new QPushButton(QStringLiteral("Add"), this);
    RzButton1->setObjectName(QStringLiteral("RzButton1"));
    RzButton1->setGeometry(144, 112, 75, 25);
    QPalette button = RzButton1->palette();
    button.setColor(QPalette::Button, QColor(58, 82, 114));
    button.setColor(QPalette::ButtonText, Qt::white);
    RzButton1->setPalette(button);

    connect(RzButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { RzButton1Click(); }); });
    connect(RzToolButton1, &QToolButton::clicked, this,
            [this] { guarded([this] { RzToolButton1Click(); }); });
    form1.SetModePicker(this);
}

void TForm3::showEvent(QShowEvent* event) {
    move(form1_.geometry().center() - rect().center());
    guarded([this] { FormActivate(); });
    QDialog::showEvent(event);
}

void TForm3::hideEvent(QHideEvent* event) {
    FormDeactivate();
    QDialog::hideEvent(event);
}

void TForm3::FormActivate() {
    RzCheckList1->clear();
    modes_ = DisplayModeList::Build(displayModes_);
    itemCount_ = static_cast<int>(modes_.Entries().size());
    for (const QString& entry : modes_.Entries()) {
        auto* item = new QListWidgetItem(entry, RzCheckList1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(RzCheckList1->width() - 4, 17));
    }
}

void TForm3::FormDeactivate() {
    modes_ = DisplayModeList();
}

void TForm3::RzButton1Click() {
    for (int i = 0; i < itemCount_ && i < RzCheckList1->count(); ++i) {
        if (RzCheckList1->item(i)->checkState() != Qt::Checked)
            continue;
        const auto [width, height] = SplitModeText(RzCheckList1->item(i)->text());
        form1_.SetCustomSize(width, height);
        saving_.CustomSizeTaken(width, height);
        break;
    }
    accept();
}

void TForm3::RzToolButton1Click() {
    reject();
}
