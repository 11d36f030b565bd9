#include "run/ScoreReading.h"

#include "platform/Errors.h"

#include <cmath>
#include <limits>

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
    const QString& scoreLine = lines.at(3);
    if (scoreLine.count(QLatin1Char(',')) < 3)
        return QString();
    return scoreLine.section(QLatin1Char(','), 2, 2);
}

std::optional<int> ConvertScore(const QString& text, const QLocale& locale) {
    std::optional<double> value = toNumber(text, locale);
    if (!value) {
        QString other = text;
        const qsizetype comma = other.indexOf(QLatin1Char(','));
        if (comma >= 0) {
            other[comma] = QLatin1Char('.');
        } else {
            const qsizetype point = other.indexOf(QLatin1Char('.'));
            if (point >= 0)
                other[point] = QLatin1Char(',');
        }
        value = toNumber(other, locale);
    }
    if (!value)
        return std::nullopt;
    const double rounded = roundHalfEven(*value);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

int AverageScore(qint64 sum, int runCount) {
    if (runCount < 1)
        throw AppError(QStringLiteral("Division by zero"));
    return static_cast<int>(sum / runCount);
}
