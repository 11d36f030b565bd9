#include "ui/SingleInstanceGuard.h"

#include "platform/Errors.h"
#include "platform/PrivateFolder.h"
#include "platform/ProcessList.h"
#include "platform/SharedMemory.h"
#include "platform/UserIdentity.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

using platform::InstanceAnswer;
using platform::InstanceList;

SingleInstanceGuard::SingleInstanceGuard(QObject* parent, const QString& executablePath,
                                         InstanceWaits waits)
    : QObject(parent), waits_(waits), self_(quint32(QCoreApplication::applicationPid())) {
    const QString folder = platform::GuardFolder();
    if (folder.isEmpty()) {
        qWarning("Single-instance guard off: no private folder of the user's to keep it in");
        return;
    }
    names_ = platform::InstanceObjectNames(
        executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : executablePath,
        folder);
    try {
        Register();
        active_ = true;
    } catch (const AppError& error) {
        qWarning("Single-instance guard off: %s", qPrintable(error.message()));
    }
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (!active_)
        return;
    try {
        Unregister();
    } catch (const AppError& error) {
        qWarning("Single-instance guard: %s", qPrintable(error.message()));
    }
}

void SingleInstanceGuard::Register() {
    // Listen before entering the list: a listed copy that is alive always has its name, so a
    // listed pid without one is some other process that got the pid of a dead copy.
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file under our pid is a dead copy's: the folder is the user's alone.
    QLocalServer::removeServer(names_.messageName(self_));
    if (!server_->listen(names_.messageName(self_)))
        throw AppError(QStringLiteral("Cannot listen on ") + names_.messageName(self_) +
                       QStringLiteral(": ") + server_->errorString());
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection())
            serve(socket);
    });

    lock_ = std::make_unique<platform::NamedLock>(names_.lock);
    platform::NamedLockHolder locked(*lock_, waits_.staleLockMs);
    map_ = std::make_unique<platform::SharedMemory>(names_.map, platform::InstanceListBytes);
    InstanceList list = readPruned();
    if (list.maxInstances == 0)
        list.maxInstances = platform::InstanceListMaxMark;
    // An entry with our pid is a dead copy's whose pid we got: ours goes at the end. A full list
    // leaves this copy out; Check() then counts it as the youngest.
    platform::RemoveInstance(list, self_);
    platform::AppendInstance(list, self_);
    map_->write(platform::WriteInstanceList(list));
}

void SingleInstanceGuard::Unregister() {
    platform::NamedLockHolder locked(*lock_, waits_.staleLockMs);
    InstanceList list = readPruned();
    platform::RemoveInstance(list, self_);
    map_->write(platform::WriteInstanceList(list));
    // The list and its lock go with the last copy: nothing of them outlives the program. A
    // copy waiting for the lock meanwhile finds the name gone and makes both anew.
    if (list.pids.empty()) {
        platform::SharedMemory::remove(names_.map);
        platform::NamedLock::remove(names_.lock);
    }
}

InstanceList SingleInstanceGuard::readPruned() {
    // Copies that died without taking themselves off stay listed; drop them on every read.
    InstanceList list = platform::ReadInstanceList(map_->read());
    platform::PruneInstances(list, [this](quint32 pid) {
        if (platform::IsProcessAlive(pid))
            return true;
        QFile::remove(names_.messageName(pid)); // its socket file stayed behind
        return false;
    });
    return list;
}

void SingleInstanceGuard::Check() {
    if (!active_)
        return;
    InstanceList list;
    {
        platform::NamedLockHolder locked(*lock_, waits_.staleLockMs);
        list = readPruned();
        map_->write(platform::WriteInstanceList(list));
    }
    if (list.pids.size() <= 1)
        return;

    std::vector<InstanceAnswer> answers;
    std::vector<quint32> absent;
    for (const quint32 pid : list.pids) {
        if (pid == self_)
            continue;
        answers.push_back(ask(pid));
        if (answers.back() == InstanceAnswer::Absent)
            absent.push_back(pid);
        if (answers.back() == InstanceAnswer::Inactive)
            break;
    }
    const platform::InstanceVerdict verdict = platform::DecideInstance(list, self_, answers);

    {
        platform::NamedLockHolder locked(*lock_, waits_.staleLockMs);
        InstanceList current = readPruned();
        for (const quint32 pid : absent)
            platform::RemoveInstance(current, pid);
        if (!verdict.runOn)
            platform::RemoveInstance(current, self_);
        map_->write(platform::WriteInstanceList(current));
    }
    if (verdict.runOn)
        return;
    tellToFront(verdict.activate);
    server_->close(); // its socket file goes with it: nothing of this copy stays behind
    std::_Exit(0);
}

bool SingleInstanceGuard::OtherCopyRunning() {
    return anyOtherCopy(AskActive,
                        [](InstanceAnswer answer) { return answer != InstanceAnswer::Absent; });
}

bool SingleInstanceGuard::CommandLineSeriesRunning() {
    return anyOtherCopy(AskSeries,
                        [](InstanceAnswer answer) { return answer == InstanceAnswer::Active; });
}

bool SingleInstanceGuard::anyOtherCopy(char question,
                                       const std::function<bool(InstanceAnswer)>& counts) {
    if (!active_)
        return false;
    InstanceList list;
    {
        platform::NamedLockHolder locked(*lock_, waits_.staleLockMs);
        list = readPruned();
    }
    for (const quint32 pid : list.pids)
        if (pid != self_ && counts(ask(pid, question)))
            return true;
    return false;
}

InstanceAnswer SingleInstanceGuard::ask(quint32 pid, char question) {
    const char answerKind = question == AskSeries ? AnswerSeries : AnswerActive;
    // Waits in an event loop of its own, so this copy's server keeps answering meanwhile: two
    // copies that check at the same time reach each other.
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    InstanceAnswer answer = InstanceAnswer::Silent;
    bool done = false;
    const auto finish = [&](InstanceAnswer result) {
        answer = result;
        done = true;
        loop.quit();
    };
    connect(&socket, &QLocalSocket::connected, &loop, [&] {
        // Only this user can make the name; still, a peer of another user is not our copy.
        if (!sameUser(socket.socketDescriptor()))
            finish(InstanceAnswer::Absent);
        else
            socket.write(QByteArray(1, question));
    });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.bytesAvailable() < 2)
            return;
        const QByteArray reply = socket.read(2);
        if (reply[0] != answerKind)
            finish(InstanceAnswer::Silent);
        else
            finish(reply[1] != 0 ? InstanceAnswer::Active : InstanceAnswer::Inactive);
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&](QLocalSocket::LocalSocketError e) {
        const bool nobody =
            e == QLocalSocket::ServerNotFoundError || e == QLocalSocket::ConnectionRefusedError;
        finish(nobody ? InstanceAnswer::Absent : InstanceAnswer::Silent);
    });
    connect(&timeout, &QTimer::timeout, &loop, [&] { finish(InstanceAnswer::Silent); });
    timeout.start(waits_.answerMs);
    socket.connectToServer(names_.messageName(pid));
    if (!done)
        loop.exec();
    const InstanceAnswer result = answer; // aborting may still report through the handlers
    socket.abort();
    return result;
}

void SingleInstanceGuard::tellToFront(quint32 pid) {
    QLocalSocket socket;
    socket.connectToServer(names_.messageName(pid));
    if (!socket.waitForConnected(waits_.answerMs) || !sameUser(socket.socketDescriptor()))
        return;
    socket.write(QByteArray(1, ComeToFront));
    socket.waitForBytesWritten(waits_.answerMs);
    socket.disconnectFromServer();
}

bool SingleInstanceGuard::sameUser(qintptr socketDescriptor) {
    const std::optional<unsigned> peer = localPeerUserId(socketDescriptor);
    return peer && *peer == currentUserId();
}

void SingleInstanceGuard::serve(QLocalSocket* socket) {
    // Only the user's own copies may ask or bring this one to the front.
    if (!sameUser(socket->socketDescriptor())) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    const auto handle = [this, socket] {
        for (const char kind : socket->readAll()) {
            // Two bytes: braces would pick QByteArray's (size, fill) constructor.
            if (kind == AskActive)
                socket->write(QByteArray(1, AnswerActive) + char(active_ ? 1 : 0));
            else if (kind == AskSeries)
                socket->write(QByteArray(1, AnswerSeries) + char(runsSeries_ ? 1 : 0));
            else if (kind == ComeToFront)
                bringToFront();
        }
    };
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, handle);
    // What arrived before the connection was taken is not announced again.
    if (socket->bytesAvailable() > 0)
        handle();
}

void SingleInstanceGuard::bringToFront() {
    if (mainWindow_) {
        if (mainWindow_->isMinimized())
            mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
    emit broughtToFront();
}
