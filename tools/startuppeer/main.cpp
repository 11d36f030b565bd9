// startuppeer: one black window of the main window's size, nothing else. Run with
// VARNHOLT_BENCH_STARTUP=<ms> it reports as the program does (see app/StartupProbe.h).

#include "app/StartupProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(556, 475);
    QPalette black = window.palette();
    black.setColor(QPalette::Window, Qt::black);
    window.setPalette(black);
    window.setAutoFillBackground(true);
    StartupProbe::Install(&window);
    window.show();
    return app.exec();
}
