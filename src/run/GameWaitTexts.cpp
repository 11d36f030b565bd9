#include "run/GameWaitTexts.h"

#include <algorithm>

QString WaitedTime(qint64 ms) {
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString AwaitingGameLine(qint64 waitedMs, bool late, const QStringList& otherCopies) {
    QString line = late ? QStringLiteral("Waiting for Steam to start the game: it may be updating "
                                         "it or preparing shaders (%1)")
                        : QStringLiteral("waiting for Steam to start the game (%1)");
    line = line.arg(WaitedTime(waitedMs));
    if (!otherCopies.isEmpty())
        line += QStringLiteral("; another copy of the game is running: ") +
                otherCopies.join(QStringLiteral(", "));
    return line;
}

QString GameRunningLine(qint64 runningMs) {
    return QStringLiteral("the game is running (%1)").arg(WaitedTime(runningMs));
}

QString FinishedRunLine(int run, const std::optional<double>& fps) {
    return fps ? QStringLiteral("run %1: %2 FPS").arg(run).arg(*fps, 0, 'f', 2)
               : QStringLiteral("run %1: no result").arg(run);
}

QString GameNeverStartedMessage(qint64 deadlineMs) {
    return QStringLiteral(
               "Steam did not start the game within %1 of the request, so the benchmark was "
               "stopped and your game files were put back. Look at Steam's window: it may be "
               "downloading or updating Half-Life 2, preparing its shaders, or waiting for an "
               "answer in one of its dialogs (a launch option prompt, a cloud sync conflict, "
               "an error). Once the game starts from Steam by itself, run the benchmark again.")
        .arg(WaitedTime(deadlineMs));
}

QString LaunchOptionsDroppedMessage() {
    return QStringLiteral(
        "Steam started the game without the benchmark's launch options, so no demo plays. "
        "This happens when Steam runs minimised to the tray or in Big Picture mode. The "
        "benchmark was stopped and your game files were put back; the game is left running "
        "for you to quit. Bring Steam's window up, leave Big Picture mode, and run the "
        "benchmark again.");
}
