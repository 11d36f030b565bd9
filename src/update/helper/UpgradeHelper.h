#pragma once

#include "update/helper/UpgradePlan.h"

#include <QObject>
#include <QTimer>

// Carries out an upgrade plan step by step on the event loop. A wait for a program's end polls
// its file at idle priority; every other step runs at once.
class UpgradeHelper : public QObject {
    Q_OBJECT
public:
    UpgradeHelper(UpgradePlan plan, int pollIntervalMs, QObject* parent = nullptr);

    void run();

    // The facts of this machine for `args`: the queue file at `queuePath` when it is the
    // user's own, and the downloads beside the program.
    static HelperFacts GatherFacts(const QStringList& args, const QString& queuePath);
    // Where the program said the queue is, else beside the helper's own file.
    static QString QueuePath();

Q_SIGNALS:
    void finished();

private:
    void nextStep();
    void pollWait();
    void carryOut(const HelperStep& step);

    UpgradePlan plan_;
    qsizetype next_ = 0;
    QString waitingFor_;
    QTimer poll_;
};
