#include "results/ResultFile.h"

#include "results/DataFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace {

struct Damaged {
    QString reason;
};

[[noreturn]] void damaged(const QString& reason) {
    throw Damaged{reason};
}

struct NotJson {
    QString what;
    qsizetype at;
};

// A member the reader keeps: its kind, and its content when it is a number or a text. Lists
// and objects other than the rows and runs are stepped over, never held.
struct Kept {
    enum Kind { Absent, Null, Boolean, Number, Text, List, Object } kind = Absent;
    double number = 0; // a Boolean: 1 for true
    QString text;
};

// Format 2: a run's or a row's "frame_times", its kind and, for an object, its figures.
struct FiguresSeen {
    Kept kind;
    Kept frames, averageFps, low1, low01, low1Average, low01Average, slowest, median, stutters,
        stutterShare;
    Kept partial, share; // a run's only
    // A run's MangoHud sensors: per column its mean and peak, whether the GPU clock fell, and
    // the trace (NaN for null). `sensorDamage` names what is not as written.
    Kept clockFell, sensorsKind, traceKind;
    std::vector<std::pair<QString, std::pair<Kept, Kept>>> sensors;
    std::vector<std::vector<float>> trace; // seconds, gpu_core_clock, cpu_load, gpu_load
    QString sensorDamage;
};

// A run's sensor columns and trace points kept at most.
constexpr std::size_t kMaxSensorColumnsRead = 64;
constexpr const char* kTraceLists[] = {"seconds", "gpu_core_clock", "cpu_load", "gpu_load"};

struct RunSeen {
    bool object = false;
    Kept fps;
    FiguresSeen frameTimes;
    Kept reason;
};

struct RowSeen {
    bool object = false;
    Kept caption, count, mean, min, max, stddev, average;
    FiguresSeen frameTimes;
    Kept runsKind;
    qsizetype runCount = 0;
    std::vector<RunSeen> runs; // the first ResultFileMaxRuns + 1 only
};

struct FileSeen {
    bool object = false;
    Kept format, version, note, started;
    Kept rowsKind;
    qsizetype rowCount = 0;
    std::vector<RowSeen> rows; // the first ResultFileMaxRows + 1 only
};

// A JSON reader that walks the text once and keeps only the members a summary needs, so the
// memory it takes follows what is kept, not the size of the file.
class JsonWalk {
public:
    explicit JsonWalk(const QByteArray& bytes)
        : begin_(bytes.constData()), p_(begin_), end_(begin_ + bytes.size()) {}

    FileSeen File() {
        FileSeen seen;
        blanks();
        if (peek() == '{') {
            seen.object = true;
            members({{"format", &seen.format},
                     {"version", &seen.version},
                     {"note", &seen.note},
                     {"started", &seen.started}},
                    [&](const QString& key) {
                        if (key != QLatin1String("rows"))
                            return false;
                        rows(seen);
                        return true;
                    });
        } else {
            value(nullptr);
        }
        blanks();
        if (p_ != end_)
            fail(QStringLiteral("garbage at the end of the document"));
        return seen;
    }

private:
    [[noreturn]] void fail(const QString& what) const { throw NotJson{what, p_ - begin_}; }

    char peek() const { return p_ < end_ ? *p_ : '\0'; }

    void blanks() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    void expect(char c, const char* what) {
        blanks();
        if (peek() != c)
            fail(QString::fromLatin1(what));
        ++p_;
    }

    void enter() {
        if (++depth_ > ResultFileMaxDepth)
            fail(QStringLiteral("nested too deep"));
    }

    // `member(key)` reads the member's value.
    template <class Member> void object(Member member) {
        enter();
        expect('{', "object expected");
        blanks();
        if (peek() == '}') {
            ++p_;
            --depth_;
            return;
        }
        for (;;) {
            blanks();
            if (peek() != '"')
                fail(QStringLiteral("missing name of a member"));
            QString key;
            string(&key);
            expect(':', "missing name separator");
            member(key);
            blanks();
            if (peek() == ',') {
                ++p_;
                continue;
            }
            expect('}', "unterminated object");
            --depth_;
            return;
        }
    }

    // `element(index)` reads each element.
    template <class Element> void list(Element element) {
        enter();
        expect('[', "list expected");
        blanks();
        if (peek() == ']') {
            ++p_;
            --depth_;
            return;
        }
        for (qsizetype index = 0;; ++index) {
            element(index);
            blanks();
            if (peek() == ',') {
                ++p_;
                continue;
            }
            expect(']', "unterminated list");
            --depth_;
            return;
        }
    }

    using KeptMembers = std::initializer_list<std::pair<const char*, Kept*>>;

    // Reads an object: the members named in `kept` into their places, the others through
    // `other(key)`, which says whether it read the value; what nobody reads is passed over.
    template <class Other> void members(KeptMembers kept, Other other) {
        object([&](const QString& key) {
            for (const auto& [name, keep] : kept)
                if (key == QLatin1String(name)) {
                    value(keep);
                    return;
                }
            if (!other(key))
                value(nullptr);
        });
    }

    void rows(FileSeen& seen) {
        blanks();
        // A later "rows" replaces an earlier one, as a later member of the same name does.
        seen.rows.clear();
        seen.rowCount = 0;
        if (peek() != '[') {
            value(&seen.rowsKind);
            return;
        }
        seen.rowsKind = Kept{Kept::List, 0, {}};
        list([&](qsizetype index) {
            seen.rowCount = index + 1;
            if (index > ResultFileMaxRows) {
                value(nullptr);
                return;
            }
            seen.rows.emplace_back();
            row(seen.rows.back());
        });
    }

    void row(RowSeen& seen) {
        blanks();
        if (peek() != '{') {
            value(nullptr);
            return;
        }
        seen.object = true;
        members({{"caption", &seen.caption},
                 {"count", &seen.count},
                 {"mean", &seen.mean},
                 {"min", &seen.min},
                 {"max", &seen.max},
                 {"stddev", &seen.stddev},
                 {"average", &seen.average}},
                [&](const QString& key) {
                    if (key == QLatin1String("runs"))
                        runs(seen);
                    else if (key == QLatin1String("frame_times"))
                        frameTimes(seen.frameTimes);
                    else
                        return false;
                    return true;
                });
    }

    void frameTimes(FiguresSeen& seen) {
        blanks();
        seen = FiguresSeen{};
        if (peek() != '{') {
            value(&seen.kind);
            return;
        }
        seen.kind.kind = Kept::Object;
        members({{"frames", &seen.frames},
                 {"average_fps", &seen.averageFps},
                 {"low_1_percentile_fps", &seen.low1},
                 {"low_01_percentile_fps", &seen.low01},
                 {"low_1_average_fps", &seen.low1Average},
                 {"low_01_average_fps", &seen.low01Average},
                 {"slowest_frame_ms", &seen.slowest},
                 {"median_frame_ms", &seen.median},
                 {"stutters", &seen.stutters},
                 {"stutter_time_share", &seen.stutterShare},
                 {"partial", &seen.partial},
                 {"share", &seen.share},
                 {"clock_fell", &seen.clockFell}},
                [&](const QString& key) {
                    if (key == QLatin1String("sensors"))
                        sensors(seen);
                    else if (key == QLatin1String("sensor_trace"))
                        trace(seen);
                    else
                        return false;
                    return true;
                });
    }

    void sensors(FiguresSeen& seen) {
        blanks();
        seen.sensors.clear();
        if (peek() != '{') {
            value(&seen.sensorsKind);
            return;
        }
        seen.sensorsKind.kind = Kept::Object;
        object([&](const QString& key) {
            blanks();
            if (seen.sensors.size() >= kMaxSensorColumnsRead || peek() != '{') {
                seen.sensorDamage = QStringLiteral("\"sensors\" holds too many or no objects");
                value(nullptr);
                return;
            }
            seen.sensors.emplace_back(key, std::pair<Kept, Kept>{});
            auto& [mean, peak] = seen.sensors.back().second;
            members({{"mean", &mean}, {"peak", &peak}}, [](const QString&) { return false; });
        });
    }

    void trace(FiguresSeen& seen) {
        blanks();
        seen.trace.assign(std::size(kTraceLists), {});
        if (peek() != '{') {
            value(&seen.traceKind);
            return;
        }
        seen.traceKind.kind = Kept::Object;
        members({}, [&](const QString& key) {
            for (std::size_t i = 0; i < std::size(kTraceLists); ++i) {
                if (key != QLatin1String(kTraceLists[i]))
                    continue;
                std::vector<float>& values = seen.trace[i];
                values.clear();
                blanks();
                if (peek() != '[') {
                    seen.sensorDamage = QStringLiteral("a sensor trace is not a list");
                    value(nullptr);
                    return true;
                }
                list([&](qsizetype index) {
                    Kept point;
                    value(&point);
                    if (static_cast<std::size_t>(index) >= kMaxSensorTracePoints)
                        seen.sensorDamage = QStringLiteral("a sensor trace is too long");
                    else if (point.kind == Kept::Number)
                        values.push_back(static_cast<float>(point.number));
                    else if (point.kind == Kept::Null)
                        values.push_back(std::numeric_limits<float>::quiet_NaN());
                    else
                        seen.sensorDamage = QStringLiteral("a sensor trace holds no number");
                });
                return true;
            }
            return false;
        });
    }

    void runs(RowSeen& seen) {
        blanks();
        seen.runs.clear();
        seen.runCount = 0;
        if (peek() != '[') {
            value(&seen.runsKind);
            return;
        }
        seen.runsKind = Kept{Kept::List, 0, {}};
        list([&](qsizetype index) {
            seen.runCount = index + 1;
            blanks();
            if (index > ResultFileMaxRuns || peek() != '{') {
                value(nullptr);
                if (index <= ResultFileMaxRuns)
                    seen.runs.emplace_back();
                return;
            }
            seen.runs.emplace_back();
            RunSeen& run = seen.runs.back();
            run.object = true;
            members({{"fps", &run.fps}, {"frame_times_reason", &run.reason}},
                    [&](const QString& key) {
                        if (key != QLatin1String("frame_times"))
                            return false;
                        frameTimes(run.frameTimes);
                        return true;
                    });
        });
    }

    // Any value; its kind and content go to `keep` when given.
    void value(Kept* keep) {
        blanks();
        Kept ignored;
        Kept& kept = keep ? *keep : ignored;
        kept = Kept{};
        switch (peek()) {
        case '{':
            kept.kind = Kept::Object;
            object([&](const QString&) { value(nullptr); });
            return;
        case '[':
            kept.kind = Kept::List;
            list([&](qsizetype) { value(nullptr); });
            return;
        case '"':
            kept.kind = Kept::Text;
            string(keep ? &kept.text : nullptr);
            return;
        case 't':
            word("true");
            kept.kind = Kept::Boolean;
            kept.number = 1;
            return;
        case 'f':
            word("false");
            kept.kind = Kept::Boolean;
            return;
        case 'n':
            word("null");
            kept.kind = Kept::Null;
            return;
        default:
            kept.kind = Kept::Number;
            kept.number = number();
        }
    }

    void word(const char* text) {
        const qsizetype n = qsizetype(std::strlen(text));
        if (end_ - p_ < n || std::memcmp(p_, text, size_t(n)) != 0)
            fail(QStringLiteral("illegal value"));
        p_ += n;
    }

    double number() {
        const char* start = p_;
        const auto digits = [this] {
            const char* from = p_;
            while (p_ < end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            return p_ - from;
        };
        if (peek() == '-')
            ++p_;
        if (peek() == '0')
            ++p_;
        else if (digits() == 0)
            fail(QStringLiteral("illegal value"));
        if (peek() == '.') {
            ++p_;
            if (digits() == 0)
                fail(QStringLiteral("illegal number"));
        }
        if (peek() == 'e' || peek() == 'E') {
            ++p_;
            if (peek() == '+' || peek() == '-')
                ++p_;
            if (digits() == 0)
                fail(QStringLiteral("illegal number"));
        }
        // Read as the C locale writes it, whatever the user's locale. Beyond the range of a
        // double it is no finite number (which the checks refuse); below it, zero.
        double number = 0;
        const std::from_chars_result read = std::from_chars(start, p_, number);
        if (read.ec == std::errc::result_out_of_range) {
            const char* e = std::find_if(start, p_, [](char c) { return c == 'e' || c == 'E'; });
            const bool tiny = e != p_ && e + 1 != p_ && e[1] == '-';
            const bool negative = *start == '-';
            number = tiny ? (negative ? -0.0 : 0.0)
                          : (negative ? -std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::infinity());
        } else if (read.ec != std::errc() || read.ptr != p_) {
            fail(QStringLiteral("illegal number"));
        }
        return number;
    }

    // A string; decoded into `out` when given, else only checked.
    void string(QString* out) {
        ++p_; // the opening quote
        QByteArray utf8;
        const auto add = [&](const char* from, const char* to) {
            if (out)
                utf8.append(from, to - from);
        };
        const auto addCode = [&](char32_t code) {
            if (out)
                utf8 += QString::fromUcs4(&code, 1).toUtf8();
        };
        for (;;) {
            const char* run = p_;
            while (p_ < end_ && *p_ != '"' && *p_ != '\\' &&
                   static_cast<unsigned char>(*p_) >= 0x20)
                utf8Sequence();
            add(run, p_);
            if (p_ >= end_)
                fail(QStringLiteral("unterminated string"));
            if (*p_ == '"') {
                ++p_;
                break;
            }
            if (*p_ != '\\')
                fail(QStringLiteral("illegal character in a string"));
            ++p_;
            if (p_ >= end_)
                fail(QStringLiteral("unterminated string"));
            const char c = *p_++;
            switch (c) {
            case '"':
            case '\\':
            case '/':
                add(p_ - 1, p_);
                break;
            case 'b':
                addCode('\b');
                break;
            case 'f':
                addCode('\f');
                break;
            case 'n':
                addCode('\n');
                break;
            case 'r':
                addCode('\r');
                break;
            case 't':
                addCode('\t');
                break;
            case 'u': {
                char32_t code = hex4();
                if (code >= 0xD800 && code < 0xDC00 && end_ - p_ >= 6 && p_[0] == '\\' &&
                    p_[1] == 'u') {
                    const char* back = p_;
                    p_ += 2;
                    const char32_t low = hex4();
                    if (low >= 0xDC00 && low < 0xE000)
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    else
                        p_ = back;
                }
                addCode(code >= 0xD800 && code < 0xE000 ? char32_t(0xFFFD) : code);
                break;
            }
            default:
                fail(QStringLiteral("illegal escape sequence"));
            }
        }
        if (out)
            *out = QString::fromUtf8(utf8);
    }

    char32_t hex4() {
        if (end_ - p_ < 4)
            fail(QStringLiteral("illegal escape sequence"));
        char32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p_++;
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= char32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= char32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= char32_t(c - 'A' + 10);
            else
                fail(QStringLiteral("illegal escape sequence"));
        }
        return code;
    }

    // Steps over one UTF-8 encoded character, refusing what is not UTF-8.
    void utf8Sequence() {
        const auto byte = [](char c) { return static_cast<unsigned char>(c); };
        const unsigned char lead = byte(*p_);
        if (lead < 0x80) {
            ++p_;
            return;
        }
        int more = 0;
        char32_t code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            code = lead & 0x07;
        } else {
            fail(QStringLiteral("illegal UTF-8 string"));
        }
        if (end_ - p_ <= more)
            fail(QStringLiteral("illegal UTF-8 string"));
        for (int i = 1; i <= more; ++i) {
            if ((byte(p_[i]) & 0xC0) != 0x80)
                fail(QStringLiteral("illegal UTF-8 string"));
            code = (code << 6) | (byte(p_[i]) & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[more] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            fail(QStringLiteral("illegal UTF-8 string"));
        p_ += more + 1;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    int depth_ = 0;
};

const Kept& member(const Kept& kept, const char* key) {
    if (kept.kind == Kept::Absent)
        damaged(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
    return kept;
}

QString text(const Kept& kept, const char* key) {
    if (member(kept, key).kind != Kept::Text)
        damaged(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
    return kept.text;
}

std::optional<double> numberOrNull(const Kept& kept, const char* key) {
    if (member(kept, key).kind == Kept::Null)
        return std::nullopt;
    if (kept.kind != Kept::Number || !std::isfinite(kept.number))
        damaged(QStringLiteral("\"%1\" is not a number").arg(QLatin1String(key)));
    return kept.number;
}

std::optional<int> integerOrNull(const Kept& kept, const char* key) {
    const std::optional<double> value = numberOrNull(kept, key);
    if (!value)
        return std::nullopt;
    if (*value != std::floor(*value) || std::fabs(*value) > 2147483647.0)
        damaged(QStringLiteral("\"%1\" is not a whole number").arg(QLatin1String(key)));
    return static_cast<int>(*value);
}

void listOfAtMost(const Kept& kind, qsizetype count, const char* key, int maxSize) {
    if (member(kind, key).kind != Kept::List)
        damaged(QStringLiteral("\"%1\" is not a list").arg(QLatin1String(key)));
    if (count > maxSize)
        damaged(
            QStringLiteral("\"%1\" has more than %2 entries").arg(QLatin1String(key)).arg(maxSize));
}

// A figure: a finite number, not below zero.
double figure(const Kept& kept, const char* key) {
    const std::optional<double> value = numberOrNull(kept, key);
    if (!value || *value < 0)
        damaged(QStringLiteral("\"%1\" is not a figure").arg(QLatin1String(key)));
    return *value;
}

int count(const Kept& kept, const char* key) {
    const std::optional<int> value = integerOrNull(kept, key);
    if (!value || *value < 0)
        damaged(QStringLiteral("\"%1\" is not a count").arg(QLatin1String(key)));
    return *value;
}

// "frame_times": absent (format 1) and null have no figures; anything else but an object of
// figures is damage.
std::optional<FrameFigures> figuresOrNull(const FiguresSeen& seen) {
    if (seen.kind.kind == Kept::Absent || seen.kind.kind == Kept::Null)
        return std::nullopt;
    if (seen.kind.kind != Kept::Object)
        damaged(QStringLiteral("\"frame_times\" is not an object"));
    FrameFigures f;
    f.Frames = count(seen.frames, "frames");
    f.AverageFps = figure(seen.averageFps, "average_fps");
    f.Percentile1LowFps = figure(seen.low1, "low_1_percentile_fps");
    f.Percentile01LowFps = figure(seen.low01, "low_01_percentile_fps");
    f.Average1LowFps = figure(seen.low1Average, "low_1_average_fps");
    f.Average01LowFps = figure(seen.low01Average, "low_01_average_fps");
    f.SlowestFrameMs = figure(seen.slowest, "slowest_frame_ms");
    f.MedianFrameMs = figure(seen.median, "median_frame_ms");
    f.Stutters = count(seen.stutters, "stutters");
    f.StutterTimeShare = figure(seen.stutterShare, "stutter_time_share");
    return f;
}

// A run's sensors, when written (a file written before them has none).
void readSensors(const FiguresSeen& seen, RunFrames& frames) {
    if (!seen.sensorDamage.isEmpty())
        damaged(seen.sensorDamage);
    if (seen.sensorsKind.kind != Kept::Absent && seen.sensorsKind.kind != Kept::Object)
        damaged(QStringLiteral("\"sensors\" is not an object"));
    for (const auto& [name, values] : seen.sensors) {
        if (values.first.kind != Kept::Number || values.second.kind != Kept::Number)
            damaged(QStringLiteral("a sensor has no mean or peak"));
        frames.Sensors.push_back({name, values.first.number, values.second.number});
    }
    if (seen.clockFell.kind == Kept::Boolean)
        frames.ClockFell = seen.clockFell.number != 0;
    else if (seen.clockFell.kind != Kept::Absent)
        damaged(QStringLiteral("\"clock_fell\" is not true or false"));
    if (seen.traceKind.kind == Kept::Absent)
        return;
    if (seen.traceKind.kind != Kept::Object || seen.trace.size() != std::size(kTraceLists))
        damaged(QStringLiteral("\"sensor_trace\" is not an object"));
    for (const std::vector<float>& list : seen.trace)
        if (list.size() != seen.trace[0].size())
            damaged(QStringLiteral("the sensor trace's lists differ in length"));
    frames.Trace.Seconds = seen.trace[0];
    frames.Trace.GpuClock = seen.trace[1];
    frames.Trace.CpuLoad = seen.trace[2];
    frames.Trace.GpuLoad = seen.trace[3];
}

std::optional<RunFrames> runFrameTimes(const RunSeen& run) {
    if (run.frameTimes.kind.kind == Kept::Absent)
        return std::nullopt;
    RunFrames frames;
    frames.Figures = figuresOrNull(run.frameTimes);
    if (frames.Figures) {
        if (member(run.frameTimes.partial, "partial").kind != Kept::Boolean)
            damaged(QStringLiteral("\"partial\" is not true or false"));
        frames.Partial = run.frameTimes.partial.number != 0;
        frames.Share = figure(run.frameTimes.share, "share");
        readSensors(run.frameTimes, frames);
    } else if (run.reason.kind == Kept::Text) {
        frames.Missing = run.reason.text;
    }
    return frames;
}

ResultRowSummary readRow(const RowSeen& row) {
    if (!row.object)
        damaged(QStringLiteral("a row is not an object"));
    ResultRowSummary summary;
    summary.Caption = text(row.caption, "caption");
    listOfAtMost(row.runsKind, row.runCount, "runs", ResultFileMaxRuns);
    for (const RunSeen& run : row.runs) {
        if (!run.object)
            damaged(QStringLiteral("a run is not an object"));
        summary.Fps.push_back(numberOrNull(run.fps, "fps"));
        summary.RunFrameTimes.push_back(runFrameTimes(run));
    }
    const std::optional<int> count = integerOrNull(row.count, "count");
    if (!count || *count < 0 || *count > static_cast<int>(summary.Fps.size()))
        damaged(QStringLiteral("\"count\" does not fit the runs"));
    summary.Count = *count;
    summary.Mean = numberOrNull(row.mean, "mean");
    summary.Min = numberOrNull(row.min, "min");
    summary.Max = numberOrNull(row.max, "max");
    summary.StdDev = numberOrNull(row.stddev, "stddev");
    summary.Average = integerOrNull(row.average, "average");
    // Format 2: the mean figures of the runs that recorded frame times.
    summary.FrameTimes = figuresOrNull(row.frameTimes);
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
    FileSeen seen;
    try {
        seen = JsonWalk(bytes).File();
    } catch (const NotJson& error) {
        read.Problem =
            QStringLiteral("damaged: not JSON (%1 at byte %2)").arg(error.what).arg(error.at);
        return read;
    }
    if (!seen.object) {
        read.Problem = QStringLiteral("damaged: not a JSON object");
        return read;
    }
    if (seen.format.kind != Kept::Number) {
        read.Problem = QStringLiteral("damaged: no format version");
        return read;
    }
    if (seen.format.number != ResultFormatVersion &&
        seen.format.number != FrameTimesFormatVersion) {
        read.Problem =
            QStringLiteral("unknown format version %1").arg(DataNumber(seen.format.number));
        return read;
    }
    try {
        ResultSummary summary;
        summary.Version = text(seen.version, "version");
        summary.Note = text(seen.note, "note");
        summary.Started = QDateTime::fromString(text(seen.started, "started"), Qt::ISODate);
        if (!summary.Started.isValid())
            damaged(QStringLiteral("\"started\" is not a date and time"));
        listOfAtMost(seen.rowsKind, seen.rowCount, "rows", ResultFileMaxRows);
        for (const RowSeen& row : seen.rows)
            summary.Rows.push_back(readRow(row));
        read.Summary = std::move(summary);
    } catch (const Damaged& d) {
        read.Problem = QStringLiteral("damaged: ") + d.reason;
    }
    return read;
}
