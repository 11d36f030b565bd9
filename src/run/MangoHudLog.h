#pragma once

#include "model/LoggedFrame.h"
#include "model/PieceLines.h"
#include "results/FrameLimits.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// Reading a frame log written by MangoHud. The log has header lines (the system's names and
// values, then the column names; with "log_versioning" also "v1", the version and dashed
// lines), then one row per logged frame. Columns are found by their names, since versions
// differ: "frametime" (microseconds) and "elapsed" (nanoseconds since logging started; when a
// version has none, the frame times are added up instead). From 0.6.9 on MangoHud appends a
// log to the file of its name, so two logs started in the same second share one file: each
// one's header starts a new part, whose times count from its own start.

// The sensor columns kept, as MangoHud names them (0.6.8 to 0.8.x); others are not read.
inline constexpr const char* kSensorColumns[] = {
    "cpu_load",       "cpu_power",     "gpu_load",      "cpu_temp",  "gpu_temp",
    "gpu_core_clock", "gpu_mem_clock", "gpu_vram_used", "gpu_power", "ram_used",
    "swap_used",      "process_rss",   "cpu_mhz"};
inline constexpr std::size_t kSensorCount = std::size(kSensorColumns);
// MangoHud samples its sensors every half second by default: rows are read for them at most
// this often (of a log's time), which keeps them out of the cost of a long log.
inline constexpr double kSensorSampleSeconds = 0.25;

// The sensors of one sampled row; NaN for a column the log does not have.
struct SensorSample {
    float AtSeconds = 0; // since its log part started
    std::uint32_t Part = 0;
    std::array<float, kSensorCount> Values{};
};

// One log of a file: its frames are Frames[First, First + Count).
struct MangoHudLogPart {
    std::size_t First = 0;
    std::size_t Count = 0;
};

struct MangoHudLogRead {
    std::optional<std::vector<LoggedFrame>> Frames; // nothing: not a log that can be read
    QString Problem;                                // why, when there are no frames
    std::vector<MangoHudLogPart> Parts;             // at least one when there are frames
    std::vector<SensorSample> Sensors;
    // Whether a header named a column MangoHud added in 0.7.0 or later (swap_used,
    // process_rss, cpu_power, cpu_mhz): a version that appends every row as it logs.
    bool NewerColumns = false;
};

// Logs larger than this are not read (a million frames take about 60 MB).
inline constexpr std::size_t kMaxMangoHudLogBytes = std::size_t(1) << 30;
// More frames than this are not kept: no more than a run's data files hold.
inline constexpr std::size_t kMaxMangoHudLogFrames = kMaxFramesPerRun;
// A line longer than this is no line of a log.
inline constexpr std::size_t kMaxMangoHudLogLine = 64 * 1024;
// The column names stand within this many first lines (of each log in the file).
inline constexpr int kMangoHudHeaderLines = 8;
// More logs than this in one file are not read.
inline constexpr std::size_t kMaxMangoHudLogParts = 4096;

// Reads a log fed in pieces of any size, so a long log is never held whole in memory.
class MangoHudLogParser {
public:
    // The log is `bytes` long: room for its frames is taken once, judged from its first rows,
    // instead of grown into (which copies them).
    void ExpectBytes(std::size_t bytes);
    void Feed(const char* data, std::size_t size);
    // Ends the input and hands over what was read.
    MangoHudLogRead Finish();

private:
    void line(const char* begin, const char* end);
    void fail(const QString& why);
    bool headerLine(const char* begin, const char* end);
    void frameLine(const char* begin, const char* end);
    void sample(const char* begin, const char* end, double seconds);
    void closePart(); // the current log's frame count
    void growFrames();

    // Rows read before room for the rest of the frames is judged.
    static constexpr std::size_t kFramesBeforeEstimate = 4096;

    std::vector<LoggedFrame> frames_;
    std::vector<MangoHudLogPart> parts_;
    std::vector<SensorSample> sensors_;
    std::array<int, kSensorCount> sensorColumns_{};
    double nextSample_ = 0;
    std::size_t headerStart_ = 0; // the line the current log's header began after
    bool newerColumns_ = false;
    PieceLines lines_{kMaxMangoHudLogLine, kMaxMangoHudLogBytes, "the log"};
    std::size_t lineNumber_ = 0;
    int frameColumn_ = -1;
    int elapsedColumn_ = -1;
    int columnCount_ = 0;
    double summedSeconds_ = 0;                  // when the log has no elapsed column
    std::size_t expectedBytes_ = 0;             // the log's size, when known
    std::size_t readBytes_ = 0;                 // of its lines so far
    std::size_t shortestRow_ = std::size_t(-1); // of a frame, with its line end
    std::size_t longestRow_ = 0;
};

// The whole log in one piece.
MangoHudLogRead ReadMangoHudLog(const QByteArray& bytes);

// The log file at `path`, read in pieces (a regular file of the user's, at most
// kMaxMangoHudLogBytes long).
MangoHudLogRead ReadMangoHudLogFile(const QString& path);

// Whether a file name is that of a frame log: "<program>_YYYY-MM-DD_HH-MM-SS.csv" (MangoHud's
// summary beside it, "..._summary.csv", is not).
bool IsMangoHudLogName(const QString& fileName);

// The newest frame log in `folder` written at or after `since` (seconds since the epoch);
// empty when there is none.
QString NewestMangoHudLog(const QString& folder, qint64 since);
