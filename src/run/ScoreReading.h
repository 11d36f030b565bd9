#pragma once

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

// The rounded score. The text is read with the locale's decimal separator (no thousands
// separators); failing that, with the first comma turned into a point or, when there is no
// comma, the first point turned into a comma. Halves round to the even neighbour. Nothing when
// neither form is a number that fits a score.
std::optional<int> ConvertScore(const QString& text, const QLocale& locale);

// The row's average: the sum divided by the run count, truncated toward zero (the sum of a
// row's scores can pass the range of one score). Raises AppError for a run count below 1.
int AverageScore(qint64 sum, int runCount);
