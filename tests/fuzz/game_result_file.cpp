// The game's result file: the system's own (fourth line, third field) and today's engine's CSV
// with a header line.
#include "run/ScoreReading.h"

#include <QByteArray>
#include <QLocale>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const RunResult result = ReadRunResult(bytes);
    // What the run played is only known with a score, and only from a file that has it.
    const PlayedRun& played = result.Played;
    if (!result.ScoreText &&
        (played.Width || played.Height || played.Frames || played.Seconds || played.Variability))
        __builtin_trap();
    if (played.Width && !result.ScoreText->isEmpty() &&
        !ConvertScore(*result.ScoreText, QLocale::c()))
        __builtin_trap(); // today's rows give a number or nothing
    if (result.ScoreText && result.ScoreText->size() > bytes.size())
        __builtin_trap();

    // Fields never hold more text than the file.
    const QString text = QString::fromLocal8Bit(bytes);
    if (const auto records = CsvRecords(text)) {
        qsizetype total = 0;
        for (const QStringList& record : *records)
            for (const QString& field : record)
                total += field.size();
        if (total > text.size())
            __builtin_trap();
    }
    return 0;
}
