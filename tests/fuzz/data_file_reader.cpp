// A data file of the results folder, read back for the results window.
#include "results/DataFileReader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const DataFileRead read = ReadDataFile(bytes);
    // Exactly one of a summary and a reason.
    if (read.Summary.has_value() == !read.Problem.isEmpty())
        __builtin_trap();
    if (read.Summary) {
        if (read.Summary->Rows.size() > std::size_t(DataFileMaxRows))
            __builtin_trap();
        for (const DataFileRowSummary& row : read.Summary->Rows)
            if (row.Fps.size() > std::size_t(DataFileMaxRuns) || row.Count < 0 ||
                row.Count > static_cast<int>(row.Fps.size()) ||
                row.RunFrameTimes.size() != row.Fps.size())
                __builtin_trap();
    }
    return 0;
}
