// Upgrader4: finishes an upgrade after the program has closed. See UpgradePlan.h.
#include "update/UpgradePaths.h"
#include "update/helper/UpgradeHelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char InformationText[] =
    "Upgrader v4.0\n"
    "Finishes an upgrade of Quillon Varnholt: waits until the program has ended, puts the\n"
    "downloaded files in place and starts the program again. The program starts it itself;\n"
    "there is nothing to do by hand.\n";

// The program's file is polled this often while the helper waits for its end.
constexpr int PollIntervalMs = 1;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QStringList args = HelperArguments(app.arguments(), [&](const QString& path) {
        return QFileInfo(path).canonicalFilePath() == self;
    });
    if (args.isEmpty()) {
        QTextStream(stdout) << InformationText;
        return 0;
    }
    const QString queuePath = UpgradeHelper::QueuePath();
    const UpgradePlan plan = PlanUpgrade(UpgradeHelper::GatherFacts(args, queuePath));
    if (!plan.Valid) {
        QTextStream(stderr) << InformationText;
        return 2;
    }
    UpgradeHelper helper(plan, PollIntervalMs);
    QObject::connect(&helper, &UpgradeHelper::finished, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    helper.run();
    const int code = app.exec();
    // Written out by the program beside its queue, the helper goes when its work is done, and
    // the temporary folder with it once nothing else is left there.
    const QFileInfo file(self);
    const QString queueFolder = QFileInfo(QFileInfo(queuePath).absolutePath()).canonicalFilePath();
    if (file.fileName() == QLatin1StringView(UpgradeHelperFileName) &&
        file.absolutePath() == queueFolder) {
        QFile::remove(self);
        QDir().rmdir(queueFolder);
    }
    return code;
}
