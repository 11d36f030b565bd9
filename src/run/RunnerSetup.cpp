#include "run/RunnerSetup.h"

namespace {

// Hidden, with position, size and show state given explicitly rather than the defaults.
void hideWindow(ProcessRunner& runner) {
    TJvCPSStartupInfo& info = runner.StartupInfo;
    info.ShowWindow = swHide;
    info.DefaultPosition = false;
    info.DefaultSize = false;
    info.DefaultWindowState = false;
    info.Left = 0;
    info.Top = 0;
    info.Width = 0;
    info.Height = 0;
}

} // namespace

void ConfigureGameLauncher(ProcessRunner& GameLauncher,
                           ProcessRunner::TerminateEvent OnLauncherExit) {
    GameLauncher.Priority = ppIdle;
    hideWindow(GameLauncher);
    GameLauncher.SetWaitForTerminate(true);
    GameLauncher.OnTerminate = std::move(OnLauncherExit);
}

void ConfigureSteamStarter(ProcessRunner& SteamStarter) {
    SteamStarter.Priority = ppNormal;
    hideWindow(SteamStarter);
    SteamStarter.SetWaitForTerminate(false);
    SteamStarter.OnTerminate = nullptr;
}

void ConfigureDiagnosticsRunner(ProcessRunner& DiagnosticsRunner,
                                ProcessRunner::TerminateEvent OnDiagnosticsExit) {
    DiagnosticsRunner.Priority = ppNormal;
    hideWindow(DiagnosticsRunner);
    DiagnosticsRunner.SetWaitForTerminate(true);
    DiagnosticsRunner.OnTerminate = std::move(OnDiagnosticsExit);
}
