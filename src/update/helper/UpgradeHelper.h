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

    // The facts of this machine for `args`: the queue file in the temporary folder and the
    // downloads beside the program.
    static HelperFacts GatherFacts(const QStringList& args);

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
