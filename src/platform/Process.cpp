#include "platform/Process.h"

#include "platform/CommandLine.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

[[noreturn]] void throwOsError(int code) {
    char buffer[256];
    const char* text = strerror_r(code, buffer, sizeof buffer);
    throw OsError(code, QString::fromLocal8Bit(text));
}

// Reaps a child by its pidfd, blocking until it has ended, and closes the pidfd.
void reapAndClose(int pidfd) {
    siginfo_t info{};
    while (waitid(P_PIDFD, static_cast<id_t>(pidfd), &info, WEXITED) < 0 && errno == EINTR) {
    }
    ::close(pidfd);
}

// Children that were let go unreaped (a stopped wait, a start nobody waits for) are reaped here
// when they end. It only ever waits on pidfds handed to it, so children of other parts of the
// program are left alone.
class Reaper {
public:
    static Reaper& instance() {
        // Never destroyed: its thread runs until the program ends.
        static Reaper* reaper = new Reaper;
        return *reaper;
    }

    void adopt(int pidfd) {
        if (epfd_ >= 0) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.fd = pidfd;
            if (epoll_ctl(epfd_, EPOLL_CTL_ADD, pidfd, &ev) == 0)
                return;
        }
        try {
            std::thread([pidfd] { reapAndClose(pidfd); }).detach();
        } catch (const std::exception&) {
            qWarning("Cannot reap child process: no thread available");
            ::close(pidfd);
        }
    }

private:
    Reaper() : epfd_(epoll_create1(EPOLL_CLOEXEC)) {
        if (epfd_ < 0)
            return;
        try {
            std::thread([this] { loop(); }).detach();
        } catch (const std::exception&) {
            ::close(epfd_);
            epfd_ = -1;
        }
    }

    void loop() {
        epoll_event events[16];
        while (true) {
            const int n = epoll_wait(epfd_, events, 16, -1);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                qWarning("Child process reaper stopped: %s", std::strerror(errno));
                return;
            }
            // A readable pidfd means the child has ended, so the wait below does not block;
            // closing the pidfd also takes it out of the set.
            for (int i = 0; i < n; ++i)
                reapAndClose(events[i].data.fd);
        }
    }

    int epfd_;
};

std::optional<int> niceFor(SpawnPriority priority) {
    switch (priority) {
    case SpawnPriority::Idle:
        return 19;
    case SpawnPriority::High:
        return -10;
    case SpawnPriority::RealTime:
        return -20;
    case SpawnPriority::Normal:
        break;
    }
    return std::nullopt;
}

QByteArray programPath(const QString& program) {
    // The working directory is changed in the child before loading, so a relative program
    // must be made absolute against ours first.
    const QString path = program.startsWith(QLatin1Char('/'))
                             ? program
                             : QDir::currentPath() + QLatin1Char('/') + program;
    return QFile::encodeName(path);
}

std::vector<char*> pointers(std::vector<QByteArray>& texts) {
    std::vector<char*> result;
    result.reserve(texts.size() + 1);
    for (QByteArray& t : texts)
        result.push_back(t.data());
    result.push_back(nullptr);
    return result;
}

class SpawnSettings {
public:
    SpawnSettings() {
        if (int rc = posix_spawnattr_init(&attr_))
            throwOsError(rc);
        if (int rc = posix_spawn_file_actions_init(&actions_)) {
            posix_spawnattr_destroy(&attr_);
            throwOsError(rc);
        }
    }
    ~SpawnSettings() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attr_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    static void check(int rc) {
        if (rc != 0)
            throwOsError(rc);
    }

    posix_spawnattr_t attr_;
    posix_spawn_file_actions_t actions_;
};

} // namespace

StopEvent::StopEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0)
        throwOsError(errno);
}

StopEvent::~StopEvent() {
    ::close(fd_);
}

void StopEvent::set() {
    const eventfd_t one = 1;
    // The counter only grows and is never read, so the event stays set.
    [[maybe_unused]] ssize_t written = ::write(fd_, &one, sizeof one);
}

ChildProcess::~ChildProcess() {
    if (reaped_)
        ::close(pidfd_);
    else
        Reaper::instance().adopt(pidfd_);
}

namespace {

// Waits until the process behind `pidfd` has ended (true) or `stop` is set (false).
bool waitForPidfd(int pidfd, const StopEvent& stop) {
    pollfd fds[2] = {{stop.handle(), POLLIN, 0}, {pidfd, POLLIN, 0}};
    while (poll(fds, 2, -1) < 0) {
        if (errno != EINTR)
            throwOsError(errno);
    }
    return !(fds[0].revents & POLLIN);
}

int openPidfd(qint64 pid) {
    // Called directly: the C library's wrapper header lacks C linkage in some versions.
    return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

} // namespace

std::optional<quint32> ChildProcess::waitForEnd(const StopEvent& stop) {
    if (!waitForPidfd(pidfd_, stop))
        return std::nullopt;
    siginfo_t info{};
    while (waitid(P_PIDFD, static_cast<id_t>(pidfd_), &info, WEXITED) < 0) {
        if (errno != EINTR)
            throwOsError(errno);
    }
    reaped_ = true;
    if (info.si_code == CLD_EXITED)
        return static_cast<quint32>(info.si_status);
    return SignalBase + static_cast<quint32>(info.si_status);
}

FollowedProcess::~FollowedProcess() {
    ::close(pidfd_);
}

std::optional<quint32> FollowedProcess::waitForEnd(const StopEvent& stop) {
    if (!waitForPidfd(pidfd_, stop))
        return std::nullopt;
    return UnknownExitCode;
}

bool FollowedProcess::ended() const {
    pollfd fd{pidfd_, POLLIN, 0};
    int ready;
    do {
        ready = poll(&fd, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

std::unique_ptr<FollowedProcess> followProcess(qint64 pid) {
    if (pid <= 0)
        throwOsError(ESRCH);
    const int pidfd = openPidfd(pid);
    if (pidfd < 0)
        throwOsError(errno);
    return std::unique_ptr<FollowedProcess>(new FollowedProcess(pid, pidfd));
}

bool isExecutableFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(native.constData(), X_OK) == 0;
}

std::unique_ptr<ChildProcess> spawnProcess(const SpawnRequest& request) {
    const QStringList searchFolders =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const CommandParts parts =
        splitCommand(request.applicationName, request.commandLine, searchFolders, isExecutableFile);
    if (parts.program.isEmpty())
        throwOsError(ENOENT);

    // An unresolved program is still handed to the loader, so its own errno (missing, not
    // executable, ...) is what the caller sees.
    const QByteArray program = programPath(parts.program);
    std::vector<QByteArray> argTexts;
    for (const QString& a : parts.argv)
        argTexts.push_back(a.toLocal8Bit());
    std::vector<char*> argv = pointers(argTexts);

    std::vector<QByteArray> envTexts;
    for (const QString& e : request.environment)
        envTexts.push_back(e.toLocal8Bit());
    std::vector<char*> envp = pointers(envTexts);

    SpawnSettings s;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    SpawnSettings::check(posix_spawnattr_setsigmask(&s.attr_, &none));
    SpawnSettings::check(posix_spawnattr_setsigdefault(&s.attr_, &all));
    if (request.newSession) {
        flags |= POSIX_SPAWN_SETSID; // a new session is a new process group as well
    } else if (request.newProcessGroup) {
        flags |= POSIX_SPAWN_SETPGROUP;
        SpawnSettings::check(posix_spawnattr_setpgroup(&s.attr_, 0));
    }
    SpawnSettings::check(posix_spawnattr_setflags(&s.attr_, flags));
    if (!request.currentDirectory.isEmpty()) {
        const QByteArray dir = QFile::encodeName(request.currentDirectory);
        SpawnSettings::check(posix_spawn_file_actions_addchdir_np(&s.actions_, dir.constData()));
    }
    // Nothing of ours is passed on beyond the standard streams.
    SpawnSettings::check(posix_spawn_file_actions_addclosefrom_np(&s.actions_, 3));

    char** env = request.environment.isEmpty() ? environ : envp.data();
    pid_t pid = 0;
    auto spawn = [&] {
        return posix_spawn(&pid, program.constData(), &s.actions_, &s.attr_, argv.data(), env);
    };
    int rc = 0;
    if (const std::optional<int> nice = niceFor(request.priority)) {
        // The child takes its nice value from the thread that creates it. Lowering a thread's
        // nice value again needs privileges, so a throwaway thread takes it and spawns; the
        // child starts with it and never runs at the caller's priority.
        try {
            std::thread spawner([&] {
                // A refused change leaves the caller's priority: best effort, as intended.
                setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), *nice);
                rc = spawn();
            });
            spawner.join();
        } catch (const std::system_error& e) {
            throwOsError(e.code().value());
        }
    } else {
        rc = spawn();
    }
    if (rc != 0)
        throwOsError(rc);

    // The child is ours and unreaped, so its pid cannot be reused before this call.
    const int pidfd = openPidfd(pid);
    if (pidfd < 0) {
        const int err = errno;
        // Cannot follow it; still make sure it does not linger as a zombie.
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        throwOsError(err);
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid, pidfd));
}
