#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The registry store: one file per root in the Windows registry export format, kept in
// registryDir(). Every write is atomic (temporary file, flush, rename) under an exclusive
// lock; a file that cannot be parsed is reported and never overwritten.

enum class RegRoot { LocalMachine, CurrentUser, Users };
enum class RegValueType { String, ExpandString, DWord, Binary };

// $VARNHOLT_REGISTRY_DIR, else ~/.config/Quillon/registry/; always ends with "/".
QString registryDir();
// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER" or "HKEY_USERS".
QString rootName(RegRoot root);

// One root with at most one open key, in the manner of the system's registry object. Key
// paths use "\" between parts; a leading "\" is optional; names compare without case.
// Nothing is cached: every call reads or writes the store afresh.
class Registry {
public:
    explicit Registry(RegRoot root, QString dir = registryDir());

    bool keyExists(const QString& path) const;
    // Opens the key; creates it (and its parents) only when canCreate. False when missing.
    bool openKey(const QString& path, bool canCreate);
    void closeKey();
    bool hasOpenKey() const { return open_.has_value(); }

    bool valueExists(const QString& name) const;
    std::optional<RegValueType> valueType(const QString& name) const;

    // A missing value reads as the empty text; a value of another type raises
    // RegistryError "Invalid data type for '<name>'".
    QString readString(const QString& name) const;
    // A missing value or one of another type raises "Invalid data type for '<name>'".
    qint32 readInteger(const QString& name) const;
    QByteArray readBinary(const QString& name) const;

    // Any failure (no open key, the key gone, the store unwritable or unreadable) raises
    // RegistryError "Failed to set data for '<name>'".
    void writeString(const QString& name, const QString& text);
    void writeExpandString(const QString& name, const QString& text);
    void writeInteger(const QString& name, qint32 value);
    void writeBinary(const QString& name, const QByteArray& bytes);

    bool deleteValue(const QString& name);
    bool deleteKey(const QString& path);

private:
    RegRoot root_;
    QString dir_;
    std::optional<QString> open_;
};
