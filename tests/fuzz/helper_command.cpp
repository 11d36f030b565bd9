// What the upgrade helper reads: its argument vector and the queue file.
#include "update/UpgradePaths.h"
#include "update/helper/UpgradePlan.h"

#include "platform/CommandLine.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace {

// A program path with single blanks between parts and nothing the command line would change.
QString PlainPath(const QString& text) {
    QString path = QStringLiteral("/");
    for (const QChar c : text) {
        const bool plain = c.isLetterOrNumber() && c.unicode() < 128;
        if (plain || c == u'/' || c == u'.' || (c == u' ' && !path.endsWith(u' ')))
            path += c;
    }
    while (path.endsWith(u' ') || path.endsWith(u'/'))
        path.chop(1);
    return path + QStringLiteral("/varnholt");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList argv = text.split(u'\n');

    const QStringList args =
        HelperArguments(argv, [](const QString& path) { return path.endsWith(u'#'); });
    if (args.size() >= argv.size() && !argv.isEmpty())
        __builtin_trap();
    if (const std::optional<HelperCommand> command = ParseHelperCommand(args)) {
        if (command->ProgramPath.contains(QStringLiteral(" +")) ||
            !command->ProgramPath.startsWith(command->Folder))
            __builtin_trap();
    }

    const QStringList targets = QueueTargets(text);
    for (const QString& target : targets) {
        if (!target.startsWith(u'/') || target.contains(QStringLiteral("\r\n")))
            __builtin_trap();
    }

    HelperFacts facts;
    facts.Args = args;
    facts.QueueText = text;
    facts.QueueFilePath = QStringLiteral("/run/user/1/varnholt/UpgraderQueue.txt");
    facts.ProgramExists = true;
    for (const QString& line : argv)
        facts.Scan << ScannedFile{line + QLatin1StringView(DownloadSuffix), line.size() % 2 == 1};
    const UpgradePlan plan = PlanUpgrade(facts);
    if (plan.Valid && plan.Steps.size() > targets.size() + facts.Scan.size() + 6)
        __builtin_trap();

    // What the program writes comes back whole, also from a helper path with blanks.
    const QString program = PlainPath(text.left(200));
    const QString helper = QStringLiteral("/run/my temp/Upgrader4.exe");
    for (const UpgradeMethod method : {UpgradeMethod::SelfUpgrade, UpgradeMethod::ExternalSetup}) {
        const QString line =
            HelperCommandLine(helper, program, QStringLiteral("/afterupgrade"), method);
        const std::optional<HelperCommand> back = ParseHelperCommand(HelperArguments(
            splitArguments(line), [&](const QString& path) { return path == helper; }));
        if (!back || back->ProgramPath != program ||
            back->RestartParams != QLatin1String("/afterupgrade") ||
            back->External != (method == UpgradeMethod::ExternalSetup))
            __builtin_trap();
    }
    return 0;
}
