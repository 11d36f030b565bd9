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
class TForm1;

// A mode text split as the picker takes it: at the first small "x", the width being the text
// before the blank in front of it and the height the text after the blank behind it
// ("1280 x 1024" gives "1280" and "1024").
std::pair<QString, QString> SplitModeText(const QString& modeText);

// The display mode picker: a borderless, always-on-top list of the screen sizes the display
// offers, from which "Add" takes the first ticked one as the main window's custom size.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    // Registers itself with the main window as its mode picker.
    TForm3(TForm1& form1, SettingsStore& store,
           DisplayModeSource displayModes = platform::ReadDisplayModes);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FormActivate();
    void FormDeactivate();
    void RzButton1Click();
    void RzToolButton1Click();

    TForm1& form1_;
    OptionSaving saving_;
    DisplayModeSource displayModes_;
    DisplayModeList modes_;
    // The number of items when the list was filled; "Add" looks at that many.
    int itemCount_ = 0;

    QLabel* Image1 = nullptr;
    QToolButton* RzToolButton1 = nullptr;
    QListWidget* RzCheckList1 = nullptr;
    QPushButton* RzButton1 = nullptr;
};
