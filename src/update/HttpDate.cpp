#include "update/HttpDate.h"

#include <QStringList>
#include <limits>
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

// A field that holds a number, or not; a number too long to hold is out of every range.
struct Field {
    bool number = false;
    qint64 value = 0;
};

constexpr qint64 OutOfRange = std::numeric_limits<qint64>::max();

Field ReadField(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == u'+' || t.at(i) == u'-')) {
        negative = t.at(i) == u'-';
        ++i;
    }
    if (i == t.size()) {
        return {};
    }
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c < u'0' || c > u'9') {
            return {};
        }
        value = value > 99999999 ? OutOfRange : value * 10 + (c.unicode() - u'0');
    }
    return {true, negative && value != OutOfRange ? -value : value};
}

bool InRange(qint64 value, qint64 low, qint64 high) {
    return value >= low && value <= high;
}

// "hh:mm:ss" in seconds; missing or unreadable parts count 0; nothing when a part is a number
// outside its range.
std::optional<int> TimeSeconds(const QString& token) {
    const QStringList parts = token.split(u':');
    const int weights[] = {3600, 60, 1};
    const int highest[] = {23, 59, 59};
    int seconds = 0;
    for (int i = 0; i < 3 && i < parts.size(); ++i) {
        const Field field = ReadField(parts.at(i));
        if (!field.number) {
            continue;
        }
        if (!InRange(field.value, 0, highest[i])) {
            return std::nullopt;
        }
        seconds += int(field.value) * weights[i];
    }
    return seconds;
}

// "+hhmm" or "-hhmm" in seconds; anything else (such as "GMT", or minutes beyond 59) counts 0.
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
        if (!zone.at(i).isDigit() || zone.at(i).unicode() > 127) {
            return 0;
        }
    }
    const int hours = zone.mid(1, 2).toInt();
    const int minutes = zone.mid(3, 2).toInt();
    if (hours > 23 || minutes > 59) {
        return 0;
    }
    const int seconds = hours * 3600 + minutes * 60;
    return sign == u'-' ? -seconds : seconds;
}

} // namespace

QDateTime ParseHTTPDate(const QString& input) {
    // A header value is at most 4096 bytes; anything longer is no date.
    if (input.size() > 4096) {
        return {};
    }
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
    // Every field is checked against its range before it is used.
    const Field day = ReadField(dayText);
    if (day.number && !InRange(day.value, 1, 31)) {
        return {};
    }

    QString timeToken;
    const QString yearToken = TakeToken(rest, u' ');
    Field year = ReadField(yearToken);
    if (!year.number) {
        // asctime: the time comes before the year.
        timeToken = yearToken;
        year = ReadField(rest);
        rest.clear();
        if (!year.number) {
            return {};
        }
    } else if (rest.contains(u':')) {
        timeToken = TakeToken(rest, u' ');
    }
    if (!InRange(year.value, 0, 9999)) {
        return {};
    }
    int fullYear = int(year.value);
    if (fullYear < 80) {
        fullYear += 2000;
    } else if (fullYear < 100) {
        fullYear += 1900;
    }
    const QDate date(fullYear, month, day.number ? int(day.value) : 1);
    const std::optional<int> time = TimeSeconds(timeToken);
    if (!date.isValid() || !time) {
        return {};
    }
    QDateTime result(date, QTime(0, 0), Qt::UTC);
    result = result.addSecs(*time - ZoneOffsetSeconds(rest.trimmed()));
    return result;
}
