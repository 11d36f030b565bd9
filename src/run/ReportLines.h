#pragma once

#include "model/BenchmarkSettings.h"
#include "model/SlotTable.h"
#include "model/SystemFacts.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>

// The lines of the HTML report. Values go in as they are: nothing is escaped for HTML.

// The "System memory" line of the head; nothing below 8 decimal digits of bytes. Decimals use
// the locale's separator.
std::optional<QString> SystemMemoryLine(quint64 totalBytes, const QLocale& locale);

// The "VGA Information" blocks: the Radeon block and the display-class block, each when its
// probe found the adapter, or the diagnostics block when neither did.
QStringList VgaLines(const SystemFacts& facts);

// The head, from the DOCTYPE to the closing "<hr>", with the facts as the probes left them.
QStringList ReportHead(const QString& startTimeText, const SystemFacts& facts, const QString& note,
                       const QLocale& locale);

// The heading and option lines of a row, written with its first run that leaves a result.
QStringList ReportRowBlock(const ResolutionSlot& slot, const BenchmarkSettings& settings,
                           const QString& demoCaption);

// A series of one run per row: the score text exactly as read, and the row's closing line.
QStringList SingleRunScoreLines(const QString& scoreText);
// Several runs per row: one line per run, then the average and the row's closing line.
QString RunScoreLine(int score);
QStringList AverageScoreLines(int average);

QStringList ReportFooter();

// The start time text made fit for a file name.
QString SeriesStamp(const QString& startTimeText);
// With an empty results folder the bare name, relative to the working directory.
QString ReportFilePath(const QString& resultsFolder, const QString& seriesStamp);

// ISO-8859-1 bytes, CR LF after every line including the last; a character Latin-1 cannot
// hold becomes a numeric character reference.
QByteArray EncodeReportLatin1(const QStringList& lines);

// Writes the report, replacing a file of the same name. Raises AppError "Cannot create file
// ..." naming the path and the reason when it cannot (a full disk included); a half-written or
// empty file is never left behind.
void SaveReport(const QStringList& lines, const QString& path);
