#pragma once

#include "model/SeriesSteps.h"
#include "model/Timings.h"
#include "platform/AdapterAccess.h"
#include "sysinfo/ComputerInfo.h"
#include "sysinfo/DiagnosticsCapture.h"

#include <QLocale>

class SettingsStore;

// The processor, memory and operating system facts, then the Radeon probe and the
// display-class probe.
void FillReportFacts(SystemFacts& facts, ComputerInfo& info, platform::AdapterAccess& access,
                     const QLocale& locale);

// The facts of the report as the series asks for them: the diagnostics capture before the
// series is prepared, the rest just before the report head is written.
class SystemInformation : public SystemFactsSource {
public:
    SystemInformation(SettingsStore& store, const QString& programFolder, Timings timings = {},
                      ComputerInfoSources sources = ComputerInfoSources::System(),
                      platform::AdapterAccess& access = platform::SystemAdapterAccess());

    void DiagnosticsCapture(SystemFacts& facts, std::function<void()> prepareSeries) override;
    void ReportFacts(SystemFacts& facts) override;

    ::DiagnosticsCapture& Capture() { return capture_; }
    // Also read by the heap size advice.
    ComputerInfo& Computer() { return info_; }

private:
    ::DiagnosticsCapture capture_;
    ComputerInfo info_;
    platform::AdapterAccess& access_;
};
