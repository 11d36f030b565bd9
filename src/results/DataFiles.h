#pragma once

#include "model/BenchmarkSettings.h"
#include "model/SystemFacts.h"
#include "results/RunRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <vector>

// The data files written beside every report: result_<stamp>.json, the whole series for
// scripts and the results window, and result_<stamp>.csv, one line per run for spreadsheets.

inline constexpr int DataFileFormatVersion = 1;
// The format of a series that recorded frame times: per run and row "frame_times" (the
// figures, or null with "frame_times_reason"), and the frames in result_<stamp>.frames.csv.
// A series without frame times is written in format 1, as before.
inline constexpr int FrameTimesFormatVersion = 2;

// Whether any run of the rows was to record frame times.
bool HasFrameTimes(const std::vector<RowRecord>& rows);

// Everything of a series the data files tell.
struct SeriesResult {
    QString Version;
    QDateTime Started;
    BenchmarkSettings Settings;
    int RunCount = 0;
    QString DemoName;
    QString DemoCaption;
    SystemFacts Facts;
    std::vector<RowRecord> Rows;
};

QJsonObject ResultJson(const SeriesResult& result);
// UTF-8 JSON, indented.
QByteArray ResultJsonBytes(const SeriesResult& result);
// UTF-8, a header line, CR LF after every line, fields quoted where RFC 4180 needs it.
QByteArray ResultCsvBytes(const std::vector<RowRecord>& rows);
// UTF-8, "resolution,run,frame,ms" and one line per frame of each run, CR LF after every line.
QByteArray FramesCsvBytes(const std::vector<RowRecord>& rows);
// The same handed out in pieces of about 64 KiB, so that a run's millions of frames are never
// held as text all at once; stops, returning false, when `put` returns false.
bool FramesCsvPieces(const std::vector<RowRecord>& rows,
                     const std::function<bool(const QByteArray&)>& put);

// A number as the data files write it: the shortest text that reads back the same, with a
// point.
QString DataNumber(double value);

// The data files that belong to a report "…/result_<stamp>.htm".
QString JsonPathForReport(const QString& reportPath);
QString CsvPathForReport(const QString& reportPath);
QString FramesCsvPathForReport(const QString& reportPath);
// The report that belongs to a data file "…/result_<stamp>.json".
QString ReportPathForJson(const QString& jsonPath);

struct DataFilePaths {
    QString Json;
    QString Csv;
    QString Frames; // empty: the series recorded no frame times
};

// Writes both files beside the report, each whole or not at all. Raises AppError naming the
// file and the reason when one cannot be written.
DataFilePaths WriteDataFiles(const SeriesResult& result, const QString& reportPath);
