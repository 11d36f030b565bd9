#include "results/ResultFile.h"

#include "results/DataFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>

namespace {

struct Damaged {
    QString reason;
};

[[noreturn]] void damaged(const QString& reason) {
    throw Damaged{reason};
}

QJsonValue member(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined())
        damaged(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
    return value;
}

QString text(const QJsonObject& object, const char* key) {
    const QJsonValue value = member(object, key);
    if (!value.isString())
        damaged(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
    return value.toString();
}

std::optional<double> numberOrNull(const QJsonObject& object, const char* key) {
    const QJsonValue value = member(object, key);
    if (value.isNull())
        return std::nullopt;
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        damaged(QStringLiteral("\"%1\" is not a number").arg(QLatin1String(key)));
    return value.toDouble();
}

std::optional<int> integerOrNull(const QJsonObject& object, const char* key) {
    const std::optional<double> value = numberOrNull(object, key);
    if (!value)
        return std::nullopt;
    if (*value != std::floor(*value) || std::fabs(*value) > 2147483647.0)
        damaged(QStringLiteral("\"%1\" is not a whole number").arg(QLatin1String(key)));
    return static_cast<int>(*value);
}

QJsonArray array(const QJsonObject& object, const char* key, int maxSize) {
    const QJsonValue value = member(object, key);
    if (!value.isArray())
        damaged(QStringLiteral("\"%1\" is not a list").arg(QLatin1String(key)));
    const QJsonArray list = value.toArray();
    if (list.size() > maxSize)
        damaged(
            QStringLiteral("\"%1\" has more than %2 entries").arg(QLatin1String(key)).arg(maxSize));
    return list;
}

ResultRowSummary readRow(const QJsonValue& value) {
    if (!value.isObject())
        damaged(QStringLiteral("a row is not an object"));
    const QJsonObject row = value.toObject();
    ResultRowSummary summary;
    summary.Caption = text(row, "caption");
    for (const QJsonValue& run : array(row, "runs", ResultFileMaxRuns)) {
        if (!run.isObject())
            damaged(QStringLiteral("a run is not an object"));
        summary.Fps.push_back(numberOrNull(run.toObject(), "fps"));
    }
    const std::optional<int> count = integerOrNull(row, "count");
    if (!count || *count < 0 || *count > static_cast<int>(summary.Fps.size()))
        damaged(QStringLiteral("\"count\" does not fit the runs"));
    summary.Count = *count;
    summary.Mean = numberOrNull(row, "mean");
    summary.Min = numberOrNull(row, "min");
    summary.Max = numberOrNull(row, "max");
    summary.StdDev = numberOrNull(row, "stddev");
    summary.Average = integerOrNull(row, "average");
    // Format 2: the row's lows, when its runs recorded frame times.
    if (const QJsonValue frames = row.value(QLatin1String("frame_times")); frames.isObject()) {
        summary.Low1 = numberOrNull(frames.toObject(), "low_1_percentile_fps");
        summary.Low01 = numberOrNull(frames.toObject(), "low_01_percentile_fps");
    }
    if (summary.Count > 0 && (!summary.Mean || !summary.Min || !summary.Max))
        damaged(QStringLiteral("a row with results has no mean, min or max"));
    return summary;
}

} // namespace

int JsonNestingDepth(const QByteArray& bytes, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : bytes) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

ResultFileRead ReadResultFile(const QByteArray& bytes) {
    ResultFileRead read;
    if (bytes.size() > ResultFileMaxBytes) {
        read.Problem = QStringLiteral("damaged: larger than %1 bytes").arg(ResultFileMaxBytes);
        return read;
    }
    if (JsonNestingDepth(bytes, ResultFileMaxDepth) > ResultFileMaxDepth) {
        read.Problem = QStringLiteral("damaged: nested deeper than %1").arg(ResultFileMaxDepth);
        return read;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        read.Problem = QStringLiteral("damaged: not JSON (%1 at byte %2)")
                           .arg(error.errorString())
                           .arg(error.offset);
        return read;
    }
    if (!document.isObject()) {
        read.Problem = QStringLiteral("damaged: not a JSON object");
        return read;
    }
    const QJsonObject root = document.object();
    const QJsonValue format = root.value(QLatin1String("format"));
    if (!format.isDouble()) {
        read.Problem = QStringLiteral("damaged: no format version");
        return read;
    }
    if (format.toDouble() != ResultFormatVersion && format.toDouble() != FrameTimesFormatVersion) {
        read.Problem =
            QStringLiteral("unknown format version %1").arg(DataNumber(format.toDouble()));
        return read;
    }
    try {
        ResultSummary summary;
        summary.Version = text(root, "version");
        summary.Note = text(root, "note");
        summary.Started = QDateTime::fromString(text(root, "started"), Qt::ISODate);
        if (!summary.Started.isValid())
            damaged(QStringLiteral("\"started\" is not a date and time"));
        for (const QJsonValue& row : array(root, "rows", ResultFileMaxRows))
            summary.Rows.push_back(readRow(row));
        read.Summary = std::move(summary);
    } catch (const Damaged& d) {
        read.Problem = QStringLiteral("damaged: ") + d.reason;
    }
    return read;
}
