#pragma once

#include <QObject>
#include <vector>

class QSocketNotifier;

namespace platform {

// Turns the interrupt and termination signals (Ctrl-C, kill) into a Qt signal delivered from
// the event loop, so whatever they stop is stopped between two steps, never inside one. The
// handler only writes the signal's number into a pipe of its own. One at a time per process;
// the earlier handlers come back when it is destroyed.
class InterruptSignals : public QObject {
    Q_OBJECT
public:
    explicit InterruptSignals(std::vector<int> signalNumbers, QObject* parent = nullptr);
    ~InterruptSignals() override;
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

signals:
    void interrupted(int signalNumber);

private:
    void drain();

    std::vector<int> signals_;
    QSocketNotifier* notifier_ = nullptr;
};

// The signals that end the program from outside: interrupt, termination, hang-up and quit.
std::vector<int> StopSignals();

// Writes to a pipe or socket whose reader has gone fail with an error instead of ending the
// program. A handler that does nothing rather than SIG_IGN: programs started later get the
// default back.
void IgnoreBrokenPipes();

// Whether the standard error stream is a terminal (where a progress bar can be redrawn).
bool StandardErrorIsTerminal();

} // namespace platform
