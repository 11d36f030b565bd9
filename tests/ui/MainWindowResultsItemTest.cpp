#include "WindowFixture.h"

#include "ui/ResultsWindow.h"

#include <QLineEdit>

namespace {

class ResultsItem : public WindowFixture {};

// The addition in the group bar: the window's own pages and views stay as they are.
TEST_F(ResultsItem, OpensTheResultsWindowOnTheResultsFolderBesideTheMainWindow) {
    const QString results = tmp.path() + QStringLiteral("/kept/");
    QDir().mkpath(results);
    storeValues({{QStringLiteral("ResultPath"), results}});
    open();
    window->show();
    click("RzGroup3");
    ASSERT_EQ(control<QLineEdit>("ResEdit")->text(), results);
    EXPECT_EQ(window->findChildren<ResultsWindow*>().size(), 0);
    auto windows = [] {
        QList<ResultsWindow*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* r = qobject_cast<ResultsWindow*>(w))
                found << r;
        return found;
    };
    click("ResultsItem");
    ASSERT_EQ(windows().size(), 1);
    ResultsWindow* shown = windows().first();
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->windowTitle(), QStringLiteral("Results"));
    EXPECT_TRUE(control("PageControl")->isHidden()) << "the main window's view is unchanged";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(556, 475));

    shown->close();
    click("ResultsItem");
    EXPECT_EQ(windows().size(), 1) << "one results window, shown again";
    EXPECT_TRUE(windows().first()->isVisible());
    window.reset();
    EXPECT_TRUE(windows().isEmpty()) << "it goes with the main window";
}

} // namespace

namespace {

// Start-up stopped before the results folder was known: the item says so instead of listing
// "0 series in " an empty folder.
TEST_F(ResultsItem, WithoutAResultsFolderItSaysWhy) {
    Registry(RegRoot::CurrentUser, regDir).deleteKey(SteamKeyPath());
    open();
    window->show();
    click("RzGroup3");
    ASSERT_EQ(control<QLineEdit>("ResEdit")->text(), QString());
    dialogs.messages.clear();
    click("ResultsItem");
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("No results folder is known: start-up stopped at "
                                         "\"Please install the Half-Life 2 Episode One!\"")});
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<ResultsWindow*>(w), nullptr) << "no results window";
}

} // namespace
