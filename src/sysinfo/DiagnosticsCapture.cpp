#include "sysinfo/DiagnosticsCapture.h"

#include "game/ProgramFolder.h"
#include "game/SettingsStore.h"
#include "model/SettingNames.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "platform/OutsideFile.h"
#include "process/RunnerSetup.h"
#include "process/TopLevelErrorReport.h"
#include "sysinfo/DiagnosticsScanner.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTimer>

namespace {

QString orNoInformation(const QString& cached) {
    return cached.isEmpty() ? DiagnosticsCapture::NoInformation() : cached;
}

} // namespace

DiagnosticsCapture::DiagnosticsCapture(SettingsStore& store, QString programFolder, Timings timings,
                                       QObject* parent)
    : QObject(parent), store_(store), programFolder_(std::move(programFolder)), timings_(timings),
      diagnosticsRunner_() {
    ConfigureDiagnosticsRunner(diagnosticsRunner_, [this](quint32) { OnDiagnosticsExit(); });
}

QString DiagnosticsCapture::SystemFolder() const {
    return programFolder_ + QStringLiteral("system");
}

QString DiagnosticsCapture::ToolPath() const {
    return SystemFolder() + QStringLiteral("/dxdiag");
}

QString DiagnosticsCapture::DiagnosticsFile() const {
    return WritableFolder(programFolder_) + QStringLiteral("dxinfo.txt");
}

void DiagnosticsCapture::Begin(SystemFacts& facts, std::function<void()> prepareSeries) {
    const QString displayMemory = store_.ReadValue(SettingName::DisplayMemory);
    if (!displayMemory.isEmpty()) {
        // A later series of this program run: the adapter name keeps what it holds.
        facts.DisplayMemory = displayMemory;
        facts.DriverVersion = orNoInformation(store_.ReadValue(SettingName::DriverVersion));
        facts.SoundDevice = orNoInformation(store_.ReadValue(SettingName::Sound));
        prepareSeries();
        return;
    }

    if (!QFileInfo::exists(ToolPath()) || Pending()) {
        ToolUnavailable(facts);
        prepareSeries();
        return;
    }

    // Unquoted, as the system builds it. The tool is named exactly, so that no shorter
    // executable prefix of a folder with blanks ("/opt/My" of "/opt/My Programs/...") can be
    // started in its place; and since the platform hands a program its words only, the text
    // itself goes along for the tool to take the file name from, runs of blanks and all.
    diagnosticsRunner_.CommandLine =
        ToolPath() + QStringLiteral(" /whql:on /t ") + DiagnosticsFile();
    diagnosticsRunner_.ApplicationName = ToolPath();
    diagnosticsRunner_.Environment =
        QProcessEnvironment::systemEnvironment().toStringList() << QStringLiteral("%1=%2").arg(
            QLatin1String(CommandTextVariable), diagnosticsRunner_.CommandLine);
    diagnosticsRunner_.CurrentDirectory = SystemFolder();
    try {
        diagnosticsRunner_.Run();
    } catch (const OsError&) {
        // There but not startable: no different from a missing tool.
        ToolUnavailable(facts);
        prepareSeries();
        return;
    }
    facts_ = &facts;
    prepareSeries_ = std::move(prepareSeries);
}

void DiagnosticsCapture::ToolUnavailable(SystemFacts& facts) {
    facts.DisplayMemory = Indeterminable();
    facts.DriverVersion = Indeterminable();
    facts.SoundDevice = Indeterminable();
}

void DiagnosticsCapture::OnDiagnosticsExit() {
    // The exit code says nothing we use; give the tool's file a moment to settle.
    QTimer::singleShot(timings_.afterDiagnostics, this, [this] {
        try {
            ScanDiagnosticsFile();
        } catch (const std::exception& e) {
            // The user hears of it, and the series still goes on with the facts it has: left
            // without its hand-on, it would keep the Run button disabled for good.
            reportTopLevelError(e);
            if (prepareSeries_)
                HandOn();
        }
    });
}

void DiagnosticsCapture::ScanDiagnosticsFile() {
    SystemFacts& facts = *facts_;
    const QString path = DiagnosticsFile();
    const QFileInfo info(path);
    if (!info.isFile()) {
        // No report; a FIFO or a folder in its place is not opened (a FIFO would wait for a
        // writer) and goes like the report would.
        if (info.exists() || info.isSymLink())
            platform::RemoveFile(path);
        facts.AdapterName = Indeterminable();
        ToolUnavailable(facts);
        HandOn();
        return;
    }

    // The file lives only until the scan ends: it goes whatever the scan meets.
    DiagnosticsValues values;
    {
        const platform::OutsideFile file = platform::ReadOutsideFile(
            path, MaxDiagnosticsReportSize, platform::OutsideRead::FirstBytes);
        if (!file.ok()) {
            platform::RemoveFile(path);
            facts.AdapterName = Indeterminable();
            ToolUnavailable(facts);
            throw AppError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.reason));
        }
        values = DiagnosticsScanner(DiagnosticsLines(file.bytes));
    }
    platform::RemoveFile(path);

    // Every fact first; then the cache, which only takes what the report really gave (a fact
    // it lacked is tried again by the next series). A cache that cannot be written leaves the
    // facts of this series whole.
    facts.AdapterName = values.CardName.value_or(Indeterminable());
    facts.DisplayMemory = values.DisplayMemory.value_or(Indeterminable());
    facts.DriverVersion = values.DriverVersion.value_or(Indeterminable());
    facts.SoundDevice = values.Description.value_or(Indeterminable());
    if (values.DisplayMemory && !values.DisplayMemory->isEmpty())
        store_.WriteValue(SettingName::DisplayMemory, *values.DisplayMemory);
    if (values.DriverVersion && !values.DriverVersion->isEmpty())
        store_.WriteValue(SettingName::DriverVersion, *values.DriverVersion);
    if (values.Description && !values.Description->isEmpty())
        store_.WriteValue(SettingName::Sound, *values.Description);
    HandOn();
}

void DiagnosticsCapture::HandOn() {
    facts_ = nullptr;
    const std::function<void()> prepareSeries = std::move(prepareSeries_);
    prepareSeries_ = nullptr;
    prepareSeries();
}
