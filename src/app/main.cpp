#include "Version.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillon Varnholt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VARNHOLT_VERSION));
    std::printf("Quillon Varnholt %s\n", VARNHOLT_VERSION);
    std::printf("The main window is not built yet; this build holds the benchmark core only.\n");
    return 0;
}
