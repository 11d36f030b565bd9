#include "Version.h"
#include "platform/Errors.h"
#include "ui/AppComponents.h"
#include "ui/ErrorReport.h"
#include "ui/NewsAndLinks.h"
#include "ui/StartupProbe.h"
#include "ui/TForm1.h"
#include "ui/TForm3.h"
#include "ui/TForm5.h"
#include "ui/TJvAppInstances.h"
#include "ui/UiLook.h"

#include <QIcon>
#include <QPoint>
#include <cstdio>
#include <memory>

// The argument "/afterupgrade", given after an upgrade, changes nothing here.
int main(int argc, char** argv) {
    PrepareWebEngine();
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon Varnholt"));
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
        TForm1 form1(components.ForMainWindow(
            [&] {
                if (!news)
                    return;
                // Beside the main window, not over it.
                news->move(form1.frameGeometry().topRight() + QPoint(12, 0));
                ShowNews(*news, components.ProgramFolder());
            },
            // The update check is wired here once it exists.
            {}));
        components.Dialogs().SetOwner(&form1);
        instances.setMainWindow(&form1);
        TForm3 form3(form1, components.Store());
        news = std::make_unique<TForm5>();
        StartupProbe::Install(&form1);
        form1.show();
        return app.exec();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "Quillon Varnholt: %s\n", qPrintable(ErrorReport::ErrorText(error)));
        return 1;
    }
}
