#include "ui/GroupBar.h"

#include "ui/UiLook.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

QString ShownCaption(const QString& storedCaption) {
    QString shown = storedCaption;
    return shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

namespace {

class GroupHeader : public QAbstractButton {
public:
    GroupHeader(const QString& caption, bool bold, QWidget* parent) : QAbstractButton(parent) {
        setText(caption);
        setFont(uilook::UiFont(8, bold));
        setFixedHeight(24);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setCheckable(true);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, 0, height());
        const bool hot = underMouse();
        fill.setColorAt(0, hot ? QColor(62, 88, 122) : QColor(44, 62, 86));
        fill.setColorAt(1, hot ? QColor(28, 42, 60) : QColor(18, 26, 38));
        p.setPen(QColor(70, 98, 132));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        p.setPen(uilook::GroupCaption());
        p.drawText(rect().adjusted(8, 0, -20, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   ShownCaption(text()));
        // A chevron: pointing down while open, right while closed.
        const QPointF c(width() - 11, height() / 2.0);
        QPainterPath arrow;
        if (isChecked()) {
            arrow.moveTo(c.x() - 4, c.y() - 2);
            arrow.lineTo(c.x() + 4, c.y() - 2);
            arrow.lineTo(c.x(), c.y() + 3);
        } else {
            arrow.moveTo(c.x() - 2, c.y() - 4);
            arrow.lineTo(c.x() + 3, c.y());
            arrow.lineTo(c.x() - 2, c.y() + 4);
        }
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(uilook::GroupCaption());
        p.drawPath(arrow);
    }
};

class GroupItem : public QAbstractButton {
public:
    GroupItem(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
        setText(caption);
        setFixedHeight(20);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool hot = underMouse();
        if (hot)
            p.fillRect(rect(), QColor(40, 60, 86));
        p.setPen(hot ? QColor(Qt::white) : uilook::SilverText());
        p.setBrush(hot ? QColor(74, 163, 255) : QColor(95, 133, 179));
        p.drawRect(QRect(9, height() / 2 - 2, 3, 3));
        p.setPen(hot ? QColor(Qt::white) : uilook::SilverText());
        p.drawText(rect().adjusted(18, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   ShownCaption(text()));
    }
};

} // namespace

GroupBar::GroupBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addStretch(1);
}

void GroupBar::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::black);
}

int GroupBar::AddGroup(const QString& name, const QString& caption, bool boldCaption) {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    auto* header = new GroupHeader(caption, boldCaption, this);
    header->setObjectName(name);
    auto* panel = new QWidget(this);
    auto* items = new QVBoxLayout(panel);
    items->setContentsMargins(0, 2, 0, 4);
    items->setSpacing(1);
    panel->hide();
    // Before the closing stretch.
    layout->insertWidget(layout->count() - 1, header);
    layout->insertWidget(layout->count() - 1, panel);
    const int index = static_cast<int>(groups_.size());
    groups_.append({header, panel});
    connect(header, &QAbstractButton::clicked, this,
            [this, index] { SetOpenGroup(open_ == index ? -1 : index); });
    return index;
}

QAbstractButton* GroupBar::AddItem(int group, const QString& name, const QString& caption) {
    QWidget* panel = groups_.at(group).panel;
    auto* item = new GroupItem(caption, panel);
    item->setObjectName(name);
    panel->layout()->addWidget(item);
    return item;
}

void GroupBar::SetOpenGroup(int group) {
    open_ = group;
    for (int i = 0; i < groups_.size(); ++i) {
        groups_[i].header->setChecked(i == group);
        groups_[i].panel->setVisible(i == group);
    }
}
