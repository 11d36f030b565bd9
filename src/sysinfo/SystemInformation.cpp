#include "sysinfo/SystemInformation.h"

#include "sysinfo/AdapterProbe.h"

void FillReportFacts(SystemFacts& facts, ComputerInfo& info, platform::AdapterAccess& access,
                     const QLocale& locale) {
    facts.OsProductName = info.OS().ProductName();
    facts.TotalPhysicalMemory = info.Memory().TotalPhysicalMemory();
    facts.CpuName = info.CPU().Name();
    facts.CpuNormFreq = info.CPU().NominalMhz();
    RadeonProbe(facts, access, locale);
    DisplayClassProbe(facts, access);
}

SystemInformation::SystemInformation(SettingsStore& store, const QString& programFolder,
                                     Timings timings, ComputerInfoSources sources,
                                     platform::AdapterAccess& access)
    : capture_(store, programFolder, timings), info_(std::move(sources)), access_(access) {}

void SystemInformation::DiagnosticsCapture(SystemFacts& facts,
                                           std::function<void()> prepareSeries) {
    capture_.Begin(facts, std::move(prepareSeries));
}

void SystemInformation::ReportFacts(SystemFacts& facts) {
    FillReportFacts(facts, info_, access_, QLocale());
}
