// The diagnostics tool's text report, as the capture scans it.
#include "sysinfo/DiagnosticsScanner.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = DiagnosticsLines(bytes);
    // Lines never hold their ends, and never more text than there was.
    qsizetype total = 0;
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            __builtin_trap();
        total += line.size();
    }
    if (total > bytes.size())
        __builtin_trap();
    // The labels are found in their order: a later fact never without the earlier ones.
    const DiagnosticsValues v = DiagnosticsScanner(lines);
    if ((v.DisplayMemory && !v.CardName) || (v.DriverVersion && !v.DisplayMemory) ||
        (v.Description && !v.DriverVersion))
        __builtin_trap();
    return 0;
}
