#pragma once

#include <QAbstractButton>
#include <QList>
#include <QWidget>

// A bar of collapsible groups, each a caption over a list of clickable items. At most one
// group is open at a time; a click on a caption opens its group (closing the other) or
// closes it again. Captions are shown as stored, a doubled "&" as one.
class GroupBar : public QWidget {
    Q_OBJECT
public:
    explicit GroupBar(QWidget* parent = nullptr);

    // Adds a closed group; returns its index. The caption button gets `name` as object name.
    int AddGroup(const QString& name, const QString& caption, bool boldCaption);
    // The item button gets `name` as object name; connect to its clicked() signal.
    QAbstractButton* AddItem(int group, const QString& name, const QString& caption);

    // Opens the group and closes the others; -1 closes all.
    void SetOpenGroup(int group);
    // The open group, or -1.
    int OpenGroup() const { return open_; }
    QAbstractButton* Header(int group) const { return groups_.at(group).header; }
    QWidget* ItemPanel(int group) const { return groups_.at(group).panel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Group {
        QAbstractButton* header;
        QWidget* panel;
    };
    QList<Group> groups_;
    int open_ = -1;
};

// What a caption as stored shows: "&&" as "&".
QString ShownCaption(const QString& storedCaption);
