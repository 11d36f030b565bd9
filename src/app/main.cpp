#include "Version.h"
#include "app/CommandLineMain.h"
#include "app/StartupProbe.h"
#include "platform/Errors.h"
#include "platform/InterruptSignals.h"
#include "ui/AppComponents.h"
#include "ui/ErrorReport.h"
#include "ui/MainWindow.h"
#include "ui/ModePicker.h"
#include "ui/NewsHost.h"
#include "ui/NewsProcess.h"
#include "ui/SingleInstanceGuard.h"
#include "ui/UiLook.h"
#include "ui/UpdaterHandlers.h"
#include "ui/UpgradeQuestionDialog.h"
#include "ui/UpgradeWizardDialog.h"
#include "ui/WidgetDialogs.h"

#include <QIcon>
#include <cstdio>

// The argument "/afterupgrade", given after an upgrade, changes nothing here.
int main(int argc, char** argv) {
    // The news window's own process (started by the program itself); by hand without a
    // display, Qt would abort.
    if (IsNewsProcess(argc, argv))
        return DisplayAvailable() ? NewsProcessMain(argc, argv) : RefuseWithoutDisplay();
    if (WantsCommandLine(argc, argv))
        return RunCommandLine(argc, argv);
    // Qt would abort with a message about reinstalling the program.
    if (!DisplayAvailable())
        return RefuseWithoutDisplay();
    platform::IgnoreBrokenPipes();
    GuardedApplication app(argc, argv);
    // No display name: Qt would append it to every window title, and each window's title is
    // exactly its own text.
    QApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    QApplication::setApplicationVersion(QStringLiteral(VARNHOLT_VERSION));

    // A second copy ends here, before any window exists. A series from the command line has
    // no window to bring to the front: the user is told why nothing opens.
    SingleInstanceGuard instances;
    if (instances.CommandLineSeriesRunning()) {
        std::fprintf(stderr, "Quillon Varnholt: %s\n", CommandLineSeriesRunningText);
        WidgetDialogs().showMessage(QString::fromUtf8(CommandLineSeriesRunningText));
        return 0;
    }
    instances.Check();

    try {
        QIcon icon;
        icon.addPixmap(uilook::Picture(QStringLiteral("icon32")));
        icon.addPixmap(uilook::Picture(QStringLiteral("icon64")));
        QApplication::setWindowIcon(icon);

        AppComponents components(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        components.Errors().Install();

        NewsHost news(components.ProgramFolder(), QCoreApplication::applicationFilePath());
        WidgetUpgraderPrompts updaterPrompts;
        WizardWindow updaterWizard;
        UpdateChecker updateChecker;
        updater::Configure(updateChecker, QStringLiteral(VARNHOLT_VERSION));
        updater::ConnectHandlers(updateChecker, components.Dialogs());
        updateChecker.SetPrompts(&updaterPrompts);
        updateChecker.SetWizardView(&updaterWizard);
        updateChecker.SetShell(&components.Shell());
        // A package's copy is updated by the package manager: the check only says so.
        MainWindow mainWindow(components.ForMainWindow(
            [&] { news.Open(&mainWindow); },
            components.UpdateCheck([&] { updater::CheckForUpdate(updateChecker); })));
        // The news goes while a series runs: the game gets the machine.
        QObject::connect(&mainWindow, &MainWindow::SeriesRunningChanged, &news,
                         &NewsHost::SeriesRunning);
        updaterPrompts.SetOwner(&mainWindow);
        // The helper is running: the program closes through its window's own close steps,
        // which end the program once the game's configuration is back in place.
        updateChecker.CloseApplication = [&] { mainWindow.close(); };
        components.Dialogs().SetOwner(&mainWindow);
        instances.setMainWindow(&mainWindow);
        // A child of the main window, which ends it.
        mainWindow.SetModePickerMaker([&] { new ModePicker(mainWindow, components.Store()); });
        StartupProbe::Install(&mainWindow);
        // A hang-up, termination, Ctrl-C or quit closes the window as the user would, so the
        // user's game configuration comes back before the program ends.
        platform::InterruptSignals stops(platform::StopSignals());
        int stoppedBy = 0;
        QObject::connect(&stops, &platform::InterruptSignals::interrupted, &mainWindow,
                         [&](int signalNumber) {
                             if (stoppedBy == 0)
                                 stoppedBy = signalNumber;
                             mainWindow.close();
                         });
        mainWindow.show();
        const int status = app.exec();
        return stoppedBy != 0 ? 128 + stoppedBy : status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Quillon Varnholt: %s\n", qPrintable(ErrorReport::ErrorText(error)));
        return 1;
    }
}
