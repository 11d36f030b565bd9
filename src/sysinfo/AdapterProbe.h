#pragma once

#include "model/SystemFacts.h"
#include "platform/AdapterAccess.h"

#include <QLocale>
#include <QString>
#include <array>

// The two probes of the report's graphics block: the Radeon probe (driver escapes of ATI's
// display driver and ATI's registry keys) and the display-class probe (the first display
// adapter's class key and the driver's clock list). Each sets its flag in SystemFacts; where
// the driver or the keys give nothing, the flag is cleared.

// The text before the first "(", the blank before it included; the whole text without one.
QString CutBeforeBracket(const QString& text);

// MHz with two decimals and the locale's decimal separator, then " MHz".
QString RadeonClockText(double mhz, const QLocale& locale);

// Characters 9 to 12 of a device identifier ("PCI\VEN_1002&DEV_...") are ATI's vendor number.
bool IsAtiDeviceId(const QString& deviceId);

// One driver clock as the clock list writes it: MHz without decimals, halves away from zero.
QString ClockListText(quint32 hz);

struct DisplayClassClockFacts {
    bool DisplayClassFound = false;
    QString GpuClock;
    QString MemoryClock;
};

// The display-class probe's clock rules over the twelve raw clocks in Hz (the first clocks of
// slots 0 to 5, then the second clocks): zero texts are left out, exactly six texts must
// remain, the third is the engine clock and the sixth the memory clock. `previous` holds the
// clock fields as an earlier series left them, with the flag already set by the key check.
DisplayClassClockFacts DisplayClassClocks(const std::array<quint32, 12>& clocksHz,
                                          const DisplayClassClockFacts& previous);

// Talks to an ATI display driver; created for one probe.
class RadeonDriverQuery {
public:
    explicit RadeonDriverQuery(platform::AdapterAccess& access) : access_(access) {}

    // QueryClocks, QueryMemory and FindPrimaryAdapter, stopping at the first that fails.
    bool Detect();
    bool QueryClocks();
    bool QueryMemory();
    // Looks for "\\.\DISPLAY1" among the display devices and takes its name; succeeds when
    // the last device record read is ATI's.
    bool FindPrimaryAdapter();

    double EngineClock = 0; // MHz
    double MemoryClock = 0; // MHz
    QString AdapterName;

private:
    platform::AdapterAccess& access_;
};

void RadeonProbe(SystemFacts& facts, platform::AdapterAccess& access, const QLocale& locale);
void DisplayClassProbe(SystemFacts& facts, platform::AdapterAccess& access);
