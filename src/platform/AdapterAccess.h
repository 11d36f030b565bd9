#pragma once

#include <QMap>
#include <QString>
#include <optional>

// What the adapter probes ask of the display driver (its private escapes and the display
// device list) and of the adapter's registry keys. This platform has neither the escapes nor
// those keys, so its source answers "not available" throughout; a platform that has them
// supplies the raw answers and the probes' rules do the rest.
namespace platform {

// The Radeon clock escape's answer: the output record's dwords at offsets 12 and 44, in
// units of 10 kHz.
struct RadeonClockAnswer {
    quint32 memoryClock = 0;
    quint32 engineClock = 0;
};

struct DisplayDeviceRecord {
    QString DeviceName;   // "\\.\DISPLAY1" and so on
    QString DeviceString; // the adapter's name
    QString DeviceID;     // "PCI\VEN_1002&DEV_..."
};

// The driver clock escape's slot buffer: two clocks in Hz.
struct SlotClockAnswer {
    quint32 first = 0;
    quint32 second = 0;
};

class AdapterAccess {
public:
    virtual ~AdapterAccess() = default;
    // Nothing when the escape was not answered.
    virtual std::optional<RadeonClockAnswer> RadeonClockQuery() = 0;
    virtual bool RadeonMemoryQuery() = 0;
    // The display device at `index` of the enumeration; nothing past the last one.
    virtual std::optional<DisplayDeviceRecord> DisplayDevice(int index) = 0;
    // Nothing when the query failed.
    virtual std::optional<SlotClockAnswer> DriverClockQuery(int slot) = 0;
    // The string values of a key under HKEY_LOCAL_MACHINE; nothing when it does not open.
    virtual std::optional<QMap<QString, QString>> AdapterKey(const QString& path) = 0;
};

AdapterAccess& SystemAdapterAccess();

} // namespace platform
