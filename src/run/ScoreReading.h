#pragma once

#include "model/PlayedRun.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

// Turning the game's result file into a run's score.

// The lines of a text file, split at CR LF, LF or CR.
QStringList TextFileLines(const QByteArray& bytes);

// The score text of the result file's lines: the third comma-separated field of the fourth
// line; empty when that line has fewer than three commas. Nothing when the file has fewer than
// four lines, which the program treats as a run without a result.
std::optional<QString> ReadRunScore(const QStringList& lines);
// The score text of that fourth line alone.
QString ScoreField(const QString& scoreLine);

// The records of a CSV text: fields separated by commas; a field in double quotes may hold
// commas, line ends and doubled quotes; a record ends at LF or CR LF. Nothing when a record
// has more than `maxFields` fields, or when a quote is not closed and `brokenQuote` is
// Refuse; with KeepFieldsBefore the record of that quote ends with the field before it.
enum class CsvBrokenQuote { Refuse, KeepFieldsBefore };
std::optional<QList<QStringList>> CsvRecords(const QString& text, qsizetype maxFields = 4096,
                                             CsvBrokenQuote brokenQuote = CsvBrokenQuote::Refuse);

// Result files larger than this are not read: no engine writes one, and it is not held in
// memory.
inline constexpr qsizetype kMaxResultFileBytes = 16 * 1024 * 1024;

// What a result file says about its run.
struct RunResult {
    std::optional<QString> ScoreText; // nothing: a run without a result
    PlayedRun Played;
};

// The result file's bytes. When its first line names a column "fps" (today's engine: a header
// line, then one row per timedemo, each on a line of its own), the score text is that column
// of the last line that is not blank (a quote left open, as a command line may hold, costs
// only that line's columns from it on; a quote never reaches into another line),
// and the row's "width", "height", "numframes", "totaltime" and "framerate variability" are
// what the run played; a missing row, a short row or an fps that is no number is a run without a
// result. Otherwise the fourth line's third field, as ReadRunScore. A file larger than
// kMaxResultFileBytes has no result.
RunResult ReadRunResult(const QByteArray& bytes);

// The note for a run that played at another size than the row asked for ("The game ran at 1920
// x 1080 instead of 1280 x 1024: ..."); nothing when it played at that size or did not say.
std::optional<QString> PlayedSizeNote(const PlayedRun& played, const QString& askedWidth,
                                      const QString& askedHeight);

// The frame rate a score text stands for, unrounded. The text is read with the locale's
// decimal separator (no thousands separators); failing that, with the first comma turned into
// a point or, when there is no comma, the first point turned into a comma. Nothing when
// neither form is a finite number.
std::optional<double> ScoreNumber(const QString& text, const QLocale& locale);

// The rounded score: ScoreNumber() with halves rounded to the even neighbour. Nothing when it
// is no number or does not fit a score.
std::optional<int> ConvertScore(const QString& text, const QLocale& locale);
