#include "run/MangoHudLog.h"

#include "platform/PieceReading.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

const char* trimFront(const char* begin, const char* end) {
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    return begin;
}

const char* trimBack(const char* begin, const char* end) {
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
    return end;
}

// A whole field as a finite number that is not negative.
std::optional<double> fieldNumber(const char* begin, const char* end) {
    begin = trimFront(begin, end);
    end = trimBack(begin, end);
    if (begin == end)
        return std::nullopt;
    // Most fields are whole numbers (MangoHud 0.6.8 writes both times so): read directly.
    if (end - begin <= 18) {
        std::uint64_t whole = 0;
        const char* at = begin;
        while (at < end && static_cast<unsigned char>(*at - '0') < 10)
            whole = whole * 10 + static_cast<unsigned>(*at++ - '0');
        if (at == end)
            return static_cast<double>(whole);
    }
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

// A sensor's field: any finite number, else NaN (a sensor MangoHud could not read).
float sensorNumber(const char* begin, const char* end) {
    begin = trimFront(begin, end);
    end = trimBack(begin, end);
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end || !std::isfinite(value))
        return std::numeric_limits<float>::quiet_NaN();
    return static_cast<float>(value);
}

// Whether a line starts the header of another log appended to the same file.
bool startsLog(const char* begin, const char* end) {
    if (begin == end || (*begin != 'o' && *begin != 'v'))
        return false; // a row starts with its frame rate
    const std::string_view line(begin, static_cast<std::size_t>(trimBack(begin, end) - begin));
    return line.starts_with("os,") || line == "v1";
}

// The field `column` of a line: its start and end.
bool fieldAt(const char* begin, const char* end, int column, const char*& fieldBegin,
             const char*& fieldEnd) {
    const char* at = begin;
    for (int i = 0; i < column; ++i) {
        const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
        if (!comma)
            return false;
        at = static_cast<const char*>(comma) + 1;
    }
    const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
    fieldBegin = at;
    fieldEnd = comma ? static_cast<const char*>(comma) : end;
    return true;
}

} // namespace

void MangoHudLogParser::fail(const QString& why) {
    lines_.Fail(why);
    frames_ = {};
    parts_ = {};
    sensors_ = {};
}

void MangoHudLogParser::ExpectBytes(std::size_t bytes) {
    // A frame's row is some 20 bytes at the least.
    frames_.reserve(std::min(bytes, kMaxMangoHudLogBytes) / 20);
    // At most a sample every quarter second of frames of a millisecond or more.
    sensors_.reserve(std::min(bytes, kMaxMangoHudLogBytes) / 20 / 250 + 16);
}

void MangoHudLogParser::Feed(const char* data, std::size_t size) {
    lines_.Feed(data, size, [this](const char* begin, const char* end) { line(begin, end); });
}

void MangoHudLogParser::line(const char* begin, const char* end) {
    ++lineNumber_;
    if (frameColumn_ >= 0 && startsLog(begin, end)) {
        // Another log appended to the file: its own header, columns and clock.
        frameColumn_ = -1;
        headerStart_ = lineNumber_ - 1;
    }
    if (frameColumn_ < 0) {
        if (!headerLine(begin, end) &&
            lineNumber_ - headerStart_ >= std::size_t(kMangoHudHeaderLines))
            fail(QStringLiteral("no \"frametime\" column in the first %1 lines")
                     .arg(kMangoHudHeaderLines));
        return;
    }
    end = trimBack(begin, end);
    if (trimFront(begin, end) == end)
        return; // blank lines are no frames
    frameLine(begin, end);
}

bool MangoHudLogParser::headerLine(const char* begin, const char* end) {
    end = trimBack(begin, end);
    int column = 0;
    int frame = -1;
    int elapsed = -1;
    std::array<int, kSensorCount> sensors;
    sensors.fill(-1);
    bool newer = false;
    const char* at = begin;
    for (;;) {
        const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
        const char* fieldEnd = comma ? static_cast<const char*>(comma) : end;
        const char* b = trimFront(at, fieldEnd);
        const std::string_view name(b, static_cast<std::size_t>(trimBack(b, fieldEnd) - b));
        if (name == "frametime" && frame < 0)
            frame = column;
        else if (name == "elapsed" && elapsed < 0)
            elapsed = column;
        for (std::size_t i = 0; i < kSensorCount; ++i)
            if (name == kSensorColumns[i] && sensors[i] < 0)
                sensors[i] = column;
        newer = newer || name == "swap_used" || name == "process_rss" || name == "cpu_power" ||
                name == "cpu_mhz";
        ++column;
        if (!comma)
            break;
        at = fieldEnd + 1;
    }
    if (frame < 0)
        return false;
    if (parts_.size() >= kMaxMangoHudLogParts) {
        fail(QStringLiteral("the log holds more than %1 logs").arg(kMaxMangoHudLogParts));
        return true;
    }
    frameColumn_ = frame;
    elapsedColumn_ = elapsed;
    columnCount_ = column;
    sensorColumns_ = sensors;
    newerColumns_ = newerColumns_ || newer;
    summedSeconds_ = 0;
    nextSample_ = 0;
    closePart();
    parts_.push_back({frames_.size(), 0});
    return true;
}

void MangoHudLogParser::closePart() {
    if (!parts_.empty())
        parts_.back().Count = frames_.size() - parts_.back().First;
}

void MangoHudLogParser::sample(const char* begin, const char* end, double seconds) {
    SensorSample s;
    s.AtSeconds = static_cast<float>(seconds);
    s.Part = static_cast<std::uint32_t>(parts_.size() - 1);
    s.Values.fill(std::numeric_limits<float>::quiet_NaN());
    // The fields of the row, cut once.
    constexpr int kMaxFields = 64;
    const char* starts[kMaxFields];
    const char* ends[kMaxFields];
    int count = 0;
    for (const char* at = begin; count < kMaxFields;) {
        const void* comma = std::memchr(at, ',', static_cast<std::size_t>(end - at));
        starts[count] = at;
        ends[count++] = comma ? static_cast<const char*>(comma) : end;
        if (!comma)
            break;
        at = static_cast<const char*>(comma) + 1;
    }
    for (std::size_t i = 0; i < kSensorCount; ++i) {
        const int column = sensorColumns_[i];
        if (column >= 0 && column < count)
            s.Values[i] = sensorNumber(starts[column], ends[column]);
    }
    sensors_.push_back(s);
}

void MangoHudLogParser::frameLine(const char* begin, const char* end) {
    const char* frameBegin = nullptr;
    const char* frameEnd = nullptr;
    if (!fieldAt(begin, end, frameColumn_, frameBegin, frameEnd)) {
        fail(QStringLiteral("line %1 has no frame time").arg(lineNumber_));
        return;
    }
    const std::optional<double> micros = fieldNumber(frameBegin, frameEnd);
    if (!micros) {
        fail(QStringLiteral("line %1: the frame time is no number").arg(lineNumber_));
        return;
    }
    double seconds = 0;
    if (elapsedColumn_ >= 0) {
        const char* elapsedBegin = nullptr;
        const char* elapsedEnd = end;
        bool found = false;
        if (elapsedColumn_ == columnCount_ - 1) {
            // The last column, as MangoHud writes it: found from the line's end.
            const char* at = end;
            while (at > frameEnd && at[-1] != ',')
                --at;
            found = at > frameEnd;
            elapsedBegin = at;
        } else {
            found = fieldAt(begin, end, elapsedColumn_, elapsedBegin, elapsedEnd);
        }
        const std::optional<double> nanos =
            found ? fieldNumber(elapsedBegin, elapsedEnd) : std::nullopt;
        if (!nanos) {
            fail(QStringLiteral("line %1: the elapsed time is no number").arg(lineNumber_));
            return;
        }
        seconds = *nanos / 1e9;
    } else {
        summedSeconds_ += *micros / 1e6;
        seconds = summedSeconds_;
    }
    if (frames_.size() >= kMaxMangoHudLogFrames) {
        fail(QStringLiteral("the log has more than %1 frames").arg(kMaxMangoHudLogFrames));
        return;
    }
    frames_.push_back({static_cast<float>(*micros / 1000.0), static_cast<float>(seconds)});
    if (seconds >= nextSample_) {
        nextSample_ = seconds + kSensorSampleSeconds;
        sample(begin, end, seconds);
    }
}

MangoHudLogRead MangoHudLogParser::Finish() {
    lines_.Finish([this](const char* begin, const char* end) { line(begin, end); });
    MangoHudLogRead read;
    if (!lines_.Failed() && frameColumn_ < 0)
        fail(QStringLiteral("no \"frametime\" column"));
    if (lines_.Failed()) {
        read.Problem = lines_.Problem();
        return read;
    }
    closePart();
    read.Frames = std::move(frames_);
    read.Parts = std::move(parts_);
    read.Sensors = std::move(sensors_);
    read.NewerColumns = newerColumns_;
    frames_ = {};
    parts_ = {};
    sensors_ = {};
    return read;
}

MangoHudLogRead ReadMangoHudLog(const QByteArray& bytes) {
    MangoHudLogParser parser;
    parser.Feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return parser.Finish();
}

MangoHudLogRead ReadMangoHudLogFile(const QString& path) {
    MangoHudLogParser parser;
    const std::optional<QString> why = platform::ReadOwnFileInPieces(
        path, kMaxMangoHudLogBytes,
        [&parser](const char* data, std::size_t size) { parser.Feed(data, size); },
        [&parser](std::size_t size) { parser.ExpectBytes(size); });
    if (why) {
        MangoHudLogRead read;
        read.Problem = *why;
        return read;
    }
    return parser.Finish();
}

bool IsMangoHudLogName(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^.+_\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}\\.csv$"));
    return pattern.match(fileName).hasMatch();
}

QString NewestMangoHudLog(const QString& folder, qint64 since) {
    QString newest;
    qint64 newestTime = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        if (!IsMangoHudLogName(file.fileName()))
            continue;
        const qint64 written = file.lastModified().toSecsSinceEpoch();
        if (written < since || (!newest.isEmpty() && written < newestTime))
            continue;
        // Of two logs of the same second, the later name.
        if (!newest.isEmpty() && written == newestTime &&
            file.fileName() < QFileInfo(newest).fileName())
            continue;
        newest = file.absoluteFilePath();
        newestTime = written;
    }
    return newest;
}
