#include "app/CommandLineMain.h"

#include "Version.h"
#include "app/CommandLineSeries.h"
#include "app/SeriesArguments.h"
#include "platform/InterruptSignals.h"
#include "platform/Registry.h"
#include "process/TopLevelErrorReport.h"
#include "ui/SingleInstanceGuard.h"

#include <QWidget>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {

void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Errors that escape a handler end that handler, not the program.
class GuardedCoreApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            reportTopLevelError(error);
        }
        return false;
    }
};

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int badArguments(const QString& problem) {
    write(stderr, QStringLiteral("varnholt: ") + problem + QStringLiteral("\n\n") + UsageText());
    return 2;
}

} // namespace

bool WantsCommandLine(int argc, char** argv) {
    return IsCommandLineUse(argumentsOf(argc, argv));
}

bool DisplayAvailable() {
    // A platform named outright is Qt's to find (the offscreen one needs no server).
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    return false;
}

int RefuseWithoutDisplay() {
    write(stderr,
          QStringLiteral("varnholt: no display: use --run for a series without a window\n"));
    return 2;
}

int RunCommandLine(int& argc, char** argv) {
    // A reader of the output that goes away must not end the series with the game prepared.
    platform::IgnoreBrokenPipes();
    GuardedCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNHOLT_VERSION));

    const ParsedArguments parsed = ParseSeriesArguments(argumentsOf(argc, argv));
    if (!parsed.Arguments)
        return badArguments(parsed.Error);
    const SeriesArguments& arguments = *parsed.Arguments;
    if (arguments.Do == SeriesArguments::Action::Help) {
        write(stdout, UsageText());
        return 0;
    }
    if (arguments.Do == SeriesArguments::Action::Version) {
        write(stdout, QStringLiteral("Quillon Varnholt " VARNHOLT_VERSION "\n"));
        return 0;
    }
    if (!arguments.Demo.isEmpty() && !QFileInfo(arguments.Demo).isFile())
        return badArguments(QStringLiteral("the demo \"%1\" is no file").arg(arguments.Demo));
    if (!arguments.Results.isEmpty() && !QFileInfo(arguments.Results).isDir())
        return badArguments(
            QStringLiteral("the results folder \"%1\" does not exist").arg(arguments.Results));

    setTopLevelErrorReport([](const std::exception& error) {
        write(stderr,
              QStringLiteral("Error: ") + QString::fromLocal8Bit(error.what()) + QLatin1Char('\n'));
    });
    // Registered as a copy of the program, so a window started meanwhile does not fight this
    // series over the game either.
    SingleInstanceGuard instances;
    if (instances.OtherCopyRunning()) {
        write(stderr, QStringLiteral("Quillon Varnholt is running already; close it before "
                                     "running a series from the command line.\n"));
        return CommandLineSeries::ExitNoReport;
    }
    instances.SetRunsCommandLineSeries(true);

    platform::InterruptSignals interrupts(platform::StopSignals());
    CommandLineEnvironment environment;
    environment.programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    environment.registryDirectory = registryDir();
    environment.out = [](const QString& text) { write(stdout, text); };
    environment.err = [](const QString& text) { write(stderr, text); };
    environment.progressBar = platform::StandardErrorIsTerminal();
    CommandLineSeries series(environment, arguments);
    QObject::connect(&interrupts, &platform::InterruptSignals::interrupted, &series,
                     &CommandLineSeries::Interrupt);
    QObject::connect(&series, &CommandLineSeries::Finished, &app,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &series, &CommandLineSeries::Start);
    const int status = QCoreApplication::exec();
    setTopLevelErrorReport({});
    return status;
}
