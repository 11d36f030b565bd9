#include "ui/NewsAndLinks.h"
#include "Recorders.h"
#include "ui/StartupProbe.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

// A program folder of our own, with or without the shipped files and the news plugin.
class ProgramFolder {
public:
    ProgramFolder() { EXPECT_TRUE(dir_.isValid()); }
    QString path() const { return dir_.path() + "/"; }
    void shipNewsPage() const {
        testsupport::writeFile(
            path() + "offlinenews.html",
            testsupport::readFile(testsupport::sourceDir() + "/assets/offlinenews.html"));
    }
    void shipHelp() const { testsupport::writeFile(path() + "Help.pdf", "%PDF-1.4\n"); }
    // The built plugin, linked rather than copied: one file, so the process loads it once.
    void shipPlugin() const {
        ASSERT_TRUE(QFile::link(testsupport::binPath("newswindow.so"), path() + "newswindow.so"));
    }

private:
    QTemporaryDir dir_;
};

// A news window from the built plugin, as the program makes it.
std::unique_ptr<NewsWindow> MakeNews() {
    static QPluginLoader loader(testsupport::binPath("newswindow.so"));
    auto* maker = qobject_cast<NewsWindowMaker*>(loader.instance());
    EXPECT_NE(maker, nullptr) << loader.errorString().toStdString();
    return std::unique_ptr<NewsWindow>(maker ? maker->MakeNewsWindow() : nullptr);
}

QWebEngineView* BrowserOf(NewsWindow& news) {
    return news.Window()->findChild<QWebEngineView*>();
}

// Waits for the browser's page to finish loading; its title, or nothing when it failed.
std::optional<QString> LoadedTitle(QWebEngineView* browser) {
    std::optional<bool> loaded;
    QObject::connect(browser, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    if (!testsupport::waitUntil([&] { return loaded.has_value(); }, 60000) || !*loaded)
        return std::nullopt;
    return browser->title();
}

// The browser engine's page processes below this test program: forked from the engine's zygote
// processes, they are the grandchildren of the test program (their command lines are the
// zygote's).
int PageProcesses() {
    const QList<qint64> below = StartupProbe::Descendants(QCoreApplication::applicationPid());
    int count = 0;
    for (qint64 pid : below) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qint64 parent = text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
        if (below.contains(parent))
            ++count;
    }
    return count;
}

class NewsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareWebEngine(); }
};

TEST_F(NewsWindowTest, IsAFixedBlackWindowFilledByTheBrowserAndStartsHidden) {
    const std::unique_ptr<NewsWindow> made = MakeNews();
    ASSERT_TRUE(made);
    QWidget& news = *made->Window();
    EXPECT_FALSE(news.isVisible());
    EXPECT_EQ(news.windowTitle(), "Tessaly NEWS");
    EXPECT_EQ(news.minimumSize(), QSize(520, 500));
    EXPECT_EQ(news.maximumSize(), QSize(520, 500));
    const Qt::WindowFlags flags = news.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(news.palette().color(QPalette::Window), QColor(Qt::black));
    news.show();
    ASSERT_NE(BrowserOf(*made), nullptr);
    EXPECT_EQ(BrowserOf(*made)->geometry(), news.rect());
}

struct NewsCase {
    const char* name;
    bool online;
    bool newsPageShipped;
    enum { Online, Local, Nowhere } goesTo;
};

class ShowNewsTest : public NewsWindowTest, public ::testing::WithParamInterface<NewsCase> {};

TEST_P(ShowNewsTest, BrowserGoesToThePageForTheStateAndTheWindowShows) {
    const NewsCase& c = GetParam();
    ProgramFolder folder;
    if (c.newsPageShipped)
        folder.shipNewsPage();
    const std::unique_ptr<NewsWindow> news = MakeNews();
    ASSERT_TRUE(news);
    int asked = 0;
    ShowNews(*news, folder.path(), [&] {
        ++asked;
        return c.online;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(news->Window()->isVisible());
    EXPECT_FALSE(news->Window()->isModal());
    QWebEngineView* browser = BrowserOf(*news);
    ASSERT_NE(browser, nullptr);
    switch (c.goesTo) {
    case NewsCase::Online:
        EXPECT_EQ(browser->url(), QUrl("http://quillon.example/benchmarks/news.html"));
        break;
    case NewsCase::Local:
        EXPECT_EQ(browser->url(), QUrl::fromLocalFile(folder.path() + "offlinenews.html"));
        // The browser really shows the shipped page.
        EXPECT_EQ(LoadedTitle(browser), QString("Quillon Varnholt news"));
        break;
    case NewsCase::Nowhere:
        EXPECT_TRUE(browser->url().isEmpty());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(States, ShowNewsTest,
                         ::testing::Values(
                             // Online, the shipped page is there but not used.
                             NewsCase{"OnlineIgnoresTheShippedPage", true, true, NewsCase::Online},
                             NewsCase{"OfflineWithTheShippedPage", false, true, NewsCase::Local},
                             NewsCase{"OfflineWithoutAPageStaysEmpty", false, false,
                                      NewsCase::Nowhere}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NewsAddressTest, TheShippedPageIsLookedForOnlyWhenOffline) {
    QStringList looked;
    const auto exists = [&](const QString& path) {
        looked.append(path);
        return true;
    };
    EXPECT_EQ(NewsAddress(true, "/opt/q/", exists), OnlineNewsAddress());
    EXPECT_TRUE(looked.isEmpty());
    EXPECT_EQ(NewsAddress(false, "/opt/q/", exists), QUrl("file:///opt/q/offlinenews.html"));
    EXPECT_EQ(looked, QStringList{"/opt/q/offlinenews.html"});
    EXPECT_TRUE(NewsAddress(false, "/opt/q/", [](const QString&) { return false; }).isEmpty());
}

TEST(NewsPlaceTest, BesideTheMainWindowWhereTheScreenHasRoom) {
    struct Case {
        const char* name;
        QRect screen;
        QRect main;
        QPoint expected;
    };
    const QRect wide(0, 0, 1920, 1080);
    const QSize news(522, 530);
    const Case cases[] = {
        {"room on the right", wide, QRect(100, 50, 556, 475), QPoint(667, 50)},
        {"the right edge just reached", wide, QRect(830, 50, 556, 475), QPoint(1397, 50)},
        {"no room on the right: to the left", wide, QRect(831, 80, 556, 475), QPoint(297, 80)},
        {"no room on either side: the screen's left edge", QRect(0, 0, 1000, 800),
         QRect(300, 0, 556, 475), QPoint(0, 0)},
        {"a second screen", QRect(1920, 0, 1280, 1024), QRect(2200, 0, 556, 475), QPoint(1920, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NewsPlace(c.main, news, c.screen), c.expected);
    }
}

class NewsHostTest : public NewsWindowTest {
protected:
    void SetUp() override {
        main.setFixedSize(556, 475);
        main.move(40, 30);
    }
    // Opens the news as the main window's first showing does, and waits for the window.
    NewsWindow* OpenBeside(NewsHost& host) {
        main.show();
        host.Open(&main);
        // Made only once the main window has painted itself, never within its showing.
        EXPECT_EQ(host.Window(), nullptr);
        testsupport::waitUntil([&] { return host.Window() || !host.LoadError().isEmpty(); });
        return host.Window();
    }

    ProgramFolder folder;
    QWidget main;
};

TEST_F(NewsHostTest, OpensTheNewsBesideTheMainWindowOnceItHasPainted) {
    folder.shipPlugin();
    folder.shipNewsPage();
    int asked = 0;
    NewsHost host(folder.path(), [&] {
        ++asked;
        return false;
    });
    NewsWindow* news = OpenBeside(host);
    ASSERT_NE(news, nullptr) << host.LoadError().toStdString();
    EXPECT_TRUE(news->Window()->isVisible());
    EXPECT_EQ(asked, 1);
    const QRect screen = main.screen()->availableGeometry();
    EXPECT_EQ(news->Window()->pos(),
              NewsPlace(main.frameGeometry(), news->Window()->frameGeometry().size(), screen));
    EXPECT_EQ(LoadedTitle(BrowserOf(*news)), QString("Quillon Varnholt news"));
    // A second showing of the main window opens nothing more.
    host.Open(&main);
    EXPECT_EQ(host.Window(), news);
    EXPECT_EQ(asked, 1);
}

TEST_F(NewsHostTest, TheBrowserSleepsWhileASeriesRunsAndComesBackAfterwards) {
    folder.shipPlugin();
    folder.shipNewsPage();
    NewsHost host(folder.path(), [] { return false; });
    NewsWindow* news = OpenBeside(host);
    ASSERT_NE(news, nullptr) << host.LoadError().toStdString();
    ASSERT_EQ(LoadedTitle(BrowserOf(*news)), QString("Quillon Varnholt news"));
    ASSERT_TRUE(testsupport::waitUntil([] { return PageProcesses() > 0; }));

    host.SeriesRunning(true);
    EXPECT_TRUE(news->Asleep());
    EXPECT_EQ(BrowserOf(*news), nullptr);
    // The window stays where it was; the page's process goes.
    EXPECT_TRUE(news->Window()->isVisible());
    EXPECT_TRUE(testsupport::waitUntil([] { return PageProcesses() == 0; }, 30000));

    host.SeriesRunning(false);
    EXPECT_FALSE(news->Asleep());
    QWebEngineView* browser = BrowserOf(*news);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->url(), QUrl::fromLocalFile(folder.path() + "offlinenews.html"));
    EXPECT_EQ(LoadedTitle(browser), QString("Quillon Varnholt news"));
    EXPECT_EQ(browser->geometry(), news->Window()->rect());
}

TEST_F(NewsHostTest, ANewsWindowOpenedDuringASeriesShowsItsPageWhenTheSeriesEnds) {
    folder.shipPlugin();
    folder.shipNewsPage();
    NewsHost host(folder.path(), [] { return false; });
    host.SeriesRunning(true);
    NewsWindow* news = OpenBeside(host);
    ASSERT_NE(news, nullptr) << host.LoadError().toStdString();
    EXPECT_TRUE(news->Window()->isVisible());
    EXPECT_TRUE(news->Asleep());
    EXPECT_EQ(BrowserOf(*news), nullptr);

    host.SeriesRunning(false);
    ASSERT_NE(BrowserOf(*news), nullptr);
    EXPECT_EQ(LoadedTitle(BrowserOf(*news)), QString("Quillon Varnholt news"));
}

TEST_F(NewsHostTest, WithoutAUsablePluginTheProgramGoesOnWithoutNews) {
    {
        NewsHost host(folder.path(), [] { return false; });
        EXPECT_EQ(OpenBeside(host), nullptr);
        EXPECT_TRUE(host.LoadError().startsWith(folder.path() + "newswindow.so"))
            << host.LoadError().toStdString();
        host.SeriesRunning(true);
        host.SeriesRunning(false);
        EXPECT_EQ(host.Window(), nullptr);
    }
    // A file of that name that is no plugin.
    testsupport::writeFile(folder.path() + "newswindow.so", "not a library");
    NewsHost host(folder.path(), [] { return false; });
    main.hide();
    EXPECT_EQ(OpenBeside(host), nullptr);
    EXPECT_FALSE(host.LoadError().isEmpty());
}

TEST(LinksTest, WebLinksHandTheShellFullAddresses) {
    ProgramFolder folder;
    RecordingShell shell;
    RecordingDialogs dialogs;
    NewsAndLinks links(folder.path(), shell, dialogs);
    links.openHomePage();
    links.openTweakGuide();
    EXPECT_EQ(shell.opened,
              (QStringList{"http://quillon.example",
                           "http://www.pcgamingwiki.com/wiki/Half-Life_2:_Episode_One"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(LinksTest, HelpFileOpensWhenShippedAndIsReportedMissingOtherwise) {
    ProgramFolder folder;
    RecordingShell shell;
    RecordingDialogs dialogs;
    NewsAndLinks links(folder.path(), shell, dialogs);

    links.openHelpFile();
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(dialogs.messages,
              QStringList{"Corrupt Help file, please reinstall the Quillon Varnholt."});

    // A folder of that name is no help file.
    QDir(folder.path()).mkdir("Help.pdf");
    links.openHelpFile();
    EXPECT_TRUE(shell.opened.isEmpty());
    EXPECT_EQ(dialogs.messages.size(), 2);
    QDir(folder.path()).rmdir("Help.pdf");

    folder.shipHelp();
    links.openHelpFile();
    EXPECT_EQ(shell.opened, QStringList{folder.path() + "Help.pdf"});
    EXPECT_EQ(dialogs.messages.size(), 2);
}

// What the build ships beside the program.
TEST(ShippedFilesTest, HelpAndNewsPageLieBesideThePrograms) {
    const QByteArray help = testsupport::readFile(testsupport::binPath("Help.pdf"));
    EXPECT_TRUE(help.startsWith("%PDF-"));
    // A typeset document, not an empty shell: its page tree holds several pages.
    const QRegularExpressionMatch pages =
        QRegularExpression("/Type /Pages\\b[^>]*/Count (\\d+)").match(QString::fromLatin1(help));
    ASSERT_TRUE(pages.hasMatch());
    EXPECT_GE(pages.captured(1).toInt(), 4);
    EXPECT_EQ(testsupport::readFile(testsupport::binPath("offlinenews.html")),
              testsupport::readFile(testsupport::sourceDir() + "/assets/offlinenews.html"));
}

} // namespace
