// A frame log left by MangoHud in the program's folder.
#include "results/FrameFigures.h"
#include "run/MangoHudLog.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const MangoHudLogRead whole = ReadMangoHudLog(QByteArray(bytes, static_cast<qsizetype>(size)));
    // Exactly one of frames and a reason.
    if (whole.Frames.has_value() == !whole.Problem.isEmpty())
        __builtin_trap();
    // Read in two pieces, split where the input's first byte says, it reads the same.
    MangoHudLogParser parser;
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    parser.Feed(bytes, cut);
    parser.Feed(bytes + cut, size - cut);
    const MangoHudLogRead pieces = parser.Finish();
    if (pieces.Frames.has_value() != whole.Frames.has_value())
        __builtin_trap();
    if (!whole.Frames)
        return 0;
    if (pieces.Frames->size() != whole.Frames->size() ||
        pieces.Sensors.size() != whole.Sensors.size() || pieces.Parts.size() != whole.Parts.size())
        __builtin_trap();
    // The logs of the file follow each other and hold every frame; samples name a log.
    std::size_t next = 0;
    for (const MangoHudLogPart& part : whole.Parts) {
        if (part.First != next)
            __builtin_trap();
        next += part.Count;
    }
    if (next != whole.Frames->size() || whole.Parts.size() > kMaxMangoHudLogParts)
        __builtin_trap();
    for (const SensorSample& sample : whole.Sensors)
        if (sample.Part >= whole.Parts.size() || whole.Parts[sample.Part].Count == 0)
            __builtin_trap();
    std::vector<float> ms;
    for (const LoggedFrame& frame : *whole.Frames) {
        if (!(frame.Ms >= 0) || !(frame.AtSeconds >= 0))
            __builtin_trap();
        ms.push_back(frame.Ms);
    }
    if (const std::optional<FrameFigures> f = ComputeFrameFigures(ms)) {
        if (f->Frames != static_cast<int>(ms.size()) || f->Stutters > f->Frames ||
            f->StutterTimeShare < 0 || f->StutterTimeShare > 1 + 1e-9)
            __builtin_trap();
    }
    return 0;
}
