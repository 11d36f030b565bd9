#include "results/FramesFile.h"

#include "platform/PieceReading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr std::string_view kHeader = "resolution,run,frame,ms";

// A whole field as a number of the kind asked for, as the program writes it: no blanks, no sign.
template <class Number> bool readField(const char* begin, const char* end, Number& value) {
    if (begin == end || *begin == '-' || *begin == '+')
        return false;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end;
}

// The comma before `end`, searching back from it; null when there is none after `begin`.
const char* commaBefore(const char* begin, const char* end) {
    while (end > begin) {
        --end;
        if (*end == ',')
            return end;
    }
    return nullptr;
}

// The caption field as the program writes it: as it is, or in double quotes with the quotes in
// it doubled where it holds a comma or a quote (RFC 4180). Nothing for anything else.
std::optional<QByteArray> captionField(const char* begin, const char* end) {
    if (begin == end || *begin != '"') {
        if (std::find(begin, end, '"') != end)
            return std::nullopt;
        return QByteArray(begin, end - begin);
    }
    if (end - begin < 2 || end[-1] != '"')
        return std::nullopt;
    QByteArray field;
    for (const char* at = begin + 1; at < end - 1; ++at) {
        if (*at == '"') {
            if (at + 1 == end - 1 || at[1] != '"')
                return std::nullopt;
            ++at;
        }
        field += *at;
    }
    return field;
}

} // namespace

FramesFileParser::FramesFileParser(const QString& caption, int run)
    : wanted_(caption.toUtf8()), wantedRun_(run) {}

void FramesFileParser::fail(const QString& why) {
    lines_.Fail(why);
    frames_ = {};
}

void FramesFileParser::Feed(const char* data, std::size_t size) {
    lines_.Feed(data, size, [this](const char* begin, const char* end) { line(begin, end); });
}

void FramesFileParser::line(const char* begin, const char* end) {
    ++lineNumber_;
    if (end > begin && end[-1] == '\r')
        --end;
    if (lineNumber_ == 1) {
        if (std::string_view(begin, static_cast<std::size_t>(end - begin)) != kHeader)
            fail(QStringLiteral("not a frames file (line 1 is not \"%1\")")
                     .arg(QLatin1String(kHeader.data(), qsizetype(kHeader.size()))));
        return;
    }
    const auto damaged = [this](const char* what) {
        fail(QStringLiteral("line %1: %2").arg(lineNumber_).arg(QLatin1String(what)));
    };
    // The numbers hold no comma: the last three fields are found from the line's end, and
    // what stands before them is the caption, quoted where it needs to be.
    const char* msComma = commaBefore(begin, end);
    const char* frameComma = msComma ? commaBefore(begin, msComma) : nullptr;
    const char* runComma = frameComma ? commaBefore(begin, frameComma) : nullptr;
    if (!runComma) {
        damaged("not four fields");
        return;
    }
    long long run = 0;
    long long frame = 0;
    double ms = 0;
    if (!readField(runComma + 1, frameComma, run) || run < 1 ||
        run > std::numeric_limits<int>::max()) {
        damaged("the run is no number");
        return;
    }
    if (!readField(frameComma + 1, msComma, frame) || frame < 1) {
        damaged("the frame is no number");
        return;
    }
    if (!readField(msComma + 1, end, ms) || !std::isfinite(ms) || ms > kMaxFrameMs) {
        damaged("the milliseconds are no frame time");
        return;
    }

    const QByteArray raw = QByteArray::fromRawData(begin, runComma - begin);
    const bool sameCaption = runs_ > 0 && raw == lastRaw_;
    if (!sameCaption) {
        if (!raw.startsWith('"') && raw.contains(',')) {
            damaged("more than four fields");
            return;
        }
        const std::optional<QByteArray> caption = captionField(begin, runComma);
        if (!caption) {
            damaged("the caption is not a field");
            return;
        }
        // A copy: `raw` points into the line, which the next piece overwrites.
        lastRaw_ = QByteArray(raw.constData(), raw.size());
        lastCaption_ = *caption;
    }
    const bool sameRun = runs_ > 0 && sameCaption && run == lastRun_;
    const bool wanted = lastCaption_ == wanted_ && run == wantedRun_;
    if (sameRun) {
        if (frame != lastFrame_ + 1) {
            damaged("the frames do not follow each other");
            return;
        }
    } else {
        if (frame != 1) {
            damaged("a run does not start at its first frame");
            return;
        }
        if (++runs_ > kMaxFramesFileRuns) {
            fail(QStringLiteral("more than %1 runs").arg(kMaxFramesFileRuns));
            return;
        }
        if (!frames_.empty())
            wantedDone_ = true;
        if (wanted && wantedDone_) {
            damaged("the run's frames stand in two places");
            return;
        }
        lastRun_ = run;
    }
    lastFrame_ = frame;
    if (static_cast<unsigned long long>(frame) > kMaxFramesPerRun) {
        fail(QStringLiteral("a run has more than %1 frames").arg(kMaxFramesPerRun));
        return;
    }
    if (wanted)
        frames_.push_back(static_cast<float>(ms));
}

FramesFileRead FramesFileParser::Finish() {
    lines_.Finish([this](const char* begin, const char* end) { line(begin, end); });
    if (!lines_.Failed() && lineNumber_ == 0)
        fail(QStringLiteral("empty"));
    FramesFileRead read;
    if (lines_.Failed()) {
        read.Problem = lines_.Problem();
        return read;
    }
    read.Ok = true;
    read.FrameMs = std::move(frames_);
    frames_ = {};
    return read;
}

FramesFileRead ReadFramesFile(const QByteArray& bytes, const QString& caption, int run) {
    FramesFileParser parser(caption, run);
    parser.Feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return parser.Finish();
}

FramesFileRead ReadFramesFileAt(const QString& path, const QString& caption, int run,
                                const std::atomic<bool>* stop) {
    FramesFileParser parser(caption, run);
    const std::optional<QString> why = platform::ReadOwnFileInPieces(
        path, kMaxFramesFileBytes,
        [&parser](const char* data, std::size_t size) { parser.Feed(data, size); }, {}, stop);
    if (why) {
        FramesFileRead read;
        read.Problem = *why;
        return read;
    }
    return parser.Finish();
}
