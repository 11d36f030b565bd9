#include "ui/NewsAndLinks.h"
#include "Recorders.h"
#include "ui/TForm5.h"

#include "TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <gtest/gtest.h>
#include <optional>

namespace {

// A program folder of our own, with or without the shipped files.
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

private:
    QTemporaryDir dir_;
};

class NewsWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareWebEngine(); }
};

TEST_F(NewsWindowTest, IsAFixedBlackWindowFilledByTheBrowserAndStartsHidden) {
    TForm5 news;
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
    EXPECT_EQ(news.WebBrowser->geometry(), news.rect());
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
    TForm5 news;
    int asked = 0;
    ShowNews(news, folder.path(), [&] {
        ++asked;
        return c.online;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(news.isVisible());
    EXPECT_FALSE(news.isModal());
    switch (c.goesTo) {
    case NewsCase::Online:
        EXPECT_EQ(news.WebBrowser->url(), QUrl("http://quillon.example/benchmarks/news.html"));
        break;
    case NewsCase::Local: {
        const QUrl page = QUrl::fromLocalFile(folder.path() + "offlinenews.html");
        EXPECT_EQ(news.WebBrowser->url(), page);
        // The browser really shows the shipped page.
        std::optional<bool> loaded;
        QObject::connect(news.WebBrowser, &QWebEngineView::loadFinished,
                         [&](bool ok) { loaded = ok; });
        ASSERT_TRUE(testsupport::waitUntil([&] { return loaded.has_value(); }, 60000));
        EXPECT_TRUE(*loaded);
        EXPECT_EQ(news.WebBrowser->title(), "Quillon Varnholt news");
        break;
    }
    case NewsCase::Nowhere:
        EXPECT_TRUE(news.WebBrowser->url().isEmpty());
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
