#include "ui/NewsProcess.h"

#include "platform/SuperUser.h"
#include "ui/NewsWindow.h"
#include "ui/UiLook.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLoggingCategory>
#include <QPluginLoader>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <memory>

namespace {

constexpr char AtPrefix[] = "/at=";
constexpr char MinimizedSwitch[] = "/minimized";
constexpr char BehindSwitch[] = "/behind";

void Say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray Place(const QWidget& window) {
    return QByteArray::number(window.x()) + ' ' + QByteArray::number(window.y());
}

} // namespace

void PrepareWebEngine() {
    // Only takes effect before the application object exists.
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (platform::RunningAsSuperUser() && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The engine's notes about its graphics context and Chromium's own log are no news for the
    // user; errors still show, and a user's own settings of either win.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                        "qt.webenginecontext.info=false"));
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3");
}

QStringList NewsCommandLine(const NewsArguments& arguments) {
    QStringList line{QLatin1String(NewsSwitch),
                     QLatin1String(AtPrefix) + QString::number(arguments.place.x()) +
                         QLatin1Char(',') + QString::number(arguments.place.y())};
    if (arguments.minimized)
        line << QLatin1String(MinimizedSwitch);
    if (arguments.behind)
        line << QLatin1String(BehindSwitch);
    if (!arguments.address.isEmpty())
        line << arguments.address.toString(QUrl::FullyEncoded);
    return line;
}

std::optional<NewsArguments> ParseNewsCommandLine(const QStringList& arguments) {
    if (arguments.value(0) != QLatin1String(NewsSwitch))
        return std::nullopt;
    NewsArguments parsed;
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String(AtPrefix))) {
            const QStringList xy = argument.mid(int(std::strlen(AtPrefix))).split(QLatin1Char(','));
            bool xOk = false, yOk = false;
            parsed.place = QPoint(xy.value(0).toInt(&xOk), xy.value(1).toInt(&yOk));
            if (xy.size() != 2 || !xOk || !yOk)
                return std::nullopt;
        } else if (argument == QLatin1String(MinimizedSwitch)) {
            parsed.minimized = true;
        } else if (argument == QLatin1String(BehindSwitch)) {
            parsed.behind = true;
        } else if (parsed.address.isEmpty() && !argument.startsWith(QLatin1Char('/'))) {
            parsed.address = QUrl(argument, QUrl::StrictMode);
            if (!parsed.address.isValid())
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return parsed;
}

int NewsProcessMain(int argc, char** argv) {
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    const std::optional<NewsArguments> arguments = ParseNewsCommandLine(app.arguments().mid(1));
    if (!arguments) {
        std::fprintf(stderr, "Quillon Varnholt: news window: arguments not understood\n");
        return 2;
    }
    QIcon icon;
    icon.addPixmap(uilook::Picture(QStringLiteral("icon32")));
    icon.addPixmap(uilook::Picture(QStringLiteral("icon64")));
    QApplication::setWindowIcon(icon);

    const QString plugin =
        QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(NewsPluginFile);
    QPluginLoader loader(plugin);
    QObject* root = loader.instance();
    auto* maker = qobject_cast<NewsWindowMaker*>(root);
    if (!maker) {
        std::fprintf(stderr, "Quillon Varnholt: no news window: %s: %s\n", qPrintable(plugin),
                     root ? "not the news plugin of this program"
                          : qPrintable(loader.errorString()));
        return 1;
    }
    const std::unique_ptr<NewsWindow> news(maker->MakeNewsWindow());
    QWidget& window = *news->Window();
    // Closing the news window ends this process.
    window.setAttribute(Qt::WA_QuitOnClose, true);
    window.setAttribute(Qt::WA_ShowWithoutActivating, arguments->behind);
    window.move(arguments->place);
    if (!arguments->address.isEmpty())
        news->Navigate(arguments->address);
    if (arguments->minimized)
        window.showMinimized();
    else
        window.show();
    // Back after a series: under the windows in front (the report, the main window), as it was.
    if (arguments->behind)
        window.lower();
    Say("shown " + Place(window));

    // The program's lines. Each is written whole, so reading up to its end never waits.
    QFile input;
    if (!input.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 1;
    QSocketNotifier lines(0, QSocketNotifier::Read);
    QObject::connect(&lines, &QSocketNotifier::activated, &app, [&] {
        const QByteArray line = input.readLine();
        if (line.isEmpty()) {
            // The program is gone.
            lines.setEnabled(false);
            QCoreApplication::quit();
        } else if (line.trimmed() == "quit") {
            lines.setEnabled(false);
            Say("left " + Place(window) + (window.isMinimized() ? " 1" : " 0"));
            QCoreApplication::quit();
        }
    });
    return app.exec();
}
