#include "model/LaunchCommand.h"

#include "model/OptionLists.h"

LaunchOptions MakeLaunchOptions(const BenchmarkSettings& settings, const QString& demoName) {
    LaunchOptions options;
    options.RefreshArg = RefreshArg(settings.RefreshRate);
    options.HeapArg = HeapArg(settings.HeapSize);
    options.FastZArg = FastZArg(settings.FastZ);
    options.DemoName = demoName;
    return options;
}

QString LaunchArguments(const ResolutionSlot& slot, const LaunchOptions& options) {
    // The blanks are part of the command as the game has always been given it: two after the
    // fast-Z argument, and empty arguments keep their neighbours.
    return QStringLiteral("-silent -applaunch 380 -preload -novid -mat_preloadshaders "
                          "-nocdaudio -nosound -width ") +
           slot.Width + QStringLiteral(" -height ") + slot.Height + QLatin1Char(' ') +
           options.FastZArg + QStringLiteral("  ") + options.RefreshArg + QLatin1Char(' ') +
           options.HeapArg + QStringLiteral(" +timedemoquit ") + options.DemoName;
}

QString BuildLaunchCommand(const ResolutionSlot& slot, const LaunchOptions& options,
                           const QString& steamFolder) {
    return SteamClientCommand(steamFolder) + QLatin1Char(' ') + LaunchArguments(slot, options);
}

QString SteamClientCommand(const QString& steamFolder) {
    return steamFolder + QStringLiteral("steam.exe");
}

QString SteamExeFile(const QString& steamFolder) {
    if (!steamFolder.startsWith(QLatin1Char('/')))
        return {};
    return SteamClientCommand(steamFolder);
}

ProgramStart GameStart(const ResolutionSlot& slot, const LaunchOptions& options,
                       const QString& steamFolder, const QString& steamCommand) {
    if (steamCommand.isEmpty())
        return {SteamExeFile(steamFolder), BuildLaunchCommand(slot, options, steamFolder)};
    return {steamCommand, steamCommand + QLatin1Char(' ') + LaunchArguments(slot, options)};
}

ProgramStart ClientStart(const QString& steamFolder, const QString& steamCommand) {
    if (steamCommand.isEmpty())
        return {SteamExeFile(steamFolder), SteamClientCommand(steamFolder)};
    return {steamCommand, steamCommand};
}
