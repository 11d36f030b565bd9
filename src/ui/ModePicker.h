#pragma once

#include "game/OptionSaving.h"
#include "game/SettingsStore.h"
#include "model/DisplayModeList.h"

#include <QDialog>
#include <utility>

class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;
class MainWindow;

// A mode text split as the picker takes it: at the first small "x", the width being the text
// before the blank in front of it and the height the text after the blank behind it
// ("1280 x 1024" gives "1280" and "1024").
std::pair<QString, QString> SplitModeText(const QString& modeText);

// The display mode picker: a borderless, always-on-top list of the screen sizes the display
// offers, from which "Add" takes the first ticked one as the main window's custom size.
class ModePicker : public QDialog {
    Q_OBJECT
public:
    // Registers itself with the main window as its mode picker.
    ModePicker(MainWindow& mainWindow, SettingsStore& store,
               DisplayModeSource displayModes = platform::ReadDisplayModes);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FillModeList();
    void ClearModeList();
    void TakeCheckedMode();

    MainWindow& mainWindow_;
    OptionSaving saving_;
    DisplayModeSource displayModes_;
    DisplayModeList modes_;
    // The number of items when the list was filled; "Add" looks at that many.
    int itemCount_ = 0;

    QLabel* background_ = nullptr;
    QToolButton* closeButton_ = nullptr;
    QListWidget* modeList_ = nullptr;
    QPushButton* addButton_ = nullptr;
};
