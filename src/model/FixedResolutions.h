#pragma once

#include "model/BenchmarkSettings.h"

#include <array>

// The nine fixed resolutions, in run order: the one table the slot rows (captions and the tag
// a series carries), the start-up check against the screen's modes, and the stored ticks read.
struct FixedResolution {
    int Width = 0;
    int Height = 0;
    bool Wide = false;          // captions say " (HD WideScreen)"
    const char* SlotTag = "";   // the row's tag in a series: "640" ... "2048", "hdtv1" ...
    const char* ValueName = ""; // the program key's value for its tick: ... "hdw1" ...
};

inline constexpr std::array<FixedResolution, FixedSlotCount> FixedResolutions = {{
    {640, 480, false, "640", "640"},
    {800, 600, false, "800", "800"},
    {1024, 768, false, "1024", "1024"},
    {1280, 1024, false, "1280", "1280"},
    {1600, 1200, false, "1600", "1600"},
    {2048, 1536, false, "2048", "2048"},
    {1280, 768, true, "hdtv1", "hdw1"},
    {1920, 1080, true, "hdtv2", "hdw2"},
    {1920, 1200, true, "hdtv3", "hdw3"},
}};
