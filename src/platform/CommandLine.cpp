#include "platform/CommandLine.h"

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

qsizetype skipBlanks(const QString& text, qsizetype i) {
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

// The executable a candidate name stands for, or an empty text.
QString findExecutable(const QString& name, const QStringList& searchFolders,
                       const std::function<bool(const QString&)>& isExecutable) {
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char('/')))
        return isExecutable(name) ? name : QString();
    for (const QString& folder : searchFolders) {
        if (folder.isEmpty())
            continue;
        const QString path =
            folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
        if (isExecutable(path))
            return path;
    }
    return {};
}

} // namespace

QStringList splitArguments(const QString& text) {
    QStringList args;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        i = skipBlanks(text, i);
        if (i >= n)
            break;
        QString arg;
        bool quoted = false;
        while (i < n) {
            const QChar c = text[i];
            if (!quoted && isBlank(c))
                break;
            if (c == QLatin1Char('\\')) {
                qsizetype j = i;
                while (j < n && text[j] == QLatin1Char('\\'))
                    ++j;
                const qsizetype count = j - i;
                if (j < n && text[j] == QLatin1Char('"')) {
                    arg += QString(count / 2, QLatin1Char('\\'));
                    if (count % 2 == 1) {
                        arg += QLatin1Char('"');
                        ++j;
                    }
                } else {
                    arg += QString(count, QLatin1Char('\\'));
                }
                i = j;
                continue;
            }
            if (c == QLatin1Char('"')) {
                if (quoted && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    arg += QLatin1Char('"');
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            arg += c;
            ++i;
        }
        args << arg;
    }
    return args;
}

CommandParts splitCommand(const QString& applicationName, const QString& commandLine,
                          const QStringList& searchFolders,
                          const std::function<bool(const QString&)>& isExecutable) {
    CommandParts parts;
    if (!applicationName.isEmpty()) {
        parts.program = applicationName;
        parts.resolved = isExecutable(applicationName);
        // A command text that begins with the program's own name keeps it whole as argv[0],
        // blanks and all: the process is known by that name.
        const qsizetype start = skipBlanks(commandLine, 0);
        const qsizetype end = start + applicationName.size();
        if (commandLine.mid(start, applicationName.size()) == applicationName &&
            (end == commandLine.size() || isBlank(commandLine[end]))) {
            parts.argv << applicationName << splitArguments(commandLine.mid(end));
            return parts;
        }
        parts.argv = splitArguments(commandLine);
        if (parts.argv.isEmpty())
            parts.argv << applicationName;
        return parts;
    }

    const qsizetype start = skipBlanks(commandLine, 0);
    if (start >= commandLine.size())
        return parts;

    QString written; // the program as it stands in the text
    qsizetype rest = commandLine.size();
    if (commandLine[start] == QLatin1Char('"')) {
        const qsizetype close = commandLine.indexOf(QLatin1Char('"'), start + 1);
        const qsizetype end = close < 0 ? commandLine.size() : close;
        written = commandLine.mid(start + 1, end - start - 1);
        rest = close < 0 ? commandLine.size() : close + 1;
        parts.program = findExecutable(written, searchFolders, isExecutable);
    } else {
        // Try every prefix that ends before a blank, shortest first, then the whole text.
        qsizetype firstEnd = -1;
        for (qsizetype i = start; i <= commandLine.size(); ++i) {
            const bool atEnd = i == commandLine.size();
            if (!atEnd && !isBlank(commandLine[i]))
                continue;
            if (isBlank(commandLine[i - 1]))
                continue; // the same prefix as at the previous blank
            if (firstEnd < 0)
                firstEnd = i;
            const QString candidate = commandLine.mid(start, i - start);
            const QString found = findExecutable(candidate, searchFolders, isExecutable);
            if (!found.isEmpty()) {
                written = candidate;
                parts.program = found;
                rest = i;
                break;
            }
        }
        if (parts.program.isEmpty()) {
            written = commandLine.mid(start, firstEnd - start);
            rest = firstEnd;
        }
    }

    parts.resolved = !parts.program.isEmpty();
    if (!parts.resolved)
        parts.program = written;
    parts.argv << written;
    parts.argv << splitArguments(commandLine.mid(rest));
    return parts;
}
