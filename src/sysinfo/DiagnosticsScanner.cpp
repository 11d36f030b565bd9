#include "sysinfo/DiagnosticsScanner.h"

#include "sysinfo/AnsiText.h"

#include <array>

namespace {

// A line's value form: what follows its first "=", else the line less its first character,
// which drops the first blank of an indented "label: value" line.
QString valueForm(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq >= 0 ? line.mid(eq + 1) : line.mid(1);
}

// Blanks only; tabs stay.
QString withoutLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    return text.mid(i);
}

struct Search {
    QLatin1StringView label;
    qsizetype cut;
    std::optional<QString> DiagnosticsValues::*field;
};

} // namespace

QStringList DiagnosticsLines(const QByteArray& bytes) {
    const QByteArray head = bytes.left(MaxDiagnosticsReportSize);
    const qsizetype zero = head.indexOf('\0');
    const QString text = FromAnsi(zero >= 0 ? head.left(zero) : head);
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

DiagnosticsValues DiagnosticsScanner(const QStringList& lines) {
    static const std::array<Search, 4> searches = {{
        {QLatin1StringView("Card name:"), 10, &DiagnosticsValues::CardName},
        {QLatin1StringView("Display Memory:"), 15, &DiagnosticsValues::DisplayMemory},
        {QLatin1StringView("Driver Version:"), 15, &DiagnosticsValues::DriverVersion},
        {QLatin1StringView("Description:"), 11, &DiagnosticsValues::Description},
    }};

    DiagnosticsValues values;
    qsizetype first = 0; // the scanner only moves forward through the list
    for (const Search& search : searches) {
        if (first >= lines.size())
            break; // the report ended before an earlier label: the later ones are missing too
        const QString label = QString(search.label).toUpper();
        // Each search starts at the current first line, taken as it is.
        QString current = valueForm(lines[first]);
        bool found = true;
        while (!current.toUpper().contains(label)) {
            if (++first >= lines.size()) {
                found = false;
                break;
            }
            current = withoutLeadingBlanks(valueForm(lines[first]));
        }
        if (!found)
            break;
        QString value = current.mid(search.cut);
        if (search.field == &DiagnosticsValues::Description) {
            // The cut leaves ": name"; colon and blank go.
            const qsizetype colon = value.indexOf(QLatin1Char(':'));
            if (colon >= 0)
                value.remove(colon, 1);
            const qsizetype blank = value.indexOf(QLatin1Char(' '));
            if (blank >= 0)
                value.remove(blank, 1);
        }
        values.*search.field = value;
    }
    return values;
}
