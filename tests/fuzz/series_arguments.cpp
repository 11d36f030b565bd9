// The program's own command line: options for a series run without the window.
#include "app/SeriesArguments.h"
#include "model/SlotTable.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One argument per line, as a shell would hand them over.
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList arguments = text.split(QLatin1Char('\n'));
    const ParsedArguments parsed = ParseSeriesArguments(arguments);
    if (parsed.Arguments.has_value() == !parsed.Error.isEmpty())
        __builtin_trap();
    if (parsed.Arguments) {
        const SeriesArguments& a = *parsed.Arguments;
        if (a.Runs && (*a.Runs < 1 || *a.Runs > 5))
            __builtin_trap();
        for (const ScreenSizeArgument& s : a.Resolutions)
            if (s.Width < 1 || s.Height < 1 || s.Width > MaxScreenSide || s.Height > MaxScreenSide)
                __builtin_trap();
        if (a.Note && a.Note->size() > NoteMaxLength)
            __builtin_trap();
        // What the arguments make of any stored options runs at most one custom size.
        const BenchmarkSettings s = WithArguments(BenchmarkSettings{}, a, a.Demo, a.Results);
        if (!a.Resolutions.empty() && ChosenSlotCount(s) < 1)
            __builtin_trap();
    }
    return 0;
}
