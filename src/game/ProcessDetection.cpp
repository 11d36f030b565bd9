#include "game/ProcessDetection.h"

#include "platform/UserIdentity.h"

#include <utility>

bool SteamFoundIn(const QStringList& processNames) {
    return processNames.join(QLatin1Char('\n'))
        .toLower()
        .contains(QLatin1String("steam.exe"), Qt::CaseInsensitive);
}

bool IsGameProcessName(const QString& name) {
    return name.compare(QLatin1String("hl2.exe"), Qt::CaseInsensitive) == 0 ||
           name == QLatin1String("hl2_linux");
}

std::optional<qint64> FirstGameProcess(const std::vector<platform::ProcessEntry>& processes) {
    for (const platform::ProcessEntry& process : processes)
        if (process.name.compare(QLatin1String("hl2.exe"), Qt::CaseInsensitive) == 0)
            return process.pid;
    return std::nullopt;
}

bool LinuxSteamClientIn(const std::vector<platform::ProcessEntry>& processes,
                        const std::function<bool(qint64)>& isAlive) {
    for (const platform::ProcessEntry& process : processes) {
        if (process.name == QLatin1String("steam") && isAlive(process.pid))
            return true;
    }
    return false;
}

bool GameRunningIn(const std::vector<platform::ProcessEntry>& processes,
                   const std::function<bool(qint64)>& isAlive) {
    const std::optional<qint64> pid = FirstGameProcess(processes);
    if (pid.has_value() && isAlive(*pid))
        return true;
    for (const platform::ProcessEntry& process : processes) {
        if (process.name == QLatin1String("hl2_linux"))
            return isAlive(process.pid);
    }
    return false;
}

void KeepUserProcesses(std::vector<platform::ProcessEntry>& processes, qint64 uid) {
    std::erase_if(processes, [uid](const platform::ProcessEntry& p) { return p.uid != uid; });
}

ProcessSource SystemProcesses() {
    ProcessSource source{[]() {
                             auto processes = platform::ListProcesses();
                             if (processes)
                                 KeepUserProcesses(*processes, qint64(currentUserId()));
                             return processes;
                         },
                         &platform::IsProcessAlive};
    source.enumerateNamed = [](const std::function<bool(const QString&)>& wanted) {
        auto processes = platform::ListProcessesNamed(wanted);
        if (processes)
            KeepUserProcesses(*processes, qint64(currentUserId()));
        return processes;
    };
    return source;
}

ProcessDetection::ProcessDetection(ProcessSource source) : source_(std::move(source)) {}

bool ProcessDetection::IsSteamRunning() {
    const std::optional<std::vector<platform::ProcessEntry>> processes = source_.enumerate();
    if (!processes)
        return steamRunning_;
    QStringList runningProcessNames;
    runningProcessNames.reserve(static_cast<qsizetype>(processes->size()));
    for (const platform::ProcessEntry& process : *processes)
        runningProcessNames.append(process.name);
    steamRunning_ =
        SteamFoundIn(runningProcessNames) || LinuxSteamClientIn(*processes, source_.isAlive);
    return steamRunning_;
}

bool ProcessDetection::IsGameRunning() const {
    const std::optional<std::vector<platform::ProcessEntry>> processes = source_.enumerate();
    return processes.has_value() && GameRunningIn(*processes, source_.isAlive);
}

GameSighting ProcessDetection::LookForGames(const QString& gameFolder) const {
    const std::optional<std::vector<platform::ProcessEntry>> processes =
        source_.enumerateNamed ? source_.enumerateNamed(&IsGameProcessName) : source_.enumerate();
    if (!processes)
        return {};
    std::vector<SeenGame> games;
    for (const platform::ProcessEntry& process : *processes) {
        if (!IsGameProcessName(process.name))
            continue;
        // One that has gone meanwhile, or that we may not look at, is no game to wait for.
        if (std::optional<platform::ProcessLook> look = source_.look(process.pid))
            games.push_back({process.pid, std::move(*look)});
    }
    return SortGames(games, gameFolder);
}
