// The frames file beside a data file, read back for the results window's plot.
#include "results/FramesFile.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const QByteArray whole(bytes, static_cast<qsizetype>(size));
    // The run asked for is one the seeds hold.
    const QString caption = QStringLiteral("800 \u00D7 600");
    const FramesFileRead read = ReadFramesFile(whole, caption, 2);
    // Exactly one of frames and a reason.
    if (read.Ok == !read.Problem.isEmpty())
        __builtin_trap();
    if (!read.Ok && !read.FrameMs.empty())
        __builtin_trap();
    for (const float ms : read.FrameMs)
        if (!(ms >= 0) || !std::isfinite(ms) || ms > kMaxFrameMs)
            __builtin_trap();
    // Read in two pieces, split where the input's first byte says, it reads the same.
    FramesFileParser parser(caption, 2);
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    parser.Feed(bytes, cut);
    parser.Feed(bytes + cut, size - cut);
    const FramesFileRead pieces = parser.Finish();
    if (pieces.Ok != read.Ok || pieces.Problem != read.Problem || pieces.FrameMs != read.FrameMs)
        __builtin_trap();
    return 0;
}
