#include "update/HttpDate.h"

#include <QStringList>
#include <optional>

namespace {

const QStringList& DayNames() {
    static const QStringList names{"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    return names;
}

// 1 to 12, or 0 when not a month name.
int MonthNumber(const QString& token) {
    static const QStringList names{"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    return int(names.indexOf(token.toUpper())) + 1;
}

QString TrimmedLeft(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) {
        ++i;
    }
    return text.mid(i);
}

// The text up to `separator`; `rest` becomes what follows it, trimmed on the left.
QString TakeToken(QString& rest, QChar separator) {
    const qsizetype at = rest.indexOf(separator);
    const QString token = at < 0 ? rest : rest.left(at);
    rest = at < 0 ? QString() : TrimmedLeft(rest.mid(at + 1));
    return token;
}

std::optional<int> Number(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// "hh:mm:ss"; missing or unreadable parts count 0.
int TimeSeconds(const QString& token) {
    const QStringList parts = token.split(u':');
    int seconds = 0;
    const int weights[] = {3600, 60, 1};
    for (int i = 0; i < 3 && i < parts.size(); ++i) {
        seconds += Number(parts.at(i)).value_or(0) * weights[i];
    }
    return seconds;
}

// "+hhmm" or "-hhmm" in seconds; anything else (such as "GMT") counts 0.
int ZoneOffsetSeconds(const QString& rest) {
    if (rest.size() <= 4) {
        return 0;
    }
    const QString zone = rest.left(5);
    const QChar sign = zone.at(0);
    if (sign != u'+' && sign != u'-') {
        return 0;
    }
    for (int i = 1; i < 5; ++i) {
        if (!zone.at(i).isDigit()) {
            return 0;
        }
    }
    const int seconds = zone.mid(1, 2).toInt() * 3600 + zone.mid(3, 2).toInt() * 60;
    return sign == u'-' ? -seconds : seconds;
}

} // namespace

QDateTime ParseHTTPDate(const QString& input) {
    QString text = input.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    if (DayNames().contains(text.left(3).toUpper())) {
        const qsizetype blank = text.indexOf(u' ');
        text = blank < 0 ? QString() : TrimmedLeft(text.mid(blank + 1));
    }
    const qsizetype firstBlank = text.indexOf(u' ');
    const qsizetype dash = text.indexOf(u'-', 1);
    const QChar separator =
        dash >= 1 && (firstBlank < 0 || dash < firstBlank) ? QChar(u'-') : QChar(u' ');

    QString rest = text;
    const QString first = TakeToken(rest, separator);
    const QString second = TakeToken(rest, separator);
    int month = MonthNumber(first);
    QString dayText = second;
    if (month == 0) {
        month = MonthNumber(second);
        dayText = first;
    }
    if (month == 0) {
        return {};
    }
    const int day = Number(dayText).value_or(1);

    QString timeToken;
    const QString yearToken = TakeToken(rest, u' ');
    std::optional<int> year = Number(yearToken);
    if (!year) {
        // asctime: the time comes before the year.
        timeToken = yearToken;
        year = Number(rest);
        rest.clear();
        if (!year) {
            return {};
        }
    } else if (rest.contains(u':')) {
        timeToken = TakeToken(rest, u' ');
    }
    if (*year < 80) {
        *year += 2000;
    } else if (*year < 100) {
        *year += 1900;
    }
    const QDate date(*year, month, day);
    if (!date.isValid()) {
        return {};
    }
    QDateTime result(date, QTime(0, 0), Qt::UTC);
    result = result.addSecs(TimeSeconds(timeToken) - ZoneOffsetSeconds(rest.trimmed()));
    return result;
}
