#pragma once

#include "platform/Registry.h"

#include <QString>

// The program key HKEY_LOCAL_MACHINE \SOFTWARE\Quillon\Ostrevo, which holds every option as a
// string value. The store never creates the key (the install step does) and holds nothing of
// its own: every call sees the key as it is stored now.
class SettingsStore {
public:
    explicit SettingsStore(QString registryDirectory = registryDir());

    static QString ProgramKey();

    bool HasProgramKey() const;
    // The text of the value; empty when the value (or the key) is missing.
    QString ReadValue(const QString& name) const;
    // Opens the key (never creating it) and writes; a missing key raises RegistryError
    // "Failed to set data for '<name>'".
    void WriteValue(const QString& name, const QString& text);
    // Writes only when the key exists; returns whether it wrote.
    bool WriteValueGuarded(const QString& name, const QString& text);

    const QString& registryDirectory() const { return dir_; }

private:
    QString dir_;
};
