#pragma once

#include <QUrl>
#include <QtPlugin>

class QWidget;

// The news window as the program sees it. Its browser lives in a plugin of its own
// (src/ui/news/), loaded once the main window is on the screen: the browser engine is the
// heaviest part of the program, and nothing of it is loaded or mapped before then.
class NewsWindow {
public:
    virtual ~NewsWindow() = default;

    // The window itself (the object is a QWidget).
    virtual QWidget* Window() = 0;

    // Lets the browser show a web address or a local file. While the browser is asleep the
    // address is only noted, and shown when it wakes.
    virtual void Navigate(const QUrl& address) = 0;

    // While a series runs the browser is let go: its page and its renderer process end and
    // its memory caches are emptied, so that the game has the machine. The window stays where
    // it is, black.
    virtual void Sleep() = 0;
    // Builds the browser again and brings back the last address it was given.
    virtual void Wake() = 0;
    virtual bool Asleep() const = 0;
};

// What the news plugin's root object offers.
class NewsWindowMaker {
public:
    virtual ~NewsWindowMaker() = default;
    // A new hidden news window; the caller owns it.
    virtual NewsWindow* MakeNewsWindow() = 0;
};

// The interface's name and version: a plugin built for another version of it is refused.
#define NewsWindowMaker_iid "org.quillon.Varnholt.NewsWindowMaker/1"
Q_DECLARE_INTERFACE(NewsWindowMaker, NewsWindowMaker_iid)
