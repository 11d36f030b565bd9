// dxdiag: the program's diagnostics tool. "dxdiag /whql:on /t FILE" writes a text report of
// this machine's display adapters and sound devices to FILE, in the 8-bit Western code page
// with CR LF line ends. $VARNHOLT_DXDIAG_ROOT, when set, is read in place of "/".

#include "LinuxFacts.h"
#include "ReportText.h"
#include "sysinfo/AnsiText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    // The caller passes the file unquoted, so a path with blanks arrives in pieces: everything
    // after "/t" is the file.
    QString file;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].compare(QLatin1String("/t"), Qt::CaseInsensitive) == 0) {
            file = args.mid(i + 1).join(QLatin1Char(' '));
            break;
        }
        // Other switches ("/whql:on" and the like) change nothing in a text report.
    }
    if (file.isEmpty()) {
        std::fputs("usage: dxdiag [/whql:on] /t FILE\n", stderr);
        return 2;
    }

    const LinuxFacts facts(qEnvironmentVariable("VARNHOLT_DXDIAG_ROOT"));
    const QStringList lines =
        DiagnosticsReport(QDateTime::currentDateTime().toString(Qt::TextDate), facts.Machine(),
                          facts.DisplayAdapters(), facts.SoundDevices());

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "dxdiag: cannot write %s: %s\n", qPrintable(file),
                     qPrintable(out.errorString()));
        return 1;
    }
    for (const QString& line : lines)
        out.write(ToAnsi(line) + "\r\n");
    if (!out.commit()) {
        std::fprintf(stderr, "dxdiag: cannot write %s: %s\n", qPrintable(file),
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
