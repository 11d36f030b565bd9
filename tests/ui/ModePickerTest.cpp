#include "WindowFixture.h"

#include "ui/ModePicker.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

namespace {

TEST(SplitModeText, TakesTheTextsAroundTheFirstSmallX) {
    struct Case {
        QString text, width, height;
    };
    const Case cases[] = {{"1280 x 1024", "1280", "1024"},
                          {"640 x 480", "640", "480"},
                          {"12800 x 960", "12800", "960"}};
    for (const Case& c : cases) {
        const auto [width, height] = SplitModeText(c.text);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

class ModePickerTest : public WindowFixture {
protected:
    // Shows the picker from "Possibilities" and, once it is up, runs `act` on it.
    void pick(const std::vector<platform::ScreenSize>& modes,
              const std::function<void(QListWidget&, QAbstractButton& add)>& act) {
        ModePicker picker(*window, *store, [modes] { return modes; });
        QTimer::singleShot(0, &picker, [&] {
            seenVisible = picker.isVisible();
            auto* list = picker.findChild<QListWidget*>(QStringLiteral("RzCheckList1"));
            auto* add = picker.findChild<QAbstractButton*>(QStringLiteral("RzButton1"));
            ASSERT_TRUE(list && add);
            for (int i = 0; i < list->count(); ++i) {
                shown << list->item(i)->text();
                ticked << (list->item(i)->checkState() == Qt::Checked);
            }
            act(*list, *add);
            if (picker.isVisible())
                picker.reject(); // a failed test must not leave the modal loop running
        });
        click("CusPossibilities");
        EXPECT_FALSE(picker.isVisible());
    }

    bool seenVisible = false;
    QStringList shown;
    QList<bool> ticked;
};

TEST_F(ModePickerTest, AddTakesTheFirstTickedSize) {
    open();
    pick({{1024, 768}, {800, 600}, {800, 600}, {1280, 1024}},
         [](QListWidget& list, QAbstractButton& add) {
             list.item(1)->setCheckState(Qt::Checked);
             list.item(2)->setCheckState(Qt::Checked);
             add.click();
         });
    EXPECT_TRUE(seenVisible);
    EXPECT_EQ(shown, (QStringList{"1024 x 768", "800 x 600", "1280 x 1024"}));
    EXPECT_EQ(ticked, (QList<bool>{false, false, false}));
    EXPECT_EQ(control<QLineEdit>("CusWidth")->text(), QStringLiteral("800"));
    EXPECT_EQ(control<QLineEdit>("CusHeight")->text(), QStringLiteral("600"));
    EXPECT_EQ(stored(QStringLiteral("CusW")), QStringLiteral("800"));
    EXPECT_EQ(stored(QStringLiteral("CusH")), QStringLiteral("600"));
    // The custom box stays as the user left it.
    EXPECT_FALSE(control<QCheckBox>("cusresbox")->isChecked());
}

TEST_F(ModePickerTest, WithoutATickAddOnlyCloses) {
    const std::vector<std::vector<platform::ScreenSize>> lists = {{{1024, 768}}, {}};
    open();
    for (const auto& modes : lists) {
        pick(modes, [](QListWidget&, QAbstractButton& add) { add.click(); });
        EXPECT_TRUE(seenVisible);
        EXPECT_EQ(control<QLineEdit>("CusWidth")->text(), QString());
        EXPECT_FALSE(storedExists(QStringLiteral("CusW")));
    }
}

TEST_F(ModePickerTest, EveryShowingStartsAFreshUntickedList) {
    open();
    ModePicker picker(*window, *store, [] {
        return std::vector<platform::ScreenSize>{{640, 480}};
    });
    picker.show();
    auto* list = picker.findChild<QListWidget*>(QStringLiteral("RzCheckList1"));
    list->item(0)->setCheckState(Qt::Checked);
    picker.hide();
    picker.show();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    picker.hide();
}

TEST_F(ModePickerTest, ShowsInTheMiddleOfTheMainWindow) {
    open();
    window->show();
    window->move(window->pos() + QPoint(37, -21));
    ModePicker picker(*window, *store, [] { return std::vector<platform::ScreenSize>{}; });
    picker.show();
    EXPECT_EQ(picker.geometry().center(), window->geometry().center());
    picker.hide();
}

// The program makes the picker only when "Possibilities" is first pressed, and then keeps it.
TEST_F(ModePickerTest, IsMadeAtTheFirstPressAndKept) {
    open();
    int made = 0;
    QStringList seen;
    window->SetModePickerMaker([&] {
        ++made;
        new ModePicker(*window, *store, [] {
            return std::vector<platform::ScreenSize>{{800, 600}};
        });
    });
    EXPECT_EQ(made, 0);
    for (int press = 0; press < 2; ++press) {
        QTimer::singleShot(0, window.get(), [&] {
            auto* picker = window->findChild<ModePicker*>();
            ASSERT_TRUE(picker && picker->isVisible());
            seen
                << picker->findChild<QListWidget*>(QStringLiteral("RzCheckList1"))->item(0)->text();
            picker->reject();
        });
        click("CusPossibilities");
    }
    EXPECT_EQ(made, 1);
    EXPECT_EQ(seen, (QStringList{"800 x 600", "800 x 600"}));
    EXPECT_EQ(window->findChildren<ModePicker*>().size(), 1);
}

} // namespace
