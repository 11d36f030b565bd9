// instancetest [--minimised]: a guarded program with one window. It prints
//   "running <pid>"           once its window is shown (a rejected copy never gets there),
//   "front minimised|normal"  each time a later copy brought it to the front, with the state
//                              its window is in afterwards,
// and ends normally when its standard input reads "quit" or closes.

#include "ui/SingleInstanceGuard.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>

namespace {

void say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SingleInstanceGuard guard;
    guard.Check();

    QWidget window;
    window.setWindowTitle(QStringLiteral("instancetest"));
    window.resize(200, 100);
    guard.setMainWindow(&window);
    QObject::connect(&guard, &SingleInstanceGuard::broughtToFront,
                     [&window] { say(window.isMinimized() ? "front minimised" : "front normal"); });
    if (app.arguments().contains(QStringLiteral("--minimised")))
        window.showMinimized();
    else
        window.show();

    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    QSocketNotifier commands(0, QSocketNotifier::Read);
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine();
        if (line.isEmpty() || line.trimmed() == "quit")
            app.quit();
    });

    say("running " + QByteArray::number(QCoreApplication::applicationPid()));
    return app.exec();
}
