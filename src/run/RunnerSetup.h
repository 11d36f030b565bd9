#pragma once

#include "run/TJvCreateProcess.h"

// The fixed properties of the program's three runners, set once when the window is created.
// Each run sets CommandLine and CurrentDirectory and calls Run.

// cp, the game launcher of every benchmark run: idle priority, hidden, its end reported.
void ConfigureCp(TJvCreateProcess& cp, TJvCreateProcess::TerminateEvent cpTerminate);

// cp2, the Steam client when it is not running: normal priority, hidden, not waited for.
void ConfigureCp2(TJvCreateProcess& cp2);

// dxrun, the diagnostics tool: normal priority, hidden, its end reported.
void ConfigureDxrun(TJvCreateProcess& dxrun, TJvCreateProcess::TerminateEvent dxrunTerminate);
