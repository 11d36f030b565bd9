#include "process/RunnerSetup.h"

void ConfigureGameLauncher(ProcessRunner& GameLauncher,
                           ProcessRunner::TerminateEvent OnLauncherExit) {
    GameLauncher.Priority = SpawnPriority::Idle;
    GameLauncher.SetWaitForTerminate(true);
    GameLauncher.OnTerminate = std::move(OnLauncherExit);
}

void ConfigureSteamStarter(ProcessRunner& SteamStarter) {
    SteamStarter.Priority = SpawnPriority::Normal;
    SteamStarter.SetWaitForTerminate(false);
    SteamStarter.OnTerminate = nullptr;
}

void ConfigureDiagnosticsRunner(ProcessRunner& DiagnosticsRunner,
                                ProcessRunner::TerminateEvent OnDiagnosticsExit) {
    DiagnosticsRunner.Priority = SpawnPriority::Normal;
    DiagnosticsRunner.SetWaitForTerminate(true);
    DiagnosticsRunner.OnTerminate = std::move(OnDiagnosticsExit);
}
