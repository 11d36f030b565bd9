#pragma once

#include <vector>

namespace platform {

struct ScreenSize {
    int width = 0;
    int height = 0;
    bool operator==(const ScreenSize&) const = default;
};

// The screen sizes the X server offers for the default screen of the display named by
// $DISPLAY, in the order it reports them, repeats included (one per mode). No reachable
// display gives an empty list.
std::vector<ScreenSize> ReadDisplayModes();

} // namespace platform
