#include "run/ScoreReading.h"

#include <cmath>
#include <limits>
#include <type_traits>

namespace {

std::optional<double> toNumber(const QString& text, QLocale locale) {
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Nearest integer, a half going to the even neighbour.
double roundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

} // namespace

QStringList TextFileLines(const QByteArray& bytes) {
    QString text = QString::fromLocal8Bit(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

std::optional<QString> ReadRunScore(const QStringList& lines) {
    if (lines.size() < 4)
        return std::nullopt;
    return ScoreField(lines.at(3));
}

QString ScoreField(const QString& scoreLine) {
    if (scoreLine.count(QLatin1Char(',')) < 3)
        return QString();
    return scoreLine.section(QLatin1Char(','), 2, 2);
}

std::optional<double> ScoreNumber(const QString& text, const QLocale& locale) {
    if (const std::optional<double> value = toNumber(text, locale))
        return value;
    QString other = text;
    const qsizetype comma = other.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        other[comma] = QLatin1Char('.');
    } else {
        const qsizetype point = other.indexOf(QLatin1Char('.'));
        if (point < 0)
            return std::nullopt;
        other[point] = QLatin1Char(',');
    }
    return toNumber(other, locale);
}

std::optional<int> ConvertScore(const QString& text, const QLocale& locale) {
    const std::optional<double> value = ScoreNumber(text, locale);
    if (!value)
        return std::nullopt;
    const double rounded = roundHalfEven(*value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

std::optional<QList<QStringList>> CsvRecords(const QString& text, qsizetype maxFields,
                                             CsvBrokenQuote brokenQuote) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false; // the record has a field in progress, maybe an empty one
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != QLatin1Char('"')) {
                field += c;
            } else if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = true;
            fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
            fieldStarted = true;
            if (record.size() >= maxFields)
                return std::nullopt;
        } else if (c == QLatin1Char('\n') ||
                   (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))) {
            if (c == QLatin1Char('\r'))
                ++i;
            if (fieldStarted || !field.isEmpty() || !record.isEmpty())
                record << field;
            records << record;
            record.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field += c;
        }
    }
    if (quoted) {
        if (brokenQuote == CsvBrokenQuote::Refuse)
            return std::nullopt;
        // The open quote took the rest of the text into its field: that field is dropped.
        if (!record.isEmpty())
            records << record;
        return records;
    }
    if (fieldStarted || !field.isEmpty() || !record.isEmpty()) {
        record << field;
        records << record;
    }
    return records;
}

namespace {

qsizetype columnOf(const QStringList& header, QLatin1String name) {
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (header[i].trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

template <class T>
std::optional<T> numberIn(const QStringList& header, const QStringList& row, QLatin1String name) {
    const qsizetype column = columnOf(header, name);
    if (column < 0 || column >= row.size())
        return std::nullopt;
    const QString text = row[column].trimmed();
    bool ok = false;
    if constexpr (std::is_same_v<T, double>) {
        const double value = QLocale::c().toDouble(text, &ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        return value;
    } else if constexpr (std::is_same_v<T, int>) {
        const int value = QLocale::c().toInt(text, &ok);
        return ok ? std::optional<int>(value) : std::nullopt;
    } else {
        const qint64 value = QLocale::c().toLongLong(text, &ok);
        return ok ? std::optional<qint64>(value) : std::nullopt;
    }
}

// The line of `bytes` at `index` (from 0), lines ending at CR LF, LF or CR as TextFileLines
// splits them; nothing when there are not that many. Only that line is made a text.
std::optional<QString> lineAt(const QByteArray& bytes, qsizetype index) {
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype seen = 0; seen < index; ++seen) {
        qsizetype at = start;
        while (at < n && bytes[at] != '\n' && bytes[at] != '\r')
            ++at;
        if (at == n)
            return std::nullopt;
        start = at + (bytes[at] == '\r' && at + 1 < n && bytes[at + 1] == '\n' ? 2 : 1);
    }
    if (start == n)
        return std::nullopt; // the last line end closes the last line
    qsizetype end = start;
    while (end < n && bytes[end] != '\n' && bytes[end] != '\r')
        ++end;
    return QString::fromLocal8Bit(bytes.constData() + start, end - start);
}

// The fields of one line of today's result file. The engine writes one row per line, so a
// quote never spans lines: one left open costs only the fields from it on.
QStringList lineFields(const QByteArray& line,
                       CsvBrokenQuote brokenQuote = CsvBrokenQuote::KeepFieldsBefore) {
    const std::optional<QList<QStringList>> records =
        CsvRecords(QString::fromLocal8Bit(line), 4096, brokenQuote);
    return records && !records->isEmpty() ? records->first() : QStringList();
}

// The line of `bytes` from `begin` to `end` without its line end (LF, CR LF).
QByteArray lineBetween(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    if (end > begin && bytes[end - 1] == '\r')
        --end;
    return bytes.mid(begin, end - begin);
}

bool blank(const QByteArray& line) {
    return line.trimmed().isEmpty();
}

} // namespace

RunResult ReadRunResult(const QByteArray& bytes) {
    RunResult result;
    if (bytes.size() > kMaxResultFileBytes)
        return result;
    // Today's engine names its columns in a first line; the system's game did not.
    const qsizetype firstEnd = bytes.indexOf('\n');
    const QByteArray firstLine = lineBetween(bytes, 0, firstEnd < 0 ? bytes.size() : firstEnd);
    const QStringList header = lineFields(firstLine, CsvBrokenQuote::Refuse);
    const qsizetype fps = columnOf(header, QLatin1String("fps"));
    if (fps < 0) {
        const std::optional<QString> scoreLine = lineAt(bytes, 3);
        if (scoreLine)
            result.ScoreText = ScoreField(*scoreLine);
        return result;
    }
    if (firstEnd < 0)
        return result;

    // The last line that is not blank, found from the end: rows are lines, and a file of
    // millions of them is never split whole.
    QByteArray last;
    qsizetype end = bytes.size();
    while (end > firstEnd + 1) {
        qsizetype begin = end;
        while (begin > firstEnd + 1 && bytes[begin - 1] != '\n')
            --begin;
        const QByteArray line = lineBetween(bytes, begin, end);
        if (!blank(line)) {
            last = line;
            break;
        }
        end = begin - 1;
    }
    if (last.isEmpty())
        return result;
    const QStringList row = lineFields(last);
    if (fps >= row.size())
        return result;
    const QString score = row[fps].trimmed();
    if (!ConvertScore(score, QLocale::c()))
        return result;
    result.ScoreText = score;
    result.Played.Width = numberIn<int>(header, row, QLatin1String("width"));
    result.Played.Height = numberIn<int>(header, row, QLatin1String("height"));
    result.Played.Frames = numberIn<qint64>(header, row, QLatin1String("numframes"));
    result.Played.Seconds = numberIn<double>(header, row, QLatin1String("totaltime"));
    result.Played.Variability =
        numberIn<double>(header, row, QLatin1String("framerate variability"));
    return result;
}

std::optional<QString> PlayedSizeNote(const PlayedRun& played, const QString& askedWidth,
                                      const QString& askedHeight) {
    bool widthOk = false;
    bool heightOk = false;
    const int width = askedWidth.toInt(&widthOk);
    const int height = askedHeight.toInt(&heightOk);
    if (!played.Width || !played.Height || !widthOk || !heightOk)
        return std::nullopt;
    if (*played.Width == width && *played.Height == height)
        return std::nullopt;
    return QStringLiteral("The game ran at %1 x %2 instead of %3 x %4: Steam may have dropped the "
                          "launch options.")
        .arg(*played.Width)
        .arg(*played.Height)
        .arg(width)
        .arg(height);
}
