#pragma once

#include <QList>
#include <QString>

// The machine facts of the diagnostics report, read from the kernel's files. Every path is
// read below a root folder (normally "", so "/sys/..."), which lets a laid-out tree stand in
// for the machine. A fact that cannot be had is empty here; the report writes "n/a" for it.

struct DisplayAdapterFacts {
    QString cardName;
    QString manufacturer;
    QString chipType;
    QString deviceKey;     // "PCI\VEN_xxxx&DEV_yyyy"
    QString displayMemory; // "N MB"
    QString driverName;    // the kernel module
    QString driverVersion; // module and its version (or the kernel's release)
};

struct SoundDeviceFacts {
    QString description;
    QString driverName;
};

struct MachineFacts {
    QString machineName;
    QString operatingSystem;
    QString processor;
    QString memory;
};

class LinuxFacts {
public:
    explicit LinuxFacts(QString root) : root_(std::move(root)) {}

    MachineFacts Machine() const;
    // The graphics cards the kernel's DRM layer knows, else the PCI display controllers.
    QList<DisplayAdapterFacts> DisplayAdapters() const;
    // The sound cards of /proc/asound/cards.
    QList<SoundDeviceFacts> SoundDevices() const;

private:
    QString path(const QString& absolute) const { return root_ + absolute; }
    QString readText(const QString& absolute) const;
    DisplayAdapterFacts pciAdapter(const QString& deviceDir) const;
    // Vendor and device names from the PCI name list; empty when unknown.
    std::pair<QString, QString> pciNames(const QString& vendorId, const QString& deviceId) const;
    QString moduleVersion(const QString& module) const;

    QString root_;
};
