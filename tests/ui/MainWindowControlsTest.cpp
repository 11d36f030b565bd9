#include "WindowFixture.h"

#include "ui/GroupBar.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>

namespace {

class WindowControls : public WindowFixture {};

TEST_F(WindowControls, OnlyTheLeftButtonDragsTheWindowByItsPicture) {
    open();
    window->show();
    const QPoint start = window->pos();
    auto* picture = control("Image4");
    auto send = [&](QEvent::Type type, Qt::MouseButton button, QPoint global) {
        QMouseEvent e(type, QPointF(picture->mapFromGlobal(global)), QPointF(global), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
        QApplication::sendEvent(picture, &e);
    };
    const QPoint grip = window->mapToGlobal(QPoint(200, 40));
    send(QEvent::MouseButtonPress, Qt::RightButton, grip);
    send(QEvent::MouseMove, Qt::RightButton, grip + QPoint(30, 20));
    send(QEvent::MouseButtonRelease, Qt::RightButton, grip + QPoint(30, 20));
    EXPECT_EQ(window->pos(), start);

    send(QEvent::MouseButtonPress, Qt::LeftButton, grip);
    send(QEvent::MouseMove, Qt::LeftButton, grip + QPoint(30, 20));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, grip + QPoint(30, 20));
    EXPECT_EQ(window->pos(), start + QPoint(30, 20));
}

TEST_F(WindowControls, TheGroupBarChoosesPagesLinksAndTheAboutView) {
    open();
    auto* bar = control<GroupBar>("RzGroupBar1");
    auto* pages = control<QStackedWidget>("PageControl");
    click("RzGroup1");
    EXPECT_EQ(bar->OpenGroup(), 0);
    for (int i = 0; i < 4; ++i) {
        click(QStringLiteral("RzGroup1Items%1").arg(i).toLatin1().constData());
        EXPECT_FALSE(pages->isHidden());
        EXPECT_EQ(pages->currentIndex(), i);
    }
    click("RzGroup3");
    EXPECT_EQ(bar->OpenGroup(), 1);
    EXPECT_TRUE(bar->ItemPanel(0)->isHidden());
    click("RzGroup3Items0");
    click("RzGroup3Items3");
    click("RzShapeButton3");
    click("RzShapeButton4");
    EXPECT_EQ(links.calls, (QStringList{"tweak", "home", "home", "help"}));
    click("RzGroup3Items4");
    EXPECT_TRUE(pages->isHidden());
    click("RzGroup3");
    EXPECT_EQ(bar->OpenGroup(), -1);
    click("RzShapeButton1");
    EXPECT_EQ(updateChecks, 1);
    EXPECT_EQ(ShownCaption(control<QAbstractButton>("RzGroup1Items0")->text()),
              QStringLiteral("Path & information"));
}

// The text a control shows: a button's caption as shown, a label's text, a frame's title.
QString shownText(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return ShownCaption(button->text());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return frame->title();
    return QStringLiteral("<no text>");
}

TEST_F(WindowControls, EveryCaptionAndHintIsTheSystemsOwn) {
    // Every size offered: a greyed one carries a hint of this program's (below).
    open({"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024", "1600 x 1200", "2048 x 1536",
          "1280 x 768", "1920 x 1080", "1920 x 1200"});
    struct Expected {
        const char* name;
        QString text;
        QString hint;
    };
    const QString times = QString::fromUtf8("\u00D7");
    const Expected named[] = {
        {"SpeedButton2", "", "Minimize"},
        {"SpeedButton1", "", "Exit"},
        {"RzShapeButton1", "Update", "Check for newer version"},
        {"RzShapeButton3", "Visit our site", "Visit our site"},
        {"RzShapeButton4", "Help", "Open the help file"},
        {"BenchButton", "Run benchmark", "Run benchmark"},
        {"RzGroup1", "Benchmark", ""},
        {"RzGroup1Items0", "Path & information", ""},
        {"RzGroup1Items1", "Resolution & detail", ""},
        {"RzGroup1Items2", "Filters & demos", ""},
        {"RzGroup1Items3", "Miscellaneous", ""},
        {"RzGroup3", "Other", ""},
        {"RzGroup3Items0", "HL2 EO Tweakguide", ""},
        {"RzGroup3Items3", "Homepage", ""},
        {"RzGroup3Items4", "About...", ""},
        {"Label5", "Benchmark version:", ""},
        {"OpenResFolder", "Open", "Open results folder"},
        {"RzToolButton5", "", "Browse..."},
        {"res", " Resolution ", ""},
        {"res0", "640 " + times + " 480", ""},
        {"res1", "800 " + times + " 600", ""},
        {"res2", "1024 " + times + " 768", ""},
        {"res3", "1280 " + times + " 1024", ""},
        {"res4", "1600 " + times + " 1200", ""},
        {"res5", "2048 " + times + " 1536", ""},
        {"res6", "1280 " + times + " 768", ""},
        {"res7", "1920 " + times + " 1080", ""},
        {"res8", "1920 " + times + " 1200", ""},
        {"cusresbox", "Custom resolution:", ""},
        {"CusPossibilities", "Possibilities", ""},
        {"DetailBox", " Detail level ", ""},
        {"DetailNote", "The maximum quality level is the best graphics possible.", ""},
        {"demo", " Choose a demo ", ""},
        {"demo0", "Quillon demo", ""},
        {"demo1", "Custom demo:", ""},
        {"FastZBox", "Enable fast z-setting",
         "Enables or disables a depth fill pass that may improve performance in graphics-bound "
         "situations."},
        {"ColorCorrBox", "Enable color correction", ""},
        {"Label20", "Collecting system information, please wait...", ""},
        {"Label21", "Resolution: ...", ""},
        {"RunsLabel", "", ""},
    };
    for (const Expected& e : named) {
        QWidget* widget = control(e.name);
        if (!widget)
            continue;
        EXPECT_EQ(shownText(widget), e.text) << e.name;
        EXPECT_EQ(widget->toolTip(), e.hint) << e.name;
    }

    // The frames and captions without names, page by page.
    const QStringList pages[] = {
        {" Half-Life 2 Episode One path ", " Information ",
         "Benchmark version:", " Results folder "},
        {" Resolution ", times, " Detail level ",
         "The maximum quality level is the best graphics possible."},
        {" Filters ", "Filtering mode", "Antialiasing mode", " Choose a demo ",
         " Number of times to run the demo "},
        {"Benchmark notes (50 chars at most!)", "Heapsize ", "Refresh rate", "High Dynamic Range"},
    };
    auto* pageControl = control<QStackedWidget>("PageControl");
    for (int i = 0; i < 4; ++i) {
        QStringList shown;
        for (QWidget* w : pageControl->widget(i)->findChildren<QWidget*>()) {
            const bool caption =
                qobject_cast<QGroupBox*>(w) ||
                (qobject_cast<QLabel*>(w) && w->objectName() != "Label17"); // the version
            if (caption && !shownText(w).isEmpty())
                shown << shownText(w);
        }
        EXPECT_EQ(shown, pages[i]) << "page " << i + 1;
    }
}

// A size the display does not offer is greyed and says why; the custom size, chosen with
// "Possibilities" only, does not look like a box that takes typing.
TEST_F(WindowControls, GreyedSizesSayWhyAndTheCustomSizeLooksReadOnly) {
    open({"640 x 480", "1920 x 1080"});
    const QString times = QString::fromUtf8("\u00D7");
    for (int i = 0; i < FixedSlotCount; ++i) {
        auto* item = control<QCheckBox>(QStringLiteral("res%1").arg(i).toLatin1().constData());
        SCOPED_TRACE(item->text().toStdString());
        if (item->isEnabled())
            EXPECT_EQ(item->toolTip(), QString());
        else
            EXPECT_EQ(item->toolTip(), "Greyed: the display does not offer " + item->text());
    }
    EXPECT_TRUE(control("res0")->isEnabled());
    EXPECT_FALSE(control("res1")->isEnabled());
    EXPECT_EQ(control("res1")->toolTip(),
              "Greyed: the display does not offer 800 " + times + " 600");

    for (const char* name : {"CusWidth", "CusHeight"}) {
        auto* edit = control<QLineEdit>(name);
        EXPECT_TRUE(edit->isReadOnly()) << name;
        EXPECT_EQ(edit->focusPolicy(), Qt::NoFocus) << name << ": no caret to type at";
        EXPECT_EQ(edit->palette().color(QPalette::Base), edit->palette().color(QPalette::Window))
            << name << ": the page's colour, not an edit box's";
        EXPECT_NE(edit->palette().color(QPalette::Base),
                  control<QLineEdit>("NoteEdit")->palette().color(QPalette::Base));
        EXPECT_TRUE(edit->toolTip().contains("Possibilities")) << name;
    }
}

TEST_F(WindowControls, RunWithoutSteamAsksAndReportsInTheStatusLine) {
    open();
    window->show();
    QList<bool> seriesRunning;
    QObject::connect(window.get(), &MainWindow::SeriesRunningChanged,
                     [&](bool running) { seriesRunning.append(running); });
    click("BenchButton");
    EXPECT_EQ(dialogs.questions,
              QStringList{QStringLiteral("Error! The STEAM not running. Run now?")});
    EXPECT_EQ(control<QLabel>("StatusInfo")->text(),
              QStringLiteral("Please RUN the Steam (online or offline) before bench."));
    EXPECT_TRUE(control("BenchButton")->isEnabled());
    EXPECT_TRUE(control("Panel2")->isHidden());
    // A refused start is no series: nothing is let go for it.
    QCoreApplication::processEvents();
    EXPECT_TRUE(seriesRunning.isEmpty());
}

TEST_F(WindowControls, OpensInTheMiddleOfTheScreen) {
    open();
    EXPECT_EQ(window->geometry().center(), window->screen()->availableGeometry().center());
}

TEST_F(WindowControls, TheProgressPanelFollowsTheSeries) {
    open();
    window->show();
    window->View().SetProgressPanelVisible(true);
    window->View().SetHeading(QStringLiteral("Benchmarking in progress"), 12, 68);
    window->View().SetRunsLabel(QStringLiteral("Runs: 3/1"));
    auto* heading = control<QLabel>("Label20");
    EXPECT_TRUE(control("Panel2")->isVisible());
    EXPECT_EQ(heading->text(), QStringLiteral("Benchmarking in progress"));
    EXPECT_EQ(heading->font().pointSize(), 12);
    EXPECT_EQ(heading->x(), 68);
    EXPECT_EQ(control<QLabel>("RunsLabel")->text(), QStringLiteral("Runs: 3/1"));

    const WindowBounds saved = window->View().NormalBounds();
    window->move(window->pos() + QPoint(40, 40));
    window->View().SetBounds(saved);
    EXPECT_EQ(window->View().NormalBounds().left, saved.left);
    EXPECT_EQ(window->View().NormalBounds().top, saved.top);
    EXPECT_EQ(window->View().NormalBounds().width, 556);
    EXPECT_EQ(window->View().NormalBounds().height, 475);
}

} // namespace

namespace {

// The help and the shipped news name the buttons by the captions the window shows; a hint is
// not a button's name.
TEST_F(WindowControls, TheHelpNamesTheButtonsTheWindowHas) {
    open();
    const QString help = QString::fromUtf8(
        testsupport::readFile(testsupport::sourceDir() + "/assets/help/Help.html"));
    const QString news = QString::fromUtf8(
        testsupport::readFile(testsupport::sourceDir() + "/assets/offlinenews.html"));
    for (const char* name : {"RzShapeButton1", "RzShapeButton3", "RzShapeButton4", "BenchButton"}) {
        const QString caption = ShownCaption(control<QAbstractButton>(name)->text());
        EXPECT_TRUE(help.contains("<b>" + caption + "</b>")) << caption.toStdString();
    }
    for (const QString& hintOnly :
         {QStringLiteral("Check for newer version"), QStringLiteral("Browse..."),
          QStringLiteral("Open the help file")}) {
        EXPECT_FALSE(help.contains("<b>" + hintOnly + "</b>")) << hintOnly.toStdString();
        EXPECT_FALSE(news.contains("<b>" + hintOnly + "</b>")) << hintOnly.toStdString();
    }
}

} // namespace
