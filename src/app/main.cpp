#include "Version.h"
#include "app/CommandLineMain.h"
#include "platform/Errors.h"
#include "ui/AppComponents.h"
#include "ui/ErrorReport.h"
#include "ui/NewsAndLinks.h"
#include "ui/StartupProbe.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"
#include "ui/TForm5.h"
#include "ui/TJvAppInstances.h"
#include "ui/TauAutoUpgraderUpgradeMessageForm.h"
#include "ui/TauAutoUpgraderWizardForm.h"
#include "ui/UiLook.h"
#include "ui/UpdaterHandlers.h"

#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

// The argument "/afterupgrade", given after an upgrade, changes nothing here.
int main(int argc, char** argv) {
    if (WantsCommandLine(argc, argv))
        return RunCommandLine(argc, argv);
    PrepareWebEngine();
    GuardedApplication app(argc, argv);
    // No display name: Qt would append it to every window title, and each window's title is
    // exactly its own text.
    QApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    QApplication::setApplicationVersion(QStringLiteral(VARNHOLT_VERSION));

    // A second copy ends here, before any window exists.
    TJvAppInstances instances;
    instances.Check();

    try {
        QIcon icon;
        icon.addPixmap(uilook::Picture(QStringLiteral("icon32.png")));
        icon.addPixmap(uilook::Picture(QStringLiteral("icon64.png")));
        QApplication::setWindowIcon(icon);

        AppComponents components(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        components.Errors().Install();

        std::unique_ptr<TForm5> news;
        WidgetUpgraderPrompts updaterPrompts;
        WizardWindow updaterWizard;
        TauAutoUpgrader Updater;
        updater::Configure(Updater, QStringLiteral(VARNHOLT_VERSION));
        updater::ConnectHandlers(Updater, components.Dialogs());
        Updater.SetPrompts(&updaterPrompts);
        Updater.SetWizardView(&updaterWizard);
        Updater.SetShell(&components.Shell());
        TForm1 form1(components.ForMainWindow(
            [&] {
                // The browser is the slowest part of start-up: it is made once the main
                // window is on the screen, and lives until the program ends.
                QTimer::singleShot(0, &form1, [&] {
                    if (!news)
                        news = std::make_unique<TForm5>();
                    // Beside the main window, not over it: to its right, or to its left where the
                    // screen has no room on the right.
                    const QRect main = form1.frameGeometry();
                    const QRect screen = form1.screen()->availableGeometry();
                    QPoint place = main.topRight() + QPoint(12, 0);
                    if (place.x() + news->frameGeometry().width() > screen.right())
                        place.setX(std::max(screen.left(),
                                            main.left() - 12 - news->frameGeometry().width()));
                    news->move(place);
                    ShowNews(*news, components.ProgramFolder());
                    // The news is beside the work, not in front of it.
                    form1.raise();
                    form1.activateWindow();
                });
            },
            [&] { updater::CheckForUpdate(Updater); }));
        updaterPrompts.SetOwner(&form1);
        // The helper is running: the program closes through its window's own close steps,
        // which end the program once the game's configuration is back in place.
        Updater.CloseApplication = [&] { form1.close(); };
        components.Dialogs().SetOwner(&form1);
        instances.setMainWindow(&form1);
        TForm3 form3(form1, components.Store());
        StartupProbe::Install(&form1);
        form1.show();
        return app.exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Quillon Varnholt: %s\n", qPrintable(ErrorReport::ErrorText(error)));
        return 1;
    }
}
