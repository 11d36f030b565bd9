#pragma once

#include "platform/Errors.h"
#include "platform/RegKeyTree.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The registry store: one file per root in the Windows registry export format, kept in
// registryDir(). Every write is atomic (temporary file, flush, rename) under an exclusive
// lock; a file that cannot be parsed is reported and never overwritten. A store file that is
// a symbolic link stays one: writes go to the file it leads to.
//
// Each process keeps the last tree it read or wrote of every store file and reads the file
// again only when it has changed: another device, inode, size, or change or modification time.
// A file whose modification time is too close to the moment it was read to rule out a change
// within the same clock tick is compared byte for byte at its next use instead.

// The store file of a root cannot be read: damaged, not a regular file, unreadable.
class RegistryStoreError : public RegistryError {
public:
    using RegistryError::RegistryError;
};

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
// RegistryStoreError when the file cannot be read, is damaged or is not a regular file.
regfile::Key readStore(RegRoot root, const QString& dir = registryDir());
// The same without a copy: the tree as stored now, shared and never changed.
std::shared_ptr<const regfile::Key> storeSnapshot(RegRoot root, const QString& dir = registryDir());
// Under the root's exclusive lock: takes the file as it is now, lets `change` edit the tree
// and saves the result atomically (nothing is written when the tree did not change). Raises
// RegistryError when the folder or file cannot be written, RegistryStoreError when the file
// cannot be read or is damaged; such a file is left as it is. An exception from `change`
// leaves the store unchanged.
void updateStore(RegRoot root, const std::function<void(regfile::Key&)>& change,
                 const QString& dir = registryDir());

// One root with at most one open key, in the manner of the system's registry object. Key
// paths use "\" between parts; a leading "\" is optional; names compare without case.
// Every call sees the store as it is now (see the cache above). Any call that reads a damaged
// store file raises RegistryStoreError naming the file.
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
    std::optional<QStringList> open_; // the open key's path, split once as it was opened
};
