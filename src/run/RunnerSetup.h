#pragma once

#include "run/ProcessRunner.h"

// The fixed properties of the program's three runners, set once when the window is created.
// Each run sets CommandLine and CurrentDirectory and calls Run.

// cp, the game launcher of every benchmark run: idle priority, hidden, its end reported.
void ConfigureGameLauncher(ProcessRunner& GameLauncher,
                           ProcessRunner::TerminateEvent OnLauncherExit);

// cp2, the Steam client when it is not running: normal priority, hidden, not waited for.
void ConfigureSteamStarter(ProcessRunner& SteamStarter);

// dxrun, the diagnostics tool: normal priority, hidden, its end reported.
void ConfigureDiagnosticsRunner(ProcessRunner& DiagnosticsRunner,
                                ProcessRunner::TerminateEvent OnDiagnosticsExit);
