#include "game/SettingsStore.h"

#include "platform/Errors.h"

SettingsStore::SettingsStore(QString registryDirectory) : dir_(std::move(registryDirectory)) {}

QString SettingsStore::ProgramKey() {
    return QStringLiteral("\\SOFTWARE\\Quillon\\Ostrevo");
}

bool SettingsStore::HasProgramKey() const {
    return Registry(RegRoot::LocalMachine, dir_).keyExists(ProgramKey());
}

QString SettingsStore::ReadValue(const QString& name) const {
    Registry registry(RegRoot::LocalMachine, dir_);
    if (!registry.openKey(ProgramKey(), false))
        return {};
    return registry.readString(name);
}

void SettingsStore::WriteValue(const QString& name, const QString& text) {
    Registry registry(RegRoot::LocalMachine, dir_);
    if (!registry.openKey(ProgramKey(), false))
        throw RegistryError(QStringLiteral("Failed to set data for '%1'").arg(name));
    registry.writeString(name, text);
}

bool SettingsStore::WriteValueGuarded(const QString& name, const QString& text) {
    if (!HasProgramKey())
        return false;
    WriteValue(name, text);
    return true;
}
