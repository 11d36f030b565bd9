// Stand-in for the Steam client and its launcher, working from the folder it lies in.
//
//   steam.exe                       the client: runs until SIGTERM, SIGINT or "steam.exe
//                                   -shutdown"; a second start while one runs exits at once (0)
//   steam.exe -shutdown             asks the running client to quit and waits for its end;
//                                   1 when no client runs
//   steam.exe [-silent] -applaunch 380 ARGS...
//                                   starts steamapps/<account>/half-life 2 episode one/hl2.exe
//                                   (of the last account folder in listing order that has it,
//                                   the one the program's discovery settles on) with ARGS in
//                                   its own session and exits 0 once the game is running;
//                                   2 for a missing or unknown application id, 3 when the game
//                                   is not installed, 4 when it cannot be started
//
// The client announces itself in steam.pid in its folder, which it keeps locked while it runs.
//
// Built a second time as today's "steam" command (TESTBED_MODERN), which works the same way on
// the Steam root that $HOME/.steam/root leads to: "-applaunch 380 ARGS" starts hl2_linux in the
// first library of steamapps/libraryfolders.vdf that holds "steamapps/common/Half-Life 2/",
// and with VARNHOLT_TESTBED_DROP_SIZE=1 it leaves "-width" and "-height" out of ARGS, with
// VARNHOLT_TESTBED_DROP_ARGS=1 every one of them (as a client in the tray or in Big Picture
// does). It starts hl2_linux itself rather than through hl2.sh, so that it can return once the
// game runs. With VARNHOLT_TESTBED_START_DELAY_MS=N it returns at once and the game starts N ms
// later, as when the client first updates the game or prepares its shaders.

#include "StandIn.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadApp = 2;
constexpr int kExitNoGame = 3;
constexpr int kExitCannotStart = 4;

const QString kGameAppId = QStringLiteral("380");

// Through syscall(): the C library's pidfd header lacks C++ linkage here.
int pidfdOpen(pid_t pid) {
    return int(::syscall(SYS_pidfd_open, pid, 0));
}
int pidfdSendSignal(int pidFd, int sig) {
    return int(::syscall(SYS_pidfd_send_signal, pidFd, sig, nullptr, 0));
}

#ifdef TESTBED_MODERN
constexpr bool kModern = true;
constexpr char kOwnName[] = "steam";
#else
constexpr bool kModern = false;
constexpr char kOwnName[] = "steam.exe";
#endif

void complain(const QString& message) {
    std::fprintf(stderr, "%s: %s\n", kOwnName, message.toLocal8Bit().constData());
}

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

qsizetype indexOfOption(const QStringList& args, const QString& option) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i].compare(option, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Today's game: hl2_linux in the first listed library that has it (the root is library 0).
QString findModernGame(const QString& steamDir) {
    QFile list(steamDir + QLatin1String(testbed::kLibraryListPath));
    QStringList libraries{steamDir};
    if (list.open(QIODevice::ReadOnly)) {
        static const QRegularExpression path(QStringLiteral("\"path\"\\s+\"([^\"]*)\""));
        const QString text = QString::fromUtf8(list.readAll());
        for (auto it = path.globalMatch(text); it.hasNext();)
            libraries << it.next().captured(1);
    }
    for (const QString& library : libraries) {
        const QFileInfo exe(library + QLatin1Char('/') + QLatin1String(testbed::kModernGameFolder) +
                            QLatin1Char('/') + QLatin1String(testbed::kModernGameExeName));
        if (exe.isFile() && exe.isExecutable())
            return exe.filePath();
    }
    return {};
}

// The client drops the size from what it hands on; everything else passes.
QStringList withoutSize(const QStringList& args) {
    QStringList kept;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if ((args[i] == QLatin1String("-width") || args[i] == QLatin1String("-height")) &&
            i + 1 < args.size()) {
            ++i;
            continue;
        }
        kept << args[i];
    }
    return kept;
}

QString findGame(const QString& steamDir) {
    if (kModern)
        return findModernGame(steamDir);
    // The program prepares the game it found last in the file system's own order of the
    // account folders; the client must start that one.
    QString game;
    QDirIterator accounts(steamDir + QStringLiteral("steamapps"),
                          QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (accounts.hasNext()) {
        const QFileInfo exe(accounts.next() + QLatin1Char('/') +
                            QLatin1String(testbed::kGameFolderName) + QLatin1Char('/') +
                            QLatin1String(testbed::kGameExeName));
        if (exe.isFile() && exe.isExecutable())
            game = exe.filePath();
    }
    return game;
}

// Runs in the forked children only: hands errno to the launcher and ends.
[[noreturn]] void reportAndExit(int errorPipe, int err) {
    ssize_t written;
    do {
        written = ::write(errorPipe, &err, sizeof err);
    } while (written < 0 && errno == EINTR);
    ::_exit(127);
}

void sleepMs(int ms) {
    timespec left{ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Starts the game in a session of its own, not as our child, with /dev/null for its standard
// streams and its folder as working directory. Returns once it has exec'd or failed to; with
// a delay, at once, and the game starts that much later (a failure then goes unreported).
int startDetached(const QString& exe, const QStringList& args, int delayMs) {
    const QByteArray path = QFile::encodeName(exe);
    const QByteArray dir = QFile::encodeName(QFileInfo(exe).absolutePath());
    std::vector<QByteArray> storage{path};
    for (const QString& arg : args)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        complain(QStringLiteral("cannot start %1: %2").arg(exe, errnoText(errno)));
        return kExitCannotStart;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        complain(QStringLiteral("cannot start %1: %2").arg(exe, errnoText(errno)));
        return kExitCannotStart;
    }
    if (child == 0) {
        ::close(errorPipe[0]);
        if (::setsid() < 0)
            reportAndExit(errorPipe[1], errno);
        // A second fork, so the game is nobody's child here and never a session leader.
        const pid_t game = ::fork();
        if (game < 0)
            reportAndExit(errorPipe[1], errno);
        if (game > 0)
            ::_exit(0);
        if (delayMs > 0) {
            ::close(errorPipe[1]);
            errorPipe[1] = -1;
            sleepMs(delayMs);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE})
            std::signal(sig, SIG_DFL);
        if (::chdir(dir.constData()) != 0)
            reportAndExit(errorPipe[1], errno);
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull < 0)
            reportAndExit(errorPipe[1], errno);
        for (int fd = 0; fd <= 2; ++fd) {
            if (::dup2(devNull, fd) < 0)
                reportAndExit(errorPipe[1], errno);
        }
        // Nothing the launcher inherited reaches the game, except the pipe that closes on exec.
        if (errorPipe[1] < 0) {
            ::close_range(3, ~0U, 0);
        } else {
            const unsigned keep = unsigned(errorPipe[1]);
            if (keep > 3)
                ::close_range(3, keep - 1, 0);
            ::close_range(keep + 1, ~0U, 0);
        }
        ::execv(path.constData(), argv.data());
        reportAndExit(errorPipe[1], errno);
    }

    ::close(errorPipe[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == ssize_t(sizeof err)) {
        complain(QStringLiteral("cannot start %1: %2").arg(exe, errnoText(err)));
        return kExitCannotStart;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        complain(QStringLiteral("cannot start %1").arg(exe));
        return kExitCannotStart;
    }
    return 0;
}

int launch(const QString& steamDir, const QStringList& rest) {
    if (rest.isEmpty()) {
        complain(QStringLiteral("-applaunch needs an application id"));
        return kExitBadApp;
    }
    if (rest.first() != kGameAppId) {
        complain(QStringLiteral("unknown application id %1").arg(rest.first()));
        return kExitBadApp;
    }
    const QString game = findGame(steamDir);
    if (game.isEmpty()) {
        complain(QStringLiteral("Half-Life 2: Episode One is not installed below %1steamapps/")
                     .arg(steamDir));
        return kExitNoGame;
    }
    QStringList args = rest.mid(1);
    int delayMs = 0;
    if (kModern) {
        if (qEnvironmentVariable(testbed::kDropSizeEnv) == QLatin1String("1"))
            args = withoutSize(args);
        if (qEnvironmentVariable(testbed::kDropArgsEnv) == QLatin1String("1"))
            args.clear();
        delayMs = std::max(0, qEnvironmentVariableIntValue(testbed::kStartDelayEnv));
    }
    return startDetached(game, args, delayMs);
}

QByteArray pidFilePath(const QString& steamDir) {
    return QFile::encodeName(steamDir + QLatin1String(testbed::kClientPidFileName));
}

int runClient(const QString& steamDir) {
    // Blocked before the pid is announced, so a request to quit is never lost.
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGTERM);
    sigaddset(&quit, SIGINT);
    ::sigprocmask(SIG_BLOCK, &quit, nullptr);

    const QByteArray path = pidFilePath(steamDir);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        complain(
            QStringLiteral("cannot open %1: %2").arg(QFile::decodeName(path), errnoText(errno)));
        return kExitFailure;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            return 0; // one client runs already; a second start leaves it be
        complain(
            QStringLiteral("cannot lock %1: %2").arg(QFile::decodeName(path), errnoText(errno)));
        return kExitFailure;
    }
    const QByteArray text = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.constData(), text.size(), 0) != text.size()) {
        complain(
            QStringLiteral("cannot write %1: %2").arg(QFile::decodeName(path), errnoText(errno)));
        ::unlink(path.constData());
        return kExitFailure;
    }
    int sig = 0;
    ::sigwait(&quit, &sig);
    ::unlink(path.constData());
    ::close(fd);
    return 0;
}

bool clientHoldsLock(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

// The pid the client wrote, once it is complete and names a steam.exe of this folder (a
// stale file from a killed client is rewritten a moment after the new client locks it).
pid_t readClientPid(int fd, const QString& steamExe) {
    char buf[32];
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0 || buf[n - 1] != '\n')
        return 0;
    bool ok = false;
    const pid_t pid = QByteArray(buf, n - 1).toInt(&ok);
    if (!ok || pid <= 0 || pid == ::getpid())
        return 0;
    // A client started from an earlier copy of this file (laid out again since) is still ours.
    return testbed::RunsProgramAt(testbed::readLink(QStringLiteral("/proc/%1/exe").arg(pid)),
                                  steamExe)
               ? pid
               : 0;
}

int shutDownClient(const QString& steamDir) {
    const QByteArray path = pidFilePath(steamDir);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !clientHoldsLock(fd)) {
        if (fd >= 0)
            ::close(fd);
        complain(QStringLiteral("no Steam client is running"));
        return kExitFailure;
    }
    const QString self = testbed::readLink(QStringLiteral("/proc/self/exe"));
    pid_t pid = 0;
    for (int attempt = 0; attempt < 500 && pid == 0; ++attempt) {
        pid = readClientPid(fd, self);
        if (pid == 0)
            ::usleep(10000);
    }
    ::close(fd);
    if (pid == 0) {
        complain(QStringLiteral("the Steam client has not recorded its process id"));
        return kExitFailure;
    }
    const int pidFd = pidfdOpen(pid);
    if (pidFd < 0) {
        if (errno == ESRCH)
            return 0; // it has just ended by itself
        complain(QStringLiteral("cannot reach the Steam client: %1").arg(errnoText(errno)));
        return kExitFailure;
    }
    if (pidfdSendSignal(pidFd, SIGTERM) != 0 && errno != ESRCH) {
        complain(QStringLiteral("cannot signal the Steam client: %1").arg(errnoText(errno)));
        ::close(pidFd);
        return kExitFailure;
    }
    pollfd ended{pidFd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&ended, 1, 10000);
    } while (ready < 0 && errno == EINTR);
    ::close(pidFd);
    if (ready != 1) {
        complain(QStringLiteral("the Steam client did not quit"));
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    // Today's command lies anywhere on the PATH; the root is the one the home folder names.
    const QString steamDir =
        kModern ? testbed::linkedFolder(qEnvironmentVariable("HOME") + QLatin1Char('/') +
                                        QLatin1String(testbed::kSteamRootLink))
                : testbed::executableFolder();
    if (steamDir.isEmpty()) {
        complain(kModern ? QStringLiteral("no Steam root at $HOME/.steam/root")
                         : QStringLiteral("cannot tell which folder it lies in"));
        return kExitFailure;
    }
    const qsizetype appLaunch = indexOfOption(args, QStringLiteral("-applaunch"));
    if (appLaunch >= 0)
        return launch(steamDir, args.mid(appLaunch + 1));
    if (indexOfOption(args, QStringLiteral("-shutdown")) >= 0)
        return shutDownClient(steamDir);
    return runClient(steamDir);
}
