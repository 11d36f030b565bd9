#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The four facts read from the diagnostics tool's text report. A fact whose label was not
// found before the end of the report is empty (nullopt); a found label may still give an
// empty text.
struct DiagnosticsValues {
    std::optional<QString> CardName;
    std::optional<QString> DisplayMemory;
    std::optional<QString> DriverVersion;
    std::optional<QString> Description;
};

// What of a report is read at most: far more than any real report holds.
inline constexpr qsizetype MaxDiagnosticsReportSize = qsizetype(16) << 20;

// The report's bytes (the first MaxDiagnosticsReportSize of them) as lines: 8-bit text, split at CR
// LF, CR or LF; a zero byte ends the text (so a 16-bit report reads as its first character only).
QStringList DiagnosticsLines(const QByteArray& bytes);

// Finds "Card name:", "Display Memory:", "Driver Version:" and "Description:" in this order,
// each search going on from the line where the previous one matched, and cuts each value out
// the way the report's layout calls for (the first three keep the blank after the colon).
DiagnosticsValues DiagnosticsScanner(const QStringList& lines);
