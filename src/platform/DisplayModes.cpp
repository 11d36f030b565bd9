#include "platform/DisplayModes.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <memory>

namespace platform {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

struct ResourcesFree {
    void operator()(XRRScreenResources* resources) const { XRRFreeScreenResources(resources); }
};

struct OutputInfoFree {
    void operator()(XRROutputInfo* info) const { XRRFreeOutputInfo(info); }
};

using OutputInfo = std::unique_ptr<XRROutputInfo, OutputInfoFree>;

const XRRModeInfo* findMode(const XRRScreenResources& resources, RRMode id) {
    for (int i = 0; i < resources.nmode; ++i)
        if (resources.modes[i].id == id)
            return &resources.modes[i];
    return nullptr;
}

// The modes of one output: the primary one, else the first connected output that has modes.
// That is the screen the program's window appears on.
OutputInfo chosenOutput(Display* display, Window root, const XRRScreenResources& resources,
                        bool hasPrimary) {
    if (hasPrimary) {
        const RROutput primary = XRRGetOutputPrimary(display, root);
        if (primary != None) {
            OutputInfo info(
                XRRGetOutputInfo(display, const_cast<XRRScreenResources*>(&resources), primary));
            if (info && info->nmode > 0)
                return info;
        }
    }
    for (int i = 0; i < resources.noutput; ++i) {
        OutputInfo info(XRRGetOutputInfo(display, const_cast<XRRScreenResources*>(&resources),
                                         resources.outputs[i]));
        if (info && info->connection == RR_Connected && info->nmode > 0)
            return info;
    }
    return nullptr;
}

std::vector<ScreenSize> outputModes(Display* display, Window root, bool hasPrimary) {
    std::vector<ScreenSize> sizes;
    std::unique_ptr<XRRScreenResources, ResourcesFree> resources(
        XRRGetScreenResources(display, root));
    if (!resources)
        return sizes;
    if (OutputInfo output = chosenOutput(display, root, *resources, hasPrimary)) {
        for (int i = 0; i < output->nmode; ++i)
            if (const XRRModeInfo* mode = findMode(*resources, output->modes[i]))
                sizes.push_back({static_cast<int>(mode->width), static_cast<int>(mode->height)});
        return sizes;
    }
    // No output tells which modes are its own: take every mode the screen knows.
    for (int i = 0; i < resources->nmode; ++i)
        sizes.push_back({static_cast<int>(resources->modes[i].width),
                         static_cast<int>(resources->modes[i].height)});
    return sizes;
}

} // namespace

std::vector<ScreenSize> ReadDisplayModes() {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return {};
    Display* dpy = display.get();
    const int screen = DefaultScreen(dpy);
    const Window root = RootWindow(dpy, screen);

    // Asked through the core protocol first: libXrandr leaks its per-display record when the
    // server lacks the extension.
    int opcode = 0, eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XQueryExtension(dpy, "RANDR", &opcode, &eventBase, &errorBase) ||
        !XRRQueryExtension(dpy, &eventBase, &errorBase) || !XRRQueryVersion(dpy, &major, &minor))
        // Without RandR the screen can still show the size it has.
        return {{DisplayWidth(dpy, screen), DisplayHeight(dpy, screen)}};

    if (major > 1 || (major == 1 && minor >= 2))
        return outputModes(dpy, root, major > 1 || minor >= 3);

    // RandR 1.0 and 1.1 know screen sizes only.
    std::vector<ScreenSize> sizes;
    int count = 0;
    if (XRRScreenSize* list = XRRSizes(dpy, screen, &count))
        for (int i = 0; i < count; ++i)
            sizes.push_back({list[i].width, list[i].height});
    return sizes;
}

} // namespace platform
