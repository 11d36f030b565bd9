#include "run/MangoHudLog.h"

#include "platform/LargePages.h"
#include "platform/PieceReading.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <bit>
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

// Powers of ten a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A field of the plain form MangoHud writes ("[-]digits[.digits]") read without
// std::from_chars, to the very same double: digits that a double holds exactly, divided by an
// exact power of ten, round once, as from_chars does. False for any other form, which is left
// to from_chars.
bool plainDecimal(const char* begin, const char* end, double& value) {
    const char* at = begin;
    const bool negative = at < end && *at == '-';
    at += negative;
    std::uint64_t digits = 0;
    int count = 0;
    while (at < end && static_cast<unsigned char>(*at - '0') < 10 && count < 19) {
        digits = digits * 10 + static_cast<unsigned>(*at++ - '0');
        ++count;
    }
    if (count == 0)
        return false;
    int fraction = 0;
    if (at < end && *at == '.') {
        ++at;
        while (at < end && static_cast<unsigned char>(*at - '0') < 10 && count < 19) {
            digits = digits * 10 + static_cast<unsigned>(*at++ - '0');
            ++count;
            ++fraction;
        }
        if (fraction == 0)
            return false;
    }
    if (at != end)
        return false;
    if (fraction == 0) {
        value = static_cast<double>(digits); // rounds once
    } else {
        if (digits > (std::uint64_t(1) << 53))
            return false;
        value = static_cast<double>(digits) / kExactPowersOfTen[fraction];
    }
    if (negative)
        value = -value;
    return true;
}

// Eight digits read at once (as little-endian bytes), or false when they are not all digits.
bool eightDigits(const char* at, std::uint64_t& value) {
    std::uint64_t chunk = 0;
    std::memcpy(&chunk, at, sizeof chunk);
    if (((chunk & 0xF0F0F0F0F0F0F0F0) |
         (((chunk + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) != 0x3333333333333333)
        return false;
    chunk = (chunk & 0x0F0F0F0F0F0F0F0F) * 2561 >> 8;
    chunk = (chunk & 0x00FF00FF00FF00FF) * 6553601 >> 16;
    value = (chunk & 0x0000FFFF0000FFFF) * 42949672960001 >> 32;
    return true;
}

// A field of digits alone, as MangoHud writes both times: its value, the same as fieldNumber
// gives, found quickly. False for any other field.
bool wholeField(const char* begin, const char* end, double& value) {
    const std::ptrdiff_t length = end - begin;
    if (length < 1 || length > 19)
        return false;
    std::uint64_t whole = 0;
    const char* at = begin;
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t eight = 0;
        if (length >= 8 && eightDigits(at, eight)) {
            whole = eight;
            at += 8;
            if (end - at >= 8 && eightDigits(at, eight)) {
                whole = whole * 100000000 + eight;
                at += 8;
            }
        }
    }
    while (at < end && static_cast<unsigned char>(*at - '0') < 10)
        whole = whole * 10 + static_cast<unsigned>(*at++ - '0');
    if (at != end)
        return false;
    value = static_cast<double>(whole); // rounds once, as from_chars does
    return true;
}

// A whole field as a finite number that is not negative.
std::optional<double> fieldNumber(const char* begin, const char* end) {
    begin = trimFront(begin, end);
    end = trimBack(begin, end);
    if (begin == end)
        return std::nullopt;
    double value = 0;
    if (plainDecimal(begin, end, value))
        return value < 0 ? std::nullopt : std::optional<double>(value);
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
    if (plainDecimal(begin, end, value))
        return static_cast<float>(value);
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end || !std::isfinite(value))
        return std::numeric_limits<float>::quiet_NaN();
    return static_cast<float>(value);
}

// The end of the field that starts at `at`: its comma, or the line's end.
const char* endOfField(const char* at, const char* end) {
    // Fields are short: a plain loop beats a call to memchr.
    while (at < end && *at != ',')
        ++at;
    return at;
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
             const char*& fieldStop) {
    const char* at = begin;
    for (int i = 0; i < column; ++i) {
        at = endOfField(at, end);
        if (at == end)
            return false;
        ++at;
    }
    fieldBegin = at;
    fieldStop = endOfField(at, end);
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
    expectedBytes_ = std::min(bytes, kMaxMangoHudLogBytes);
    // A frame's row is some 20 bytes at the least; the first rows tell how long they are.
    frames_.reserve(std::min(expectedBytes_ / 20, kFramesBeforeEstimate));
    // At most a sample every quarter second of frames of a millisecond or more.
    sensors_.reserve(std::min(bytes, kMaxMangoHudLogBytes) / 20 / 250 + 16);
}

void MangoHudLogParser::Feed(const char* data, std::size_t size) {
    lines_.Feed(data, size, [this](const char* begin, const char* end) { line(begin, end); });
}

void MangoHudLogParser::growFrames() {
    const std::size_t size = frames_.size();
    // The rest of the file in rows as short as the shortest so far, and a quarter more, since
    // later rows may be shorter; at least an eighth more, so that a file that grows while it
    // is read is not copied for every few rows. Of a size unknown, twice as many.
    std::size_t rest = size;
    if (expectedBytes_ > 0) {
        rest = expectedBytes_ > readBytes_ ? (expectedBytes_ - readBytes_) / shortestRow_ : 0;
        rest = std::max(rest + rest / 4, size / 8);
    }
    rest = std::max(rest, kFramesBeforeEstimate);
    frames_.reserve(std::min(size + rest, kMaxMangoHudLogFrames));
    // The frames sure to come (rows an eighth longer than the longest so far) are written in
    // large pages; the room beyond them in small ones, so that it takes no memory if unused.
    if (expectedBytes_ > readBytes_) {
        const std::size_t sure =
            std::min((expectedBytes_ - readBytes_) / (longestRow_ + longestRow_ / 8),
                     frames_.capacity() - size);
        platform::AdviseLargePages(frames_.data() + size, sure * sizeof(LoggedFrame));
    }
}

void MangoHudLogParser::line(const char* begin, const char* end) {
    ++lineNumber_;
    readBytes_ += static_cast<std::size_t>(end - begin) + 1;
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
    const std::size_t row = static_cast<std::size_t>(end - begin) + 1;
    end = trimBack(begin, end);
    if (trimFront(begin, end) == end)
        return; // blank lines are no frames
    shortestRow_ = std::min(shortestRow_, row);
    longestRow_ = std::max(longestRow_, row);
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
        const char* stop = endOfField(at, end);
        starts[count] = at;
        ends[count++] = stop;
        if (stop == end)
            break;
        at = stop + 1;
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
    double micros = 0;
    if (!wholeField(frameBegin, frameEnd, micros)) {
        const std::optional<double> number = fieldNumber(frameBegin, frameEnd);
        if (!number) {
            fail(QStringLiteral("line %1: the frame time is no number").arg(lineNumber_));
            return;
        }
        micros = *number;
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
        double nanos = 0;
        if (!found || !wholeField(elapsedBegin, elapsedEnd, nanos)) {
            const std::optional<double> number =
                found ? fieldNumber(elapsedBegin, elapsedEnd) : std::nullopt;
            if (!number) {
                fail(QStringLiteral("line %1: the elapsed time is no number").arg(lineNumber_));
                return;
            }
            nanos = *number;
        }
        seconds = nanos / 1e9;
    } else {
        summedSeconds_ += micros / 1e6;
        seconds = summedSeconds_;
    }
    if (frames_.size() >= kMaxMangoHudLogFrames) {
        fail(QStringLiteral("the log has more than %1 frames").arg(kMaxMangoHudLogFrames));
        return;
    }
    if (frames_.size() == frames_.capacity())
        growFrames();
    frames_.push_back({static_cast<float>(micros / 1000.0), static_cast<float>(seconds)});
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
