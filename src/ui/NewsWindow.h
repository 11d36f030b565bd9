#pragma once

#include <QUrl>
#include <QtPlugin>

class QWidget;

// The news window's browser, a plugin in the program folder.
inline constexpr char NewsPluginFile[] = "newswindow.so";

// The news window as the program sees it. Its browser lives in a plugin of its own
// (src/ui/news/), loaded only by the news window's own process (ui/NewsProcess.h): the browser
// engine is the heaviest part of the program, and nothing of it is ever loaded into the
// program's main process.
class NewsWindow {
public:
    virtual ~NewsWindow() = default;

    // The window itself (the object is a QWidget).
    virtual QWidget* Window() = 0;
    // Lets the browser show a web address or a local file.
    virtual void Navigate(const QUrl& address) = 0;
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
