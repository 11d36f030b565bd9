#include "process/ProcessRunner.h"

#include "process/TopLevelErrorReport.h"

#include <QMetaObject>
#include <atomic>
#include <system_error>

namespace {

// Leading and trailing blanks and control characters, as the names may come from user input.
QString trimmedName(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

// Shared by the runner and its wait thread. The thread reads the child and the stop event;
// the runner frees the job only after joining the thread.
struct ProcessRunner::WaitJob {
    StopEvent stop;
    std::unique_ptr<EndingProcess> child;
    std::atomic<bool> detached{false};
};

ProcessRunner::ProcessRunner(QObject* parent) : QObject(parent) {}

ProcessRunner::~ProcessRunner() {
    // A report the thread may already have queued dies with this object: QObject drops the
    // events posted to it.
    StopWaiting();
}

void ProcessRunner::SetWaitForTerminate(bool value) {
    Reset();
    waitForTerminate_ = value;
}

void ProcessRunner::Reset() {
    if (state_ == RunnerState::Waiting && pending_ > 0)
        throw RunnerBusyError(
            QStringLiteral("Cannot perform this operation when process is running"));
    state_ = RunnerState::Idle;
    pending_ = 0;
}

void ProcessRunner::StopWaiting() {
    if (!job_)
        return;
    job_->detached = true;
    job_->stop.set();
    if (waitThread_.joinable())
        waitThread_.join();
    job_.reset(); // the child, still running, goes to the background reaper
    pending_ = 0;
    state_ = RunnerState::Idle;
}

void ProcessRunner::Run() {
    Reset();

    SpawnRequest request;
    request.applicationName = trimmedName(ApplicationName);
    request.commandLine = CommandLine;
    request.currentDirectory = trimmedName(CurrentDirectory);
    request.priority = Priority;
    request.environment = Environment;
    request.newProcessGroup = NewProcessGroup;
    request.newSession = NewSession;

    if (!waitForTerminate_) {
        // Nobody waits for this one: dropping it hands it to the reaper.
        spawnProcess(request);
        state_ = RunnerState::Started;
        return;
    }

    WaitFor([&request] { return spawnProcess(request); });
}

void ProcessRunner::Follow(qint64 pid) {
    Reset();
    WaitFor([pid]() -> std::unique_ptr<EndingProcess> { return followProcess(pid); });
}

void ProcessRunner::WaitFor(const std::function<std::unique_ptr<EndingProcess>()>& open) {
    // The stop event first, so that a failure there leaves no process behind.
    auto job = std::make_unique<WaitJob>();
    job->child = open();
    try {
        waitThread_ = std::thread(&ProcessRunner::WaitMain, job.get(), this);
    } catch (const std::system_error& e) {
        throw OsError(e.code().value(), QString::fromLocal8Bit(e.what()));
    }
    job_ = std::move(job);
    state_ = RunnerState::Waiting;
    pending_ = 1;
}

void ProcessRunner::WaitMain(WaitJob* job, ProcessRunner* runner) {
    quint32 code = StoppedExitCode;
    std::exception_ptr error;
    try {
        if (const std::optional<quint32> ended = job->child->waitForEnd(job->stop))
            code = *ended;
    } catch (...) {
        error = std::current_exception();
    }
    if (job->detached)
        return;
    QMetaObject::invokeMethod(
        runner, [runner, code, error] { runner->WaitEnded(code, error); }, Qt::QueuedConnection);
}

void ProcessRunner::WaitEnded(quint32 exitCode, const std::exception_ptr& error) {
    // The thread has queued this as its last act, so the join does not wait for long.
    if (waitThread_.joinable())
        waitThread_.join();
    job_.reset();
    exitCode_ = exitCode;
    if (error) {
        // A failed wait still ends in a report, or the runner would wait for ever.
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            reportTopLevelError(e);
        } catch (...) {
            reportTopLevelError(AppError(QStringLiteral("Unknown error while waiting")));
        }
    }
    if (state_ != RunnerState::Waiting || --pending_ > 0)
        return;
    Reset();
    if (!OnTerminate)
        return;
    // A copy: the handler may assign OnTerminate, or destroy this runner.
    const TerminateEvent handler = OnTerminate;
    try {
        handler(exitCode);
    } catch (const std::exception& e) {
        reportTopLevelError(e);
    } catch (...) {
        reportTopLevelError(AppError(QStringLiteral("Unknown error in a termination handler")));
    }
}
