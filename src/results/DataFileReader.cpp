#include "results/DataFileReader.h"

#include "results/DataFiles.h"
#include "results/JsonWalk.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Damaged {
    QString reason;
};

[[noreturn]] void damaged(const QString& reason) {
    throw Damaged{reason};
}

// Format 2: a run's or a row's "frame_times", its kind and, for an object, its figures.
struct FiguresSeen {
    JsonKept kind;
    JsonKept frames, averageFps, low1, low01, low1Average, low01Average, slowest, median, stutters,
        stutterShare;
    JsonKept partial, share; // a run's only
    // A run's MangoHud sensors: per column its mean and peak, whether the GPU clock fell, and
    // the trace (NaN for null). `sensorDamage` names what is not as written.
    JsonKept clockFell, sensorsKind, traceKind;
    std::vector<std::pair<QString, std::pair<JsonKept, JsonKept>>> sensors;
    std::vector<std::vector<float>> trace; // seconds, gpu_core_clock, cpu_load, gpu_load
    QString sensorDamage;
};

// A run's sensor columns and trace points kept at most.
constexpr std::size_t kMaxSensorColumnsRead = 64;
constexpr const char* kTraceLists[] = {"seconds", "gpu_core_clock", "cpu_load", "gpu_load"};

struct RunSeen {
    bool object = false;
    JsonKept fps;
    FiguresSeen frameTimes;
    JsonKept reason;
};

struct RowSeen {
    bool object = false;
    JsonKept caption, count, mean, min, max, stddev, average;
    FiguresSeen frameTimes;
    JsonKept runsKind;
    qsizetype runCount = 0;
    std::vector<RunSeen> runs; // the first DataFileMaxRuns + 1 only
};

struct FileSeen {
    bool object = false;
    JsonKept format, version, note, started;
    JsonKept rowsKind;
    qsizetype rowCount = 0;
    std::vector<RowSeen> rows; // the first DataFileMaxRows + 1 only
};

// The walk over a data file: only the members a summary needs are kept.
class DataFileWalk {
public:
    explicit DataFileWalk(const QByteArray& bytes) : walk_(bytes, DataFileMaxDepth) {}

    FileSeen File() {
        FileSeen seen;
        if (walk_.Peek() == '{') {
            seen.object = true;
            walk_.Members({{"format", &seen.format},
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
            walk_.Value(nullptr);
        }
        walk_.End();
        return seen;
    }

private:
    void rows(FileSeen& seen) {
        // A later "rows" replaces an earlier one, as a later member of the same name does.
        seen.rows.clear();
        seen.rowCount = 0;
        if (walk_.Peek() != '[') {
            walk_.Value(&seen.rowsKind);
            return;
        }
        seen.rowsKind = JsonKept{JsonKept::List, 0, {}};
        walk_.List([&](qsizetype index) {
            seen.rowCount = index + 1;
            if (index > DataFileMaxRows) {
                walk_.Value(nullptr);
                return;
            }
            seen.rows.emplace_back();
            row(seen.rows.back());
        });
    }

    void row(RowSeen& seen) {
        if (walk_.Peek() != '{') {
            walk_.Value(nullptr);
            return;
        }
        seen.object = true;
        walk_.Members({{"caption", &seen.caption},
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
        seen = FiguresSeen{};
        if (walk_.Peek() != '{') {
            walk_.Value(&seen.kind);
            return;
        }
        seen.kind.kind = JsonKept::Object;
        walk_.Members({{"frames", &seen.frames},
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
        seen.sensors.clear();
        if (walk_.Peek() != '{') {
            walk_.Value(&seen.sensorsKind);
            return;
        }
        seen.sensorsKind.kind = JsonKept::Object;
        walk_.Object([&](const QString& key) {
            if (seen.sensors.size() >= kMaxSensorColumnsRead || walk_.Peek() != '{') {
                seen.sensorDamage = QStringLiteral("\"sensors\" holds too many or no objects");
                walk_.Value(nullptr);
                return;
            }
            seen.sensors.emplace_back(key, std::pair<JsonKept, JsonKept>{});
            auto& [mean, peak] = seen.sensors.back().second;
            walk_.Members({{"mean", &mean}, {"peak", &peak}}, [](const QString&) { return false; });
        });
    }

    void trace(FiguresSeen& seen) {
        seen.trace.assign(std::size(kTraceLists), {});
        if (walk_.Peek() != '{') {
            walk_.Value(&seen.traceKind);
            return;
        }
        seen.traceKind.kind = JsonKept::Object;
        walk_.Members({}, [&](const QString& key) {
            for (std::size_t i = 0; i < std::size(kTraceLists); ++i) {
                if (key != QLatin1String(kTraceLists[i]))
                    continue;
                std::vector<float>& values = seen.trace[i];
                values.clear();
                if (walk_.Peek() != '[') {
                    seen.sensorDamage = QStringLiteral("a sensor trace is not a list");
                    walk_.Value(nullptr);
                    return true;
                }
                walk_.List([&](qsizetype index) {
                    JsonKept point;
                    walk_.Value(&point);
                    if (static_cast<std::size_t>(index) >= kMaxSensorTracePoints)
                        seen.sensorDamage = QStringLiteral("a sensor trace is too long");
                    else if (point.kind == JsonKept::Number)
                        values.push_back(static_cast<float>(point.number));
                    else if (point.kind == JsonKept::Null)
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
        seen.runs.clear();
        seen.runCount = 0;
        if (walk_.Peek() != '[') {
            walk_.Value(&seen.runsKind);
            return;
        }
        seen.runsKind = JsonKept{JsonKept::List, 0, {}};
        walk_.List([&](qsizetype index) {
            seen.runCount = index + 1;
            if (index > DataFileMaxRuns || walk_.Peek() != '{') {
                walk_.Value(nullptr);
                if (index <= DataFileMaxRuns)
                    seen.runs.emplace_back();
                return;
            }
            seen.runs.emplace_back();
            RunSeen& run = seen.runs.back();
            run.object = true;
            walk_.Members({{"fps", &run.fps}, {"frame_times_reason", &run.reason}},
                          [&](const QString& key) {
                              if (key != QLatin1String("frame_times"))
                                  return false;
                              frameTimes(run.frameTimes);
                              return true;
                          });
        });
    }

    JsonWalk walk_;
};

const JsonKept& member(const JsonKept& kept, const char* key) {
    if (kept.kind == JsonKept::Absent)
        damaged(QStringLiteral("\"%1\" is missing").arg(QLatin1String(key)));
    return kept;
}

QString text(const JsonKept& kept, const char* key) {
    if (member(kept, key).kind != JsonKept::Text)
        damaged(QStringLiteral("\"%1\" is not a text").arg(QLatin1String(key)));
    return kept.text;
}

std::optional<double> numberOrNull(const JsonKept& kept, const char* key) {
    if (member(kept, key).kind == JsonKept::Null)
        return std::nullopt;
    if (kept.kind != JsonKept::Number || !std::isfinite(kept.number))
        damaged(QStringLiteral("\"%1\" is not a number").arg(QLatin1String(key)));
    return kept.number;
}

std::optional<int> integerOrNull(const JsonKept& kept, const char* key) {
    const std::optional<double> value = numberOrNull(kept, key);
    if (!value)
        return std::nullopt;
    if (*value != std::floor(*value) || std::fabs(*value) > 2147483647.0)
        damaged(QStringLiteral("\"%1\" is not a whole number").arg(QLatin1String(key)));
    return static_cast<int>(*value);
}

void listOfAtMost(const JsonKept& kind, qsizetype count, const char* key, int maxSize) {
    if (member(kind, key).kind != JsonKept::List)
        damaged(QStringLiteral("\"%1\" is not a list").arg(QLatin1String(key)));
    if (count > maxSize)
        damaged(
            QStringLiteral("\"%1\" has more than %2 entries").arg(QLatin1String(key)).arg(maxSize));
}

// A figure: a finite number, not below zero.
double figure(const JsonKept& kept, const char* key) {
    const std::optional<double> value = numberOrNull(kept, key);
    if (!value || *value < 0)
        damaged(QStringLiteral("\"%1\" is not a figure").arg(QLatin1String(key)));
    return *value;
}

int count(const JsonKept& kept, const char* key) {
    const std::optional<int> value = integerOrNull(kept, key);
    if (!value || *value < 0)
        damaged(QStringLiteral("\"%1\" is not a count").arg(QLatin1String(key)));
    return *value;
}

// "frame_times": absent (format 1) and null have no figures; anything else but an object of
// figures is damage.
std::optional<FrameFigures> figuresOrNull(const FiguresSeen& seen) {
    if (seen.kind.kind == JsonKept::Absent || seen.kind.kind == JsonKept::Null)
        return std::nullopt;
    if (seen.kind.kind != JsonKept::Object)
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
    if (seen.sensorsKind.kind != JsonKept::Absent && seen.sensorsKind.kind != JsonKept::Object)
        damaged(QStringLiteral("\"sensors\" is not an object"));
    for (const auto& [name, values] : seen.sensors) {
        if (values.first.kind != JsonKept::Number || values.second.kind != JsonKept::Number)
            damaged(QStringLiteral("a sensor has no mean or peak"));
        frames.Sensors.push_back({name, values.first.number, values.second.number});
    }
    if (seen.clockFell.kind == JsonKept::Boolean)
        frames.ClockFell = seen.clockFell.number != 0;
    else if (seen.clockFell.kind != JsonKept::Absent)
        damaged(QStringLiteral("\"clock_fell\" is not true or false"));
    if (seen.traceKind.kind == JsonKept::Absent)
        return;
    if (seen.traceKind.kind != JsonKept::Object || seen.trace.size() != std::size(kTraceLists))
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
    if (run.frameTimes.kind.kind == JsonKept::Absent)
        return std::nullopt;
    RunFrames frames;
    frames.Figures = figuresOrNull(run.frameTimes);
    if (frames.Figures) {
        if (member(run.frameTimes.partial, "partial").kind != JsonKept::Boolean)
            damaged(QStringLiteral("\"partial\" is not true or false"));
        frames.Partial = run.frameTimes.partial.number != 0;
        frames.Share = figure(run.frameTimes.share, "share");
        readSensors(run.frameTimes, frames);
    } else if (run.reason.kind == JsonKept::Text) {
        frames.Missing = run.reason.text;
    }
    return frames;
}

DataFileRowSummary readRow(const RowSeen& row) {
    if (!row.object)
        damaged(QStringLiteral("a row is not an object"));
    DataFileRowSummary summary;
    summary.Caption = text(row.caption, "caption");
    listOfAtMost(row.runsKind, row.runCount, "runs", DataFileMaxRuns);
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

DataFileRead ReadDataFile(const QByteArray& bytes) {
    DataFileRead read;
    if (bytes.size() > DataFileMaxBytes) {
        read.Problem = QStringLiteral("damaged: larger than %1 bytes").arg(DataFileMaxBytes);
        return read;
    }
    if (JsonNestingDepth(bytes, DataFileMaxDepth) > DataFileMaxDepth) {
        read.Problem = QStringLiteral("damaged: nested deeper than %1").arg(DataFileMaxDepth);
        return read;
    }
    FileSeen seen;
    try {
        seen = DataFileWalk(bytes).File();
    } catch (const JsonSyntaxError& error) {
        read.Problem =
            QStringLiteral("damaged: not JSON (%1 at byte %2)").arg(error.what).arg(error.at);
        return read;
    }
    if (!seen.object) {
        read.Problem = QStringLiteral("damaged: not a JSON object");
        return read;
    }
    if (seen.format.kind != JsonKept::Number) {
        read.Problem = QStringLiteral("damaged: no format version");
        return read;
    }
    if (seen.format.number != DataFileFormatVersion &&
        seen.format.number != FrameTimesFormatVersion) {
        read.Problem =
            QStringLiteral("unknown format version %1").arg(DataNumber(seen.format.number));
        return read;
    }
    try {
        DataFileSummary summary;
        summary.Version = text(seen.version, "version");
        summary.Note = text(seen.note, "note");
        summary.Started = QDateTime::fromString(text(seen.started, "started"), Qt::ISODate);
        if (!summary.Started.isValid())
            damaged(QStringLiteral("\"started\" is not a date and time"));
        listOfAtMost(seen.rowsKind, seen.rowCount, "rows", DataFileMaxRows);
        for (const RowSeen& row : seen.rows)
            summary.Rows.push_back(readRow(row));
        read.Summary = std::move(summary);
    } catch (const Damaged& d) {
        read.Problem = QStringLiteral("damaged: ") + d.reason;
    }
    return read;
}
