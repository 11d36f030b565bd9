#pragma once

#include <QPoint>
#include <QStringList>
#include <QUrl>
#include <cstring>
#include <optional>

// The news window runs in a process of its own: the program started again with "/news". Only
// that process loads the news plugin and with it the browser engine, so the program's main
// process never maps the engine, and the whole engine goes away when the news process ends
// (as it does while a series runs, see NewsHost).
//
// The two talk in lines. The news process says "shown X Y" once its window is shown at X, Y;
// told "quit", it says "left X Y M" (M: 1 when minimised, else 0) and ends. It also ends when
// its window is closed, and when the program that started it is gone (its input ends).

inline constexpr char NewsSwitch[] = "/news";

struct NewsArguments {
    QPoint place;           // the window's top-left corner
    bool minimized = false; // shown minimised
    bool behind = false;    // shown under the other windows, without taking the focus
    QUrl address;           // the page; empty: nowhere
    bool operator==(const NewsArguments&) const = default;
};

// The arguments after the program's path: "/news", "/at=X,Y", "/minimized" and "/behind" when
// set, then the address when there is one.
QStringList NewsCommandLine(const NewsArguments& arguments);
// Read back; nothing when they do not start with "/news" or a part is not understood.
std::optional<NewsArguments> ParseNewsCommandLine(const QStringList& arguments);

inline bool IsNewsProcess(int argc, char** argv) {
    return argc > 1 && std::strcmp(argv[1], NewsSwitch) == 0;
}

// Settings the browser engine needs before the QApplication exists: the OpenGL contexts it
// renders with shared with the windows', and (as the super-user, where its sandbox refuses to
// start) the sandbox switched off. A sandbox setting already in the environment is left alone.
// Called later (tests), it still settles the sandbox before the first browser starts. Touches
// nothing of the engine itself. For the news window's process only: in any other the shared
// contexts load the graphics driver for nothing.
void PrepareWebEngine();

// The news window's process: shows the window from the plugin beside the program and answers
// the program until its window closes or it is told to go. Returns the exit code.
int NewsProcessMain(int argc, char** argv);
