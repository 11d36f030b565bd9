#include "Recorders.h"
#include "app/StartupProbe.h"
#include "ui/NewsHost.h"
#include "ui/NewsProcess.h"
#include "ui/NewsWindow.h"
#include "ui/ShellLinks.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <algorithm>
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

private:
    QTemporaryDir dir_;
};

// Waits until `processes` have all ended (zombies count as ended); ends those left over.
// True when none had to be ended.
bool WaitGone(const QList<qint64>& processes) {
    const auto alive = [](qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        const QByteArray stat = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
    };
    const bool gone = testsupport::waitUntil(
        [&] { return std::none_of(processes.begin(), processes.end(), alive); }, 30000);
    for (qint64 pid : processes)
        if (alive(pid))
            QProcess::execute("kill", {"-KILL", QString::number(pid)});
    return gone;
}

// Ends a news process and the helpers of its browser.
void EndWithHelpers(QProcess& process) {
    const qint64 pid = process.processId();
    if (pid <= 0)
        return;
    const QList<qint64> helpers = StartupProbe::Descendants(pid);
    process.kill();
    process.waitForFinished();
    WaitGone(helpers);
}

// A news window from the built plugin, as the news process makes it.
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

const QString ShippedPage = testsupport::binPath("offlinenews.html");

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
    EXPECT_TRUE(BrowserOf(*made)->url().isEmpty());
}

TEST_F(NewsWindowTest, TheBrowserShowsTheShippedPage) {
    const std::unique_ptr<NewsWindow> news = MakeNews();
    ASSERT_TRUE(news);
    news->Navigate(QUrl::fromLocalFile(ShippedPage));
    news->Window()->show();
    EXPECT_EQ(BrowserOf(*news)->url(), QUrl::fromLocalFile(ShippedPage));
    EXPECT_EQ(LoadedTitle(BrowserOf(*news)), QString("Quillon Varnholt news"));
}

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

TEST(NewsCommandLineTest, ReadsBackWhatItWritesAndRefusesWhatItDoesNot) {
    const NewsArguments all{QPoint(-12, 340), true, true,
                            QUrl("http://quillon.example/benchmarks/news.html")};
    EXPECT_EQ(NewsCommandLine(all), (QStringList{"/news", "/at=-12,340", "/minimized", "/behind",
                                                 "http://quillon.example/benchmarks/news.html"}));
    const NewsArguments plain{QPoint(0, 0), false, false, QUrl()};
    EXPECT_EQ(NewsCommandLine(plain), (QStringList{"/news", "/at=0,0"}));
    // A local page whose path has blanks and non-ASCII letters.
    const NewsArguments local{
        QPoint(5, 6), false, false,
        QUrl::fromLocalFile(QString::fromUtf8("/opt/Quillon V\u00e4rnholt/offlinenews.html"))};
    for (const NewsArguments& arguments : {all, plain, local})
        EXPECT_EQ(ParseNewsCommandLine(NewsCommandLine(arguments)), arguments);

    for (const QStringList& refused : {
             QStringList{},
             QStringList{"/afterupgrade"},
             QStringList{"/news", "/at=1"},
             QStringList{"/news", "/at=x,2"},
             QStringList{"/news", "/at=1,2", "/other"},
             QStringList{"/news", "/at=1,2", "http://a.example/", "http://b.example/"},
         })
        EXPECT_FALSE(ParseNewsCommandLine(refused).has_value()) << refused.join(' ').toStdString();
}

// The program's news process, started as the program starts it.
class NewsProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        // The engine's own sized deletes trip AddressSanitizer (see SanitizerOptions.cpp).
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
        news.setProcessEnvironment(environment);
        news.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    void TearDown() override { EndWithHelpers(news); }

    // The next line the news process says.
    QByteArray Line() {
        QByteArray line;
        testsupport::waitUntil(
            [&] {
                if (!news.canReadLine())
                    return news.state() == QProcess::NotRunning;
                line = news.readLine().trimmed();
                return true;
            },
            60000);
        return line;
    }

    QProcess news;
};

TEST_F(NewsProcessTest, ShowsWhereToldAndSaysWhereItWasWhenToldToGo) {
    news.start(testsupport::binPath("varnholt"),
               NewsCommandLine({QPoint(40, 30), false, false, QUrl::fromLocalFile(ShippedPage)}));
    ASSERT_EQ(Line(), "shown 40 30");
    // The browser engine lives here, loaded from the plugin beside the program.
    const QSet<QByteArray> mapped = StartupProbe::MappedLibraries(news.processId());
    EXPECT_TRUE(mapped.contains(QFile::encodeName(testsupport::binPath("newswindow.so"))));
    EXPECT_TRUE(std::any_of(mapped.begin(), mapped.end(), [](const QByteArray& path) {
        return path.contains("/libQt6WebEngineCore.so");
    }));

    news.write("quit\n");
    EXPECT_EQ(Line(), "left 40 30 0");
    ASSERT_TRUE(news.waitForFinished(30000));
    EXPECT_EQ(news.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(news.exitCode(), 0);
}

TEST_F(NewsProcessTest, AMinimisedWindowSaysSo) {
    news.start(testsupport::binPath("varnholt"),
               NewsCommandLine({QPoint(7, 8), true, true, QUrl()}));
    ASSERT_TRUE(Line().startsWith("shown "));
    news.write("quit\n");
    EXPECT_TRUE(Line().endsWith(" 1"));
}

TEST_F(NewsProcessTest, EndsWhenTheProgramThatStartedItIsGone) {
    news.start(testsupport::binPath("varnholt"), NewsCommandLine({}));
    ASSERT_TRUE(Line().startsWith("shown "));
    news.closeWriteChannel();
    ASSERT_TRUE(news.waitForFinished(30000));
    EXPECT_EQ(news.exitCode(), 0);
}

TEST_F(NewsProcessTest, RefusesArgumentsItDoesNotKnow) {
    news.start(testsupport::binPath("varnholt"), {"/news", "/at=1,2", "/sideways"});
    ASSERT_TRUE(news.waitForFinished(30000));
    EXPECT_EQ(news.exitCode(), 2);
}

// A main window beside which a host opens the news, in the test's own process; the news
// process is the program's.
class NewsHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":new_delete_type_mismatch=0");
        main.setFixedSize(556, 475);
        main.move(40, 30);
    }
    void TearDown() override {
        if (host)
            EndHost();
    }

    // A host as the program makes it, `online` or not.
    void MakeHost(bool online, const QString& program = testsupport::binPath("varnholt")) {
        host = std::make_unique<NewsHost>(folder.path(), program, [this, online] {
            ++asked;
            return online;
        });
    }
    // Opens the news as the main window's first showing does; waits for the news to show.
    bool OpenBeside() {
        main.show();
        host->Open(&main);
        // Started only once the main window has painted itself, never within its showing.
        EXPECT_FALSE(host->Running());
        return ShowsAgain();
    }
    bool ShowsAgain() {
        const int before = host->Showings();
        return testsupport::waitUntil([&] { return host->Showings() > before && host->Running(); },
                                      60000);
    }
    void EndHost() {
        const qint64 pid = host->ProcessId();
        const QList<qint64> helpers = pid > 0 ? StartupProbe::Descendants(pid) : QList<qint64>{};
        host.reset();
        WaitGone(helpers);
    }
    std::optional<NewsArguments> Started() const { return ParseNewsCommandLine(host->Arguments()); }

    ProgramFolder folder;
    QWidget main;
    std::unique_ptr<NewsHost> host;
    int asked = 0;
};

struct HostCase {
    const char* name;
    bool online;
    bool newsPageShipped;
    enum { Online, Local, Nowhere } goesTo;
};

class NewsHostPageTest : public NewsHostTest, public ::testing::WithParamInterface<HostCase> {};

TEST_P(NewsHostPageTest, TheNewsOpensBesideTheMainWindowWithThePageForTheState) {
    const HostCase& c = GetParam();
    if (c.newsPageShipped)
        folder.shipNewsPage();
    MakeHost(c.online);
    ASSERT_TRUE(OpenBeside()) << host->Failure().toStdString();
    EXPECT_EQ(asked, 1);
    const std::optional<NewsArguments> started = Started();
    ASSERT_TRUE(started.has_value());
    switch (c.goesTo) {
    case HostCase::Online:
        EXPECT_EQ(started->address, QUrl("http://quillon.example/benchmarks/news.html"));
        break;
    case HostCase::Local:
        EXPECT_EQ(started->address, QUrl::fromLocalFile(folder.path() + "offlinenews.html"));
        break;
    case HostCase::Nowhere:
        EXPECT_TRUE(started->address.isEmpty());
        break;
    }
    const QPoint place =
        NewsPlace(main.frameGeometry(), QSize(520, 500), main.screen()->availableGeometry());
    EXPECT_EQ(started->place, place);
    EXPECT_EQ(host->ShownAt(), place);
    // The first showing may take the front; the main window takes it back.
    EXPECT_FALSE(started->behind);
    EXPECT_FALSE(started->minimized);

    // A second showing of the main window opens nothing more.
    const qint64 pid = host->ProcessId();
    host->Open(&main);
    QCoreApplication::processEvents();
    EXPECT_EQ(host->ProcessId(), pid);
    EXPECT_EQ(asked, 1);
}

INSTANTIATE_TEST_SUITE_P(States, NewsHostPageTest,
                         ::testing::Values(
                             // Online, the shipped page is there but not used.
                             HostCase{"OnlineIgnoresTheShippedPage", true, true, HostCase::Online},
                             HostCase{"OfflineWithTheShippedPage", false, true, HostCase::Local},
                             HostCase{"OfflineWithoutAPageStaysEmpty", false, false,
                                      HostCase::Nowhere}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NewsHostTest, TheNewsGoesWhileASeriesRunsAndComesBackWhereItWas) {
    folder.shipNewsPage();
    MakeHost(false);
    ASSERT_TRUE(OpenBeside()) << host->Failure().toStdString();
    const qint64 first = host->ProcessId();
    const QList<qint64> helpers = StartupProbe::Descendants(first);
    ASSERT_FALSE(helpers.isEmpty());

    host->SeriesRunning(true);
    // The news process and every helper of its browser end.
    ASSERT_TRUE(testsupport::waitUntil([&] { return !host->Running(); }, 30000));
    EXPECT_TRUE(WaitGone(helpers));

    host->SeriesRunning(false);
    ASSERT_TRUE(ShowsAgain());
    EXPECT_NE(host->ProcessId(), first);
    const std::optional<NewsArguments> again = Started();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->address, QUrl::fromLocalFile(folder.path() + "offlinenews.html"));
    EXPECT_EQ(again->place, *host->ShownAt());
    // Back behind the work, not in front of it.
    EXPECT_TRUE(again->behind);
    EXPECT_EQ(asked, 1);
}

TEST_F(NewsHostTest, ANewsWindowOpenedDuringASeriesShowsWhenTheSeriesEnds) {
    MakeHost(false);
    host->SeriesRunning(true);
    main.show();
    host->Open(&main);
    testsupport::waitUntil([] { return false; }, 500);
    EXPECT_FALSE(host->Running());
    EXPECT_TRUE(host->Arguments().isEmpty());

    host->SeriesRunning(false);
    ASSERT_TRUE(ShowsAgain());
    ASSERT_TRUE(Started().has_value());
    EXPECT_FALSE(Started()->behind);
}

TEST_F(NewsHostTest, ANewsWindowThatWentByItselfIsNotReopened) {
    MakeHost(false);
    ASSERT_TRUE(OpenBeside());
    // Its process goes without being told, as when the user closes the window.
    QProcess::execute("kill", {QString::number(host->ProcessId())});
    ASSERT_TRUE(testsupport::waitUntil([&] { return !host->Running(); }, 30000));
    const QStringList last = host->Arguments();
    host->SeriesRunning(true);
    host->SeriesRunning(false);
    testsupport::waitUntil([] { return false; }, 500);
    EXPECT_FALSE(host->Running());
    EXPECT_EQ(host->Arguments(), last);
}

TEST_F(NewsHostTest, WithoutTheProgramThereIsNoNewsAndTheProgramGoesOn) {
    MakeHost(false, folder.path() + "varnholt");
    main.show();
    host->Open(&main);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !host->Failure().isEmpty(); }));
    EXPECT_TRUE(host->Failure().startsWith(folder.path() + "varnholt"))
        << host->Failure().toStdString();
    EXPECT_FALSE(host->Running());
    host->SeriesRunning(true);
    host->SeriesRunning(false);
    EXPECT_FALSE(host->Running());
}

TEST(LinksTest, WebLinksHandTheShellFullAddresses) {
    ProgramFolder folder;
    RecordingShell shell;
    RecordingDialogs dialogs;
    ShellLinks links(folder.path(), shell, dialogs);
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
    ShellLinks links(folder.path(), shell, dialogs);

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
