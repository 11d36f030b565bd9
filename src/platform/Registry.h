#pragma once

#include "platform/RegFile.h"

#include <QByteArray>
#include <QString>
#include <functional>
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
// The root named by its long name or by "HKLM", "HKCU", "HKU"; no case. Nullopt otherwise.
std::optional<RegRoot> rootFromName(const QString& name);
// The store file of a root: dir + rootName(root) + ".reg".
QString storeFile(RegRoot root, const QString& dir = registryDir());

// The whole root as stored now; an empty root while its file does not exist. Raises
// RegistryError when the file cannot be read or is damaged.
regfile::Key readStore(RegRoot root, const QString& dir = registryDir());
// Under the root's exclusive lock: reads the file afresh, lets `change` edit the tree and
// saves the result atomically (nothing is written when the file would not change). Raises
// RegistryError when the folder or file cannot be written or the file is damaged; a damaged
// file is left as it is. An exception from `change` leaves the store unchanged.
void updateStore(RegRoot root, const std::function<void(regfile::Key&)>& change,
                 const QString& dir = registryDir());

// One root with at most one open key, in the manner of the system's registry object. Key
// paths use "\" between parts; a leading "\" is optional; names compare without case.
// Nothing is cached: every call reads or writes the store afresh. Any call that reads a
// damaged store file raises RegistryError naming the file.
class Registry {
public:
    explicit Registry(RegRoot root, QString dir = registryDir());

    bool keyExists(const QString& path) const;
    // Opens the key; creates it (and its parents) only when canCreate. False when missing or
    // when the path is malformed ("\\A"). Creating raises RegistryError when the store
    // cannot be written.
    bool openKey(const QString& path, bool canCreate);
    void closeKey();
    bool hasOpenKey() const { return open_.has_value(); }

    bool valueExists(const QString& name) const;
    // Nullopt when the value is missing or of a type outside the four above.
    std::optional<RegValueType> valueType(const QString& name) const;

    // A missing value reads as the empty text; a value of another type raises
    // RegistryError "Invalid data type for '<name>'".
    QString readString(const QString& name) const;
    // A missing value or one of another type raises "Invalid data type for '<name>'".
    qint32 readInteger(const QString& name) const;
    // The bytes of a REG_BINARY value; a missing value or one of another type raises
    // "Invalid data type for '<name>'".
    QByteArray readBinary(const QString& name) const;

    // Any failure (no open key, the key gone, the store unwritable or unreadable) raises
    // RegistryError "Failed to set data for '<name>'".
    void writeString(const QString& name, const QString& text);
    void writeExpandString(const QString& name, const QString& text);
    void writeInteger(const QString& name, qint32 value);
    void writeBinary(const QString& name, const QByteArray& bytes);

    // False when there was nothing to delete (no open key, value or key missing); raises
    // RegistryError when the store cannot be written. Deleting a key takes everything below.
    bool deleteValue(const QString& name);
    bool deleteKey(const QString& path);

private:
    std::optional<regfile::Value> lookup(const QString& name) const;
    void writeValue(const QString& name, quint32 type, const QByteArray& data);

    RegRoot root_;
    QString dir_;
    std::optional<QString> open_;
};
