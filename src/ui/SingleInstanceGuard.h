#pragma once

#include "platform/InstanceList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace platform {
class NamedLock;
class SharedMemory;
} // namespace platform

// How long the guard waits for the others.
struct InstanceWaits {
    int answerMs = 5000;    // for another copy's answer, which it gives from its event loop
    int staleLockMs = 5000; // before the shared list's lock counts as left by a dead copy
};

// The single-instance guard: at most one copy of an executable runs. Every copy registers in a
// list shared by all copies of the same executable file; a later copy asks the others whether
// their guard is active, and when an older one is, brings that one to the front and ends.
//
// Use: create it right after the QApplication, call Check() before any window is built, give
// it the main window with setMainWindow(), and keep it until the program ends (its end takes
// the copy off the list).
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // Message kinds between copies, one byte each; an answer carries one more byte.
    static constexpr char AskActive = 4;    // is your guard active?
    static constexpr char AnswerActive = 5; // followed by 1 (active) or 0
    static constexpr char ComeToFront = 6;  // the rejected copy asks the oldest to show itself
    static constexpr char AskSeries = 7;    // do you run a series from the command line?
    static constexpr char AnswerSeries = 8; // followed by 1 (it does) or 0

    // Registers this process; the first guard of a process is the only one. `executablePath`
    // empty: the running executable. A system that offers no shared objects leaves the guard
    // inactive: the program then runs unguarded.
    explicit SingleInstanceGuard(QObject* parent = nullptr,
                                 const QString& executablePath = QString(),
                                 InstanceWaits waits = {});
    ~SingleInstanceGuard() override; // unregisters

    // Ends this process with exit code 0, after bringing the oldest copy to the front, when an
    // older copy with an active guard runs. Nothing of the normal shutdown runs then.
    void Check();

    // Whether another copy of the same executable runs (answering or silent), without ending
    // this one: for a copy that must not work beside another, such as a series started from
    // the command line.
    bool OtherCopyRunning();

    // Marks this copy as one that runs a series from the command line, for later copies to ask.
    void SetRunsCommandLineSeries(bool runs) { runsSeries_ = runs; }
    // Whether another copy of the same executable says it runs a series from the command line.
    bool CommandLineSeriesRunning();

    // The window that comes to the front when a later copy is rejected.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    bool isActive() const { return active_; }
    const platform::InstanceNames& names() const { return names_; }

signals:
    // A later copy was rejected and this one was brought to the front.
    void broughtToFront();

private:
    void Register();
    void Unregister();
    platform::InstanceList readPruned();
    // Asks `question` (AskActive or AskSeries); a yes is Active, a no Inactive.
    platform::InstanceAnswer ask(quint32 pid, char question = AskActive);
    // Whether a listed copy other than this one gives an answer that `counts`.
    bool anyOtherCopy(char question, const std::function<bool(platform::InstanceAnswer)>& counts);
    void tellToFront(quint32 pid);
    void serve(QLocalSocket* socket);
    // Whether the process at the other end of a connected socket is this user's.
    static bool sameUser(qintptr socketDescriptor);
    void bringToFront();

    bool active_ = false;
    bool runsSeries_ = false;
    InstanceWaits waits_;
    quint32 self_;
    platform::InstanceNames names_;
    std::unique_ptr<platform::NamedLock> lock_;
    std::unique_ptr<platform::SharedMemory> map_;
    QLocalServer* server_ = nullptr;
    QPointer<QWidget> mainWindow_;
};
