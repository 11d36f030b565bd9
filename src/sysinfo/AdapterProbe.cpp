#include "sysinfo/AdapterProbe.h"

#include <QStringList>
#include <cmath>

namespace {

const QString AsicKey = QStringLiteral("\\SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\ASIC");
const QString MemoryKey = QStringLiteral("\\SOFTWARE\\ATI Technologies\\CDS\\0000\\0\\Memory");
const QString DisplayClassKey = QStringLiteral(
    "\\SYSTEM\\ControlSet001\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000");
const QString PrimaryDisplay = QStringLiteral("\\\\.\\DISPLAY1");
const QString Mhz = QStringLiteral(" MHz");

} // namespace

QString CutBeforeBracket(const QString& text) {
    const qsizetype bracket = text.indexOf(QLatin1Char('('));
    return bracket >= 0 ? text.left(bracket) : text;
}

QString RadeonClockText(double mhz, const QLocale& locale) {
    // Digits stay ASCII and there is no grouping, as in any "%f" text.
    QString text = QString::number(mhz, 'f', 2);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text + Mhz;
}

bool IsAtiDeviceId(const QString& deviceId) {
    return deviceId.mid(8, 4) == QLatin1String("1002");
}

QString ClockListText(quint32 hz) {
    return QString::number(static_cast<quint64>(std::round(hz / 1000000.0)));
}

DisplayClassClockFacts DisplayClassClocks(const std::array<quint32, 12>& clocksHz,
                                          const DisplayClassClockFacts& previous) {
    DisplayClassClockFacts facts = previous;
    QStringList clocks;
    for (const quint32 hz : clocksHz) {
        const QString text = ClockListText(hz);
        if (text != QLatin1String("0"))
            clocks.append(text);
    }
    if (clocks.size() == 6) {
        if (!clocks[2].isEmpty())
            facts.GpuClock = clocks[2] + Mhz;
        else
            facts.DisplayClassFound = false;
        if (!clocks[5].isEmpty())
            facts.MemoryClock = clocks[5] + Mhz;
        else
            facts.DisplayClassFound = false;
    } else {
        facts.DisplayClassFound = false;
    }
    for (const QString& clock : {facts.MemoryClock, facts.GpuClock}) {
        if (clock == QLatin1String("0 MHz") || clock == Mhz)
            facts.DisplayClassFound = false;
    }
    return facts;
}

bool RadeonDriverQuery::Detect() {
    return QueryClocks() && QueryMemory() && FindPrimaryAdapter();
}

bool RadeonDriverQuery::QueryClocks() {
    const std::optional<platform::RadeonClockAnswer> answer = access_.RadeonClockQuery();
    if (!answer)
        return false;
    EngineClock = answer->engineClock / 100.0;
    MemoryClock = answer->memoryClock / 100.0;
    return true;
}

bool RadeonDriverQuery::QueryMemory() {
    return access_.RadeonMemoryQuery();
}

bool RadeonDriverQuery::FindPrimaryAdapter() {
    QString lastDeviceId;
    for (int index = 0;; ++index) {
        const std::optional<platform::DisplayDeviceRecord> device = access_.DisplayDevice(index);
        if (!device)
            break;
        lastDeviceId = device->DeviceID;
        if (device->DeviceName == PrimaryDisplay) {
            AdapterName = device->DeviceString;
            break;
        }
    }
    return IsAtiDeviceId(lastDeviceId);
}

void RadeonProbe(SystemFacts& facts, platform::AdapterAccess& access, const QLocale& locale) {
    RadeonDriverQuery info(access);
    if (!info.Detect()) {
        facts.RadeonFound = false;
        return;
    }
    facts.RadeonFound = true;
    facts.RadeonName = info.AdapterName;
    facts.RadeonMemoryClock = RadeonClockText(info.MemoryClock, locale);
    facts.RadeonEngineClock = RadeonClockText(info.EngineClock, locale);

    const std::optional<QMap<QString, QString>> asic = access.AdapterKey(AsicKey);
    if (!asic)
        return;
    const auto busType = asic->constFind(QStringLiteral("Bus Type"));
    facts.BusType = busType != asic->cend() ? CutBeforeBracket(*busType) : QString();
    if (const std::optional<QMap<QString, QString>> memory = access.AdapterKey(MemoryKey)) {
        const auto type = memory->constFind(QStringLiteral("Type"));
        facts.MemoryType = type != memory->cend() ? CutBeforeBracket(*type) : QString();
    }
}

void DisplayClassProbe(SystemFacts& facts, platform::AdapterAccess& access) {
    const std::optional<QMap<QString, QString>> key = access.AdapterKey(DisplayClassKey);
    if (!key) {
        facts.DisplayClassFound = false;
        return;
    }
    facts.DisplayClassFound = true;
    facts.DriverDescription = key->value(QStringLiteral("DriverDesc"));

    std::array<quint32, 12> clocks{};
    for (int slot = 0; slot < 6; ++slot) {
        const std::optional<platform::SlotClockAnswer> answer = access.DriverClockQuery(slot);
        clocks[slot] = answer ? answer->first : 0;
        clocks[slot + 6] = answer ? answer->second : 0;
    }
    const DisplayClassClockFacts result =
        DisplayClassClocks(clocks, {true, facts.GpuClock, facts.MemoryClock});
    facts.DisplayClassFound = result.DisplayClassFound;
    facts.GpuClock = result.GpuClock;
    facts.MemoryClock = result.MemoryClock;
}
