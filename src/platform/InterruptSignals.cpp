#include "platform/InterruptSignals.h"

#include "platform/Errors.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int pipeEnds[2] = {-1, -1};
std::array<struct sigaction, NSIG> previous{};

extern "C" void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe drops the signal: one waiting in it already stops the same work.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

extern "C" void onBrokenPipe(int) {}

} // namespace

std::vector<int> StopSignals() {
    return {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
}

void IgnoreBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = onBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGPIPE, &action, nullptr);
}

InterruptSignals::InterruptSignals(std::vector<int> signalNumbers, QObject* parent)
    : QObject(parent), signals_(std::move(signalNumbers)) {
    if (pipeEnds[0] >= 0)
        throw AppError(QStringLiteral("The interrupt signals are handled already."));
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw OsError(errno, QString::fromLocal8Bit(std::strerror(errno)));
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptSignals::drain);
    for (const int number : signals_) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, &previous[static_cast<size_t>(number)]);
    }
}

InterruptSignals::~InterruptSignals() {
    for (const int number : signals_)
        ::sigaction(number, &previous[static_cast<size_t>(number)], nullptr);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void InterruptSignals::drain() {
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            emit interrupted(bytes[i]);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace platform
