#include "WindowFixture.h"

#include "ui/GroupBar.h"

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

TEST_F(WindowControls, RunWithoutSteamAsksAndReportsInTheStatusLine) {
    open();
    window->show();
    QList<bool> seriesRunning;
    QObject::connect(window.get(), &TForm1::SeriesRunningChanged,
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

TEST_F(WindowControls, TheProgressPanelFollowsTheSeries) {
    open();
    window->show();
    window->SetProgressPanelVisible(true);
    window->SetHeading(QStringLiteral("Benchmarking in progress"), 12, 68);
    window->SetRunsLabel(QStringLiteral("Runs: 3/1"));
    auto* heading = control<QLabel>("Label20");
    EXPECT_TRUE(control("Panel2")->isVisible());
    EXPECT_EQ(heading->text(), QStringLiteral("Benchmarking in progress"));
    EXPECT_EQ(heading->font().pointSize(), 12);
    EXPECT_EQ(heading->x(), 68);
    EXPECT_EQ(control<QLabel>("RunsLabel")->text(), QStringLiteral("Runs: 3/1"));

    const WindowBounds saved = window->NormalBounds();
    window->move(window->pos() + QPoint(40, 40));
    window->SetBounds(saved);
    EXPECT_EQ(window->NormalBounds().left, saved.left);
    EXPECT_EQ(window->NormalBounds().top, saved.top);
    EXPECT_EQ(window->NormalBounds().width, 556);
    EXPECT_EQ(window->NormalBounds().height, 475);
}

} // namespace
