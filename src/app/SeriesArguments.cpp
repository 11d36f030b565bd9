#include "app/SeriesArguments.h"

#include "model/SlotTable.h"

#include <QRegularExpression>

namespace {

// The table's row of that size; nothing for a size the table does not have.
std::optional<int> tableSlotOf(const ScreenSizeArgument& size) {
    for (const ResolutionSlot& slot : FixedSlots())
        if (slot.Width.toInt() == size.Width && slot.Height.toInt() == size.Height)
            return slot.SlotIndex;
    return std::nullopt;
}

const QStringList& optionNames() {
    static const QStringList names = {
        QStringLiteral("--run"),         QStringLiteral("--resolution"),
        QStringLiteral("--runs"),        QStringLiteral("--demo"),
        QStringLiteral("--results"),     QStringLiteral("--note"),
        QStringLiteral("--start-steam"), QStringLiteral("--help"),
        QStringLiteral("--version"),     QStringLiteral("--frame-times"),
    };
    return names;
}

bool takesValue(const QString& name) {
    return name == QLatin1String("--resolution") || name == QLatin1String("--runs") ||
           name == QLatin1String("--demo") || name == QLatin1String("--results") ||
           name == QLatin1String("--note");
}

ParsedArguments failure(const QString& error) {
    return ParsedArguments{std::nullopt, error};
}

} // namespace

bool IsCommandLineUse(const QStringList& arguments) {
    for (const QString& argument : arguments)
        if (!argument.startsWith(QLatin1Char('/')))
            return true;
    return false;
}

std::optional<ScreenSizeArgument> ParseScreenSize(const QString& text) {
    // Anchored at the very end: "$" would also take a size followed by a line end.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{1,5})[xX\u00D7]([0-9]{1,5})")));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width < 1 || height < 1 || width > MaxScreenSide || height > MaxScreenSide)
        return std::nullopt;
    return ScreenSizeArgument{width, height};
}

ParsedArguments ParseSeriesArguments(const QStringList& arguments) {
    if (arguments.size() > MaxArguments)
        return failure(QStringLiteral("too many arguments (at most %1)").arg(MaxArguments));
    SeriesArguments parsed;
    bool run = false, help = false, version = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.size() > MaxArgumentLength)
            return failure(
                QStringLiteral("an argument is longer than %1 characters").arg(MaxArgumentLength));
        QString name = argument == QLatin1String("-h") ? QStringLiteral("--help") : argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('='));
            argument.startsWith(QLatin1String("--")) && equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        if (!optionNames().contains(name))
            return failure(QStringLiteral("unknown argument \"%1\"").arg(argument));
        if (takesValue(name)) {
            if (!value) {
                if (i + 1 >= arguments.size())
                    return failure(QStringLiteral("%1 needs a value").arg(name));
                value = arguments[++i];
                if (value->size() > MaxArgumentLength)
                    return failure(QStringLiteral("an argument is longer than %1 characters")
                                       .arg(MaxArgumentLength));
            }
        } else if (value) {
            return failure(QStringLiteral("%1 takes no value").arg(name));
        }

        if (name == QLatin1String("--run")) {
            run = true;
        } else if (name == QLatin1String("--help")) {
            help = true;
        } else if (name == QLatin1String("--version")) {
            version = true;
        } else if (name == QLatin1String("--start-steam")) {
            parsed.StartSteam = true;
        } else if (name == QLatin1String("--frame-times")) {
            parsed.FrameTimes = true;
        } else if (name == QLatin1String("--resolution")) {
            const std::optional<ScreenSizeArgument> size = ParseScreenSize(*value);
            if (!size)
                return failure(
                    QStringLiteral("\"%1\" is not a screen size such as 1024x768").arg(*value));
            for (const ScreenSizeArgument& earlier : parsed.Resolutions) {
                if (earlier == *size)
                    return failure(QStringLiteral("the size %1 is given twice").arg(*value));
                if (!tableSlotOf(earlier) && !tableSlotOf(*size))
                    return failure(QStringLiteral("only one size outside the table can be run "
                                                  "(as the custom resolution): %1x%2 and %3")
                                       .arg(earlier.Width)
                                       .arg(earlier.Height)
                                       .arg(*value));
            }
            parsed.Resolutions.push_back(*size);
        } else if (name == QLatin1String("--runs")) {
            bool ok = false;
            const int runs = value->toInt(&ok);
            if (!ok || runs < 1 || runs > 5 || *value != QString::number(runs))
                return failure(QStringLiteral("--runs takes a number from 1 to 5"));
            parsed.Runs = runs;
        } else if (name == QLatin1String("--demo")) {
            if (value->isEmpty())
                return failure(QStringLiteral("--demo needs a file"));
            // The game plays recordings only; anything else would cost a whole series.
            if (!value->endsWith(QLatin1String(".dem"), Qt::CaseInsensitive))
                return failure(
                    QStringLiteral("--demo takes a demo recording (.dem): \"%1\"").arg(*value));
            parsed.Demo = *value;
        } else if (name == QLatin1String("--results")) {
            if (value->isEmpty())
                return failure(QStringLiteral("--results needs a folder"));
            parsed.Results = *value;
        } else if (name == QLatin1String("--note")) {
            if (value->size() > NoteMaxLength)
                return failure(
                    QStringLiteral("the note has more than %1 characters").arg(NoteMaxLength));
            parsed.Note = *value;
        }
    }
    if (help) {
        parsed.Do = SeriesArguments::Action::Help;
        return ParsedArguments{parsed, QString()};
    }
    if (version) {
        // A run asked for and not made must not end as a success.
        if (run)
            return failure(QStringLiteral("--version and --run do not go together"));
        parsed.Do = SeriesArguments::Action::Version;
        return ParsedArguments{parsed, QString()};
    }
    if (!run)
        return failure(QStringLiteral("--run is missing"));
    return ParsedArguments{parsed, QString()};
}

BenchmarkSettings WithArguments(BenchmarkSettings s, const SeriesArguments& arguments,
                                const QString& demoPath, const QString& resultsFolder) {
    if (!arguments.Resolutions.empty()) {
        s.ResolutionChecked.fill(false);
        s.CustomChecked = false;
        for (const ScreenSizeArgument& size : arguments.Resolutions) {
            if (const std::optional<int> slot = tableSlotOf(size)) {
                s.ResolutionChecked[static_cast<size_t>(*slot)] = true;
            } else {
                s.CustomChecked = true;
                s.CustomWidth = QString::number(size.Width);
                s.CustomHeight = QString::number(size.Height);
            }
        }
    }
    if (arguments.Runs)
        s.RunCount = *arguments.Runs;
    if (!demoPath.isEmpty()) {
        s.Demo = DemoKind::Custom;
        s.CustomDemoPath = demoPath;
    }
    if (!resultsFolder.isEmpty())
        s.ResultsFolder = ResultsFolderFromChosen(resultsFolder);
    // The window's note labels the window's series; a script's series has its own or none.
    s.Note = arguments.Note.value_or(QString());
    return s;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: varnholt --run [--resolution WxH]... [--runs N] [--demo PATH]\n"
        "                [--results DIR] [--note TEXT] [--start-steam] [--frame-times]\n"
        "       varnholt --help | --version\n"
        "\n"
        "Runs one benchmark series without the window and exits. Options not given are\n"
        "taken as the window stored them, except the note: without --note there is none.\n"
        "\n"
        "  --run             run a series\n"
        "  --resolution WxH  a size to run, repeatable: one of the table's sizes, or one\n"
        "                    other size as the custom resolution (each side 1 to 16384)\n"
        "  --runs N          runs per size, 1 to 5 (kept as the run count, as the Run\n"
        "                    button keeps the window's)\n"
        "  --demo PATH       a demo recording (.dem) to play instead of the stored choice\n"
        "  --results DIR     the folder that receives the report and the data files\n"
        "  --note TEXT       the note of the report, at most 50 characters\n"
        "  --start-steam     start the Steam client when it is not running\n"
        "  --frame-times     record every frame's time through MangoHud (the game's\n"
        "                    launch options in Steam: mangohud %command%)\n"
        "  -h, --help        show this text\n"
        "  --version         show the program's version\n"
        "\n"
        "Progress goes to standard error; a summary, the report's and the data files'\n"
        "paths to standard output. Exit status: 0 the report was written, 1 the series\n"
        "was refused, aborted or had no result, 2 bad arguments or a results folder\n"
        "that cannot be written, 128 + N stopped by signal N (130 Ctrl-C, 129 hang-up,\n"
        "131 quit, 143 termination): the game is ended and its configuration put back.\n");
}
