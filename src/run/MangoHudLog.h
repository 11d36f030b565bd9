#pragma once

#include "model/LoggedFrame.h"
#include "model/PieceLines.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Reading a frame log written by MangoHud. The log has header lines (the system's names and
// values, then the column names), then one row per logged frame. Columns are found by their
// names, since versions differ: "frametime" (microseconds) and "elapsed" (nanoseconds since
// logging started; when a version has none, the frame times are added up instead).

struct MangoHudLogRead {
    std::optional<std::vector<LoggedFrame>> Frames; // nothing: not a log that can be read
    QString Problem;                                // why, when there are no frames
};

// Logs larger than this are not read (a million frames take about 60 MB).
inline constexpr std::size_t kMaxMangoHudLogBytes = std::size_t(1) << 30;
// More frames than this are not kept.
inline constexpr std::size_t kMaxMangoHudLogFrames = 16'000'000;
// A line longer than this is no line of a log.
inline constexpr std::size_t kMaxMangoHudLogLine = 64 * 1024;
// The column names stand within this many first lines.
inline constexpr int kMangoHudHeaderLines = 8;

// Reads a log fed in pieces of any size, so a long log is never held whole in memory.
class MangoHudLogParser {
public:
    // Room for the frames of a log of `bytes` bytes, taken once instead of grown into (pages
    // not written to take no memory).
    void ExpectBytes(std::size_t bytes);
    void Feed(const char* data, std::size_t size);
    // Ends the input and hands over what was read.
    MangoHudLogRead Finish();

private:
    void line(const char* begin, const char* end);
    void fail(const QString& why);
    bool headerLine(const char* begin, const char* end);
    void frameLine(const char* begin, const char* end);

    std::vector<LoggedFrame> frames_;
    PieceLines lines_{kMaxMangoHudLogLine, kMaxMangoHudLogBytes, "the log"};
    std::size_t lineNumber_ = 0;
    int frameColumn_ = -1;
    int elapsedColumn_ = -1;
    int columnCount_ = 0;
    double summedSeconds_ = 0; // when the log has no elapsed column
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
