// dxdiag: the program's diagnostics tool. "dxdiag /whql:on /t FILE" writes a text report of
// this machine's display adapters and sound devices to FILE, in the 8-bit Western code page
// with CR LF line ends. $VARNHOLT_DXDIAG_ROOT, when set, is read in place of "/".

#include "LinuxFacts.h"
#include "ReportText.h"
#include "platform/CommandLine.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "sysinfo/AnsiText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

namespace {

bool isSwitch(const QString& word) {
    return word.compare(QLatin1String("/t"), Qt::CaseInsensitive) == 0;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The file after "/t". The caller passes it unquoted, so a path with blanks arrives in pieces,
// and Linux hands a program its words only: a run of blanks inside the name is lost in them.
// The caller's command text (`commandText`, when given) keeps it; it is taken from there when
// its words after "/t" are the words this program got.
QString reportFile(const QStringList& words, const QString& commandText) {
    const qsizetype at = std::find_if(words.begin(), words.end(), isSwitch) - words.begin();
    if (at >= words.size())
        return QString();
    const QStringList pieces = words.mid(at + 1);
    const QString joined = pieces.join(QLatin1Char(' '));
    for (qsizetype i = 0; i + 2 <= commandText.size(); ++i) {
        const bool alone = (i == 0 || isBlank(commandText[i - 1])) &&
                           (i + 2 == commandText.size() || isBlank(commandText[i + 2]));
        if (!alone || !isSwitch(commandText.mid(i, 2)))
            continue;
        const QString rest = commandText.mid(i + 2).trimmed();
        if (!rest.contains(QLatin1Char('"')) && splitArguments(rest) == pieces)
            return rest;
        break; // the first "/t" is the switch
    }
    return joined;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString file =
        reportFile(app.arguments().mid(1), qEnvironmentVariable("VARNHOLT_COMMAND_LINE"));
    // Other switches ("/whql:on" and the like) change nothing in a text report.
    if (file.isEmpty()) {
        std::fputs("usage: dxdiag [/whql:on] /t FILE\n", stderr);
        return 2;
    }

    const LinuxFacts facts(qEnvironmentVariable("VARNHOLT_DXDIAG_ROOT"));
    const QStringList lines =
        DiagnosticsReport(QDateTime::currentDateTime().toString(Qt::TextDate), facts.Machine(),
                          facts.DisplayAdapters(), facts.SoundDevices());
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += ToAnsi(line) + "\r\n";
    try {
        platform::WriteFileAtomically(file, bytes);
    } catch (const AppError& e) {
        std::fprintf(stderr, "dxdiag: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
