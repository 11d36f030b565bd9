// The JSON walk the data file reader stands on, over any text: each value kept, lists and
// objects walked element by element to the walk's depth.
#include "results/JsonWalk.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int MaxDepth = 16;

void walkAny(JsonWalk& walk, int depth) {
    const char next = walk.Peek();
    if (next == '[') {
        walk.List([&](qsizetype) { walkAny(walk, depth + 1); });
    } else if (next == '{') {
        walk.Object([&](const QString&) { walkAny(walk, depth + 1); });
    } else {
        JsonKept kept;
        walk.Value(&kept);
        if (kept.kind == JsonKept::Absent || kept.kind == JsonKept::List ||
            kept.kind == JsonKept::Object)
            __builtin_trap();
        if (kept.kind == JsonKept::Number && std::isnan(kept.number))
            __builtin_trap(); // JSON has no NaN
    }
    if (depth > MaxDepth)
        __builtin_trap(); // the walk refuses what nests deeper
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        JsonWalk walk(bytes, MaxDepth);
        walkAny(walk, 0);
        walk.End();
        // What walks whole nests no deeper than the walk allows.
        if (JsonNestingDepth(bytes, MaxDepth) > MaxDepth)
            __builtin_trap();
    } catch (const JsonSyntaxError& error) {
        if (error.at < 0 || error.at > bytes.size() || error.what.isEmpty())
            __builtin_trap();
    }
    return 0;
}
