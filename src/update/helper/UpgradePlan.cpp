#include "update/helper/UpgradePlan.h"

#include "platform/CommandLine.h"
#include "update/UpgradePaths.h"

#include <QDir>
#include <QSet>
#include <algorithm>

namespace {

const QString Suffix = QStringLiteral(".uTMP");

QString FolderOf(const QString& path) {
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString NameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QStringList HelperArguments(const QStringList& argv,
                            const std::function<bool(const QString&)>& isHelper) {
    QString path;
    for (qsizetype i = 0; i < argv.size(); ++i) {
        path += (i ? QStringLiteral(" ") : QString()) + argv[i];
        if (path.size() > HelperCommandLimit)
            break;
        if (isHelper(path))
            return argv.mid(i + 1);
    }
    return argv.mid(1);
}

std::optional<HelperCommand> ParseHelperCommand(const QStringList& args) {
    QString joined;
    for (const QString& arg : args) {
        joined += arg + QLatin1Char(' ');
        if (joined.size() > HelperCommandLimit)
            return std::nullopt;
    }
    // The program writes "<path> +<params><digit>"; a "+" inside a folder name is not preceded
    // by a blank as long as the folder name does not start with one.
    const qsizetype plus = joined.indexOf(QStringLiteral(" +"));
    if (plus < 1 || joined.size() - plus < 4)
        return std::nullopt;
    HelperCommand command;
    command.ProgramPath = joined.left(plus);
    const qsizetype paramsStart = plus + 2;
    command.RestartParams = joined.mid(paramsStart, joined.size() - 2 - paramsStart);
    command.External = joined.at(joined.size() - 2) == QLatin1Char('1');
    command.Folder = FolderOf(command.ProgramPath);
    return command;
}

QStringList QueueTargets(const QString& queueText) {
    QStringList targets;
    for (const QString& line : queueText.split(QStringLiteral("\r\n"))) {
        if (!line.startsWith(QLatin1Char('/')))
            continue;
        const QString target = QDir::cleanPath(line);
        if (!targets.contains(target))
            targets << target;
    }
    return targets;
}

bool IsVerifiedQueue(const QString& queueText) {
    return queueText.startsWith(QLatin1StringView(VerifiedQueueFirstLine) + QStringLiteral("\r\n"));
}

QList<VerifiedTarget> VerifiedQueueTargets(const QString& queueText) {
    QList<VerifiedTarget> targets;
    if (!IsVerifiedQueue(queueText))
        return targets;
    QSet<QString> seen;
    for (const QString& line : queueText.split(QStringLiteral("\r\n"))) {
        const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
        if (tab < 1 || !line.startsWith(QLatin1Char('/')))
            continue;
        const QString hex = line.mid(tab + 1);
        if (hex.size() != 64 || !std::all_of(hex.begin(), hex.end(), [](QChar c) {
                return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
            }))
            continue;
        const QString target = QDir::cleanPath(line.left(tab));
        if (seen.contains(target))
            continue;
        seen.insert(target);
        targets << VerifiedTarget{target, QByteArray::fromHex(hex.toLatin1())};
    }
    return targets;
}

namespace {

// The steps after the files are in place: start the setup (external mode) or the program, drop
// the queue, and after a setup has run, remove it and start the program.
void AppendEndSteps(const HelperFacts& facts, const QString& programPath, const QString& setupPath,
                    const QStringList& restartArgs, QList<HelperStep>& steps) {
    steps << HelperStep{HelperStepKind::Start,
                        setupPath.isEmpty() ? programPath : setupPath,
                        {},
                        restartArgs,
                        false,
                        false,
                        {}};
    if (!facts.QueueRefused)
        steps << HelperStep{HelperStepKind::Remove, facts.QueueFilePath, {}, {}, false, false, {}};
    if (!setupPath.isEmpty()) {
        steps << HelperStep{HelperStepKind::WaitForEnd, setupPath, {}, {}, false, false, {}};
        steps << HelperStep{HelperStepKind::Remove, setupPath, {}, {}, false, false, {}};
        steps << HelperStep{HelperStepKind::Start, programPath, {}, restartArgs, false, false, {}};
    }
}

// Only the files the verified queue lists, each checked again; no folder is scanned.
void PlanVerified(const HelperFacts& facts, const QList<VerifiedTarget>& verified,
                  UpgradePlan& plan) {
    const HelperCommand& command = plan.Command;
    const QStringList restartArgs = splitArguments(command.RestartParams);
    QList<HelperStep>& steps = plan.Steps;
    if (facts.ProgramExists)
        steps << HelperStep{
            HelperStepKind::WaitForEnd, command.ProgramPath, {}, {}, false, false, {}};
    const QString program = QDir::cleanPath(command.ProgramPath);
    QString setupPath;
    for (const VerifiedTarget& file : verified) {
        const bool inFolder = FolderOf(file.Target) == FolderOf(program);
        const bool setup = command.External && setupPath.isEmpty() && inFolder &&
                           file.Target != program &&
                           NameOf(file.Target).endsWith(QStringLiteral("exe"));
        if (setup)
            setupPath = file.Target;
        steps << HelperStep{
            HelperStepKind::MoveVerified,    file.Target + Suffix, file.Target, {}, setup,
            setup || file.Target == program, file.Sha256};
    }
    AppendEndSteps(facts, command.ProgramPath, setupPath, restartArgs, steps);
}

} // namespace

UpgradePlan PlanUpgrade(const HelperFacts& facts) {
    UpgradePlan plan;
    const std::optional<HelperCommand> command = ParseHelperCommand(facts.Args);
    if (!command)
        return plan;
    plan.Valid = true;
    plan.Command = *command;
    if (IsVerifiedQueue(facts.QueueText)) {
        PlanVerified(facts, VerifiedQueueTargets(facts.QueueText), plan);
        return plan;
    }
    const QString folder = command->Folder;
    const QString exeName = NameOf(command->ProgramPath);
    const QStringList restartArgs = splitArguments(command->RestartParams);
    QList<HelperStep>& steps = plan.Steps;

    if (facts.ProgramExists)
        steps << HelperStep{
            HelperStepKind::WaitForEnd, command->ProgramPath, {}, {}, false, false, {}};

    QSet<QString> queued;
    for (const QString& target : QueueTargets(facts.QueueText)) {
        steps << HelperStep{
            HelperStepKind::MoveQueued, target + Suffix, target, {}, false, false, {}};
        if (FolderOf(target) == folder)
            queued.insert(NameOf(target) + Suffix);
    }

    QString setupPath;
    bool exeTreated = false;
    for (const ScannedFile& file : facts.Scan) {
        if (queued.contains(file.FileName) || file.FileName.size() <= Suffix.size())
            continue;
        QString name = file.FileName.left(file.FileName.size() - Suffix.size());
        bool runnable = file.Executable;
        bool hidden = false;
        // In external mode the program itself is never the setup: the setup is deleted after
        // it has run.
        const bool candidate = (name.endsWith(QStringLiteral("exe")) || file.Executable) &&
                               !(command->External && name == exeName);
        if (!exeTreated && candidate) {
            exeTreated = true;
            runnable = true;
            if (command->External) {
                setupPath = folder + name;
                hidden = true;
            } else if (!facts.OwnDownloaded) {
                name = exeName;
            }
        }
        steps << HelperStep{HelperStepKind::ReplaceScanned,
                            folder + file.FileName,
                            folder + name,
                            {},
                            hidden,
                            runnable || name == exeName,
                            {}};
    }

    AppendEndSteps(facts, command->ProgramPath, setupPath, restartArgs, steps);
    return plan;
}
