#include "sysinfo/DiagnosticsCapture.h"

#include "game/SettingsStore.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "run/RunnerSetup.h"
#include "run/TopLevelErrorReport.h"
#include "sysinfo/DiagnosticsScanner.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString DisplayMemoryValue = QStringLiteral("Display Memory");
const QString DriverVersionValue = QStringLiteral("Driver Version");
const QString SoundValue = QStringLiteral("Sound");

QString orNoInformation(const QString& cached) {
    return cached.isEmpty() ? DiagnosticsCapture::NoInformation() : cached;
}

} // namespace

DiagnosticsCapture::DiagnosticsCapture(SettingsStore& store, QString programFolder, Timings timings,
                                       QObject* parent)
    : QObject(parent), store_(store), programFolder_(std::move(programFolder)), timings_(timings),
      dxrun_() {
    ConfigureDxrun(
        dxrun_, [this](TJvCreateProcess* sender, quint32 code) { dxrunTerminate(sender, code); });
}

QString DiagnosticsCapture::SystemFolder() const {
    return programFolder_ + QStringLiteral("system");
}

QString DiagnosticsCapture::ToolPath() const {
    return SystemFolder() + QStringLiteral("/dxdiag");
}

QString DiagnosticsCapture::DiagnosticsFile() const {
    return programFolder_ + QStringLiteral("dxinfo.txt");
}

void DiagnosticsCapture::Begin(SystemFacts& facts, std::function<void()> prepareSeries) {
    const QString displayMemory = store_.ReadValue(DisplayMemoryValue);
    if (!displayMemory.isEmpty()) {
        // A later series of this program run: the adapter name keeps what it holds.
        facts.DisplayMemory = displayMemory;
        facts.DriverVersion = orNoInformation(store_.ReadValue(DriverVersionValue));
        facts.SoundDevice = orNoInformation(store_.ReadValue(SoundValue));
        prepareSeries();
        return;
    }

    if (!QFileInfo::exists(ToolPath()) || Pending()) {
        ToolUnavailable(facts);
        prepareSeries();
        return;
    }

    // Unquoted, as the tool's own path is resolved even when the folder has blanks in it.
    dxrun_.CommandLine = ToolPath() + QStringLiteral(" /whql:on /t ") + DiagnosticsFile();
    dxrun_.CurrentDirectory = SystemFolder();
    try {
        dxrun_.Run();
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

void DiagnosticsCapture::dxrunTerminate(TJvCreateProcess*, quint32) {
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
    if (!QFileInfo::exists(path)) {
        facts.AdapterName = Indeterminable();
        ToolUnavailable(facts);
        HandOn();
        return;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const DiagnosticsValues values = DiagnosticsScanner(DiagnosticsLines(file.readAll()));
    file.close();

    // Only what the report really gave goes to the cache: a fact it lacked is tried again by
    // the next series.
    facts.AdapterName = values.CardName.value_or(Indeterminable());
    facts.DisplayMemory = values.DisplayMemory.value_or(Indeterminable());
    if (values.DisplayMemory && !values.DisplayMemory->isEmpty())
        store_.WriteValue(DisplayMemoryValue, *values.DisplayMemory);
    facts.DriverVersion = values.DriverVersion.value_or(Indeterminable());
    if (values.DriverVersion && !values.DriverVersion->isEmpty())
        store_.WriteValue(DriverVersionValue, *values.DriverVersion);
    facts.SoundDevice = values.Description.value_or(Indeterminable());
    if (values.Description && !values.Description->isEmpty())
        store_.WriteValue(SoundValue, *values.Description);

    // A file that cannot be deleted is left for the next run to overwrite.
    platform::RemoveFile(path);
    HandOn();
}

void DiagnosticsCapture::HandOn() {
    facts_ = nullptr;
    const std::function<void()> prepareSeries = std::move(prepareSeries_);
    prepareSeries_ = nullptr;
    prepareSeries();
}
