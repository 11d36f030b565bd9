#include "StackingOrder.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace stacking {

namespace {

QString titleOf(Display* display, Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QString title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && type == utf8 && format == 8)
        title = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
    if (data != nullptr)
        XFree(data);
    if (!title.isEmpty())
        return title;
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = QString::fromLocal8Bit(name);
        XFree(name);
    }
    return title;
}

// Windows come and go while the tree is read: an error about one that has gone is no reason
// to end the test program, which is what Xlib's own handler does.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

qint64 pidOf(Display* display, Window window) {
    const Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    qint64 pid = 0;
    if (XGetWindowProperty(display, window, netPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr && type == XA_CARDINAL && format == 32 && count == 1)
        pid = qint64(*reinterpret_cast<const unsigned long*>(data));
    if (data != nullptr)
        XFree(data);
    return pid;
}

} // namespace

QList<TopLevel> viewableTopLevels(const QString& name) {
    QList<TopLevel> found;
    Display* display = XOpenDisplay(name.toLatin1().constData());
    if (display == nullptr)
        return found;
    XSetErrorHandler(ignoreErrors);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found.append(
                    {children[i], titleOf(display, children[i]), pidOf(display, children[i])});
        }
        if (children != nullptr)
            XFree(children);
    }
    XCloseDisplay(display);
    return found;
}

} // namespace stacking
