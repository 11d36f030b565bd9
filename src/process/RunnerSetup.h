#pragma once

#include "process/ProcessRunner.h"

// The fixed properties of the program's three runners, set once when the window is created.
// Each run sets CommandLine and CurrentDirectory and calls Run.

// The game launcher of every benchmark run: idle priority, its end reported.
void ConfigureGameLauncher(ProcessRunner& GameLauncher,
                           ProcessRunner::TerminateEvent OnLauncherExit);

// The Steam client when it is not running: normal priority, not waited for.
void ConfigureSteamStarter(ProcessRunner& SteamStarter);

// The diagnostics tool: normal priority, its end reported.
void ConfigureDiagnosticsRunner(ProcessRunner& DiagnosticsRunner,
                                ProcessRunner::TerminateEvent OnDiagnosticsExit);
