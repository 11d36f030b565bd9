#pragma once

#include <QObject>
#include <initializer_list>
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
    explicit InterruptSignals(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
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

// Whether the standard error stream is a terminal (where a progress bar can be redrawn).
bool StandardErrorIsTerminal();

} // namespace platform
