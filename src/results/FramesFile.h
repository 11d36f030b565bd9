#pragma once

#include "model/PieceLines.h"
#include "results/FrameLimits.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstddef>
#include <vector>

// Reading back one run's frames from "result_<stamp>.frames.csv" (a header line
// "resolution,run,frame,ms", then per run of each row its frames in order), for the results
// window's plot. The file lies in a folder others may write to: lines, fields, the file and the
// frames kept are bounded, and anything that is not as the program writes it is refused with a
// reason.

inline constexpr std::size_t kMaxFramesFileBytes = std::size_t(1) << 30;
inline constexpr std::size_t kMaxFramesFileLine = 1024;
// The runs one file may hold: as many as a data file's rows and runs.
inline constexpr int kMaxFramesFileRuns = 64 * 64;

struct FramesFileRead {
    bool Ok = false;
    std::vector<float> FrameMs; // the run's frames, in order; none when the file lacks the run
    QString Problem;            // set exactly when not Ok
};

// Reads a frames file fed in pieces of any size, keeping only the frames of run `run` (1 for
// the first) of the row captioned `caption`. Every line is checked, whichever run it belongs to.
class FramesFileParser {
public:
    FramesFileParser(const QString& caption, int run);
    void Feed(const char* data, std::size_t size);
    FramesFileRead Finish();

private:
    void line(const char* begin, const char* end);
    void fail(const QString& why);

    QByteArray wanted_; // the caption in UTF-8
    int wantedRun_;
    std::vector<float> frames_;
    PieceLines lines_{kMaxFramesFileLine, kMaxFramesFileBytes, "the file"};
    std::size_t lineNumber_ = 0;
    // The run being read: its caption as written (still quoted), the caption read from it, its
    // number and its last frame's.
    QByteArray lastRaw_;
    QByteArray lastCaption_;
    long long lastRun_ = 0;
    long long lastFrame_ = 0;
    int runs_ = 0;
    bool wantedDone_ = false;
};

// The whole file in one piece.
FramesFileRead ReadFramesFile(const QByteArray& bytes, const QString& caption, int run);

// The file at `path`, read in pieces (a regular file of the user's, never through a link and
// never waiting on a FIFO, at most kMaxFramesFileBytes long). Setting `stop` ends the reading
// early, with a problem.
FramesFileRead ReadFramesFileAt(const QString& path, const QString& caption, int run,
                                const std::atomic<bool>* stop = nullptr);
