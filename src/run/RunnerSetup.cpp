#include "run/RunnerSetup.h"

namespace {

// Hidden, with position, size and show state given explicitly rather than the defaults.
void hideWindow(TJvCreateProcess& runner) {
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

void ConfigureCp(TJvCreateProcess& cp, TJvCreateProcess::TerminateEvent cpTerminate) {
    cp.Priority = ppIdle;
    hideWindow(cp);
    cp.SetWaitForTerminate(true);
    cp.OnTerminate = std::move(cpTerminate);
}

void ConfigureCp2(TJvCreateProcess& cp2) {
    cp2.Priority = ppNormal;
    hideWindow(cp2);
    cp2.SetWaitForTerminate(false);
    cp2.OnTerminate = nullptr;
}

void ConfigureDxrun(TJvCreateProcess& dxrun, TJvCreateProcess::TerminateEvent dxrunTerminate) {
    dxrun.Priority = ppNormal;
    hideWindow(dxrun);
    dxrun.SetWaitForTerminate(true);
    dxrun.OnTerminate = std::move(dxrunTerminate);
}
