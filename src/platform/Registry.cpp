#include "platform/Registry.h"
#include "platform/UniqueFd.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withSlash(QString dir) {
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

[[noreturn]] void fail(const QString& what, const QString& path, int err) {
    throw RegistryError(
        QStringLiteral("%1 '%2': %3").arg(what, path, QString::fromLocal8Bit(std::strerror(err))));
}

// Held while a writer reads, changes and replaces the store file. flock belongs to the open
// file, so it is released when a killed writer's descriptors close.
class StoreLock {
public:
    explicit StoreLock(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_.get() < 0)
            fail(QStringLiteral("Cannot open the registry lock file"), path, errno);
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                fail(QStringLiteral("Cannot lock the registry lock file"), path, errno);
        }
    }

private:
    UniqueFd fd_;
};

struct StoredFile {
    QByteArray bytes;
    mode_t mode = 0;
};

// The whole file; nullopt when it (or its folder) does not exist.
std::optional<StoredFile> readWhole(const QString& path) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        fail(QStringLiteral("Cannot read the registry store file"), path, errno);
    }
    StoredFile file;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        fail(QStringLiteral("Cannot read the registry store file"), path, errno);
    file.mode = st.st_mode;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot read the registry store file"), path, errno);
        }
        if (n == 0)
            break;
        file.bytes.append(buffer, n);
    }
    return file;
}

regfile::Key parseStore(RegRoot root, const QString& path, const QByteArray& bytes) {
    regfile::RootResult result = regfile::readRoot(bytes, rootName(root));
    if (!result.root) {
        const QString where =
            result.errorLine > 0 ? QStringLiteral("line %1: ").arg(result.errorLine) : QString();
        throw RegistryError(QStringLiteral("The registry store file '%1' is damaged (%2%3)")
                                .arg(path, where, result.error));
    }
    return std::move(*result.root);
}

void writeAll(int fd, const QByteArray& bytes, const QString& path) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QStringLiteral("Cannot write the registry file"), path, errno);
        }
        done += n;
    }
}

// Makes the rename itself durable.
void syncFolder(const QString& dir) {
    UniqueFd fd(::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0)
        fail(QStringLiteral("Cannot flush the registry folder"), dir, errno);
}

// Replaces the store file without a moment in which a reader could see a partial file:
// the new text is complete and on disk before it takes the store file's name.
void replaceFile(const QString& dir, const QString& path, const QByteArray& bytes,
                 std::optional<mode_t> mode) {
    // One fixed name is enough: only the lock holder writes it, and it truncates whatever a
    // killed writer left there.
    const QString tmp = path + QStringLiteral(".tmp");
    const QByteArray tmpName = QFile::encodeName(tmp);
    try {
        UniqueFd fd(::open(tmpName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0)
            fail(QStringLiteral("Cannot create the registry file"), tmp, errno);
        if (mode && ::fchmod(fd.get(), *mode & 07777) != 0)
            fail(QStringLiteral("Cannot set the mode of the registry file"), tmp, errno);
        writeAll(fd.get(), bytes, tmp);
        if (::fsync(fd.get()) != 0 || fd.close() != 0)
            fail(QStringLiteral("Cannot flush the registry file"), tmp, errno);
        if (::rename(tmpName.constData(), QFile::encodeName(path).constData()) != 0)
            fail(QStringLiteral("Cannot replace the registry store file"), path, errno);
    } catch (...) {
        ::unlink(tmpName.constData());
        throw;
    }
    syncFolder(dir);
}

} // namespace

QString registryDir() {
    QString dir = qEnvironmentVariable("VARNHOLT_REGISTRY_DIR");
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.config/Quillon/registry/");
    return withSlash(dir);
}

QString rootName(RegRoot root) {
    switch (root) {
    case RegRoot::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case RegRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegRoot::Users:
        return QStringLiteral("HKEY_USERS");
    }
    return QString();
}

std::optional<RegRoot> rootFromName(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == u"HKLM" || upper == u"HKEY_LOCAL_MACHINE")
        return RegRoot::LocalMachine;
    if (upper == u"HKCU" || upper == u"HKEY_CURRENT_USER")
        return RegRoot::CurrentUser;
    if (upper == u"HKU" || upper == u"HKEY_USERS")
        return RegRoot::Users;
    return std::nullopt;
}

QString storeFile(RegRoot root, const QString& dir) {
    return withSlash(dir) + rootName(root) + QStringLiteral(".reg");
}

regfile::Key readStore(RegRoot root, const QString& dir) {
    const QString path = storeFile(root, dir);
    const std::optional<StoredFile> file = readWhole(path);
    if (!file)
        return regfile::Key{rootName(root), {}, {}};
    return parseStore(root, path, file->bytes);
}

void updateStore(RegRoot root, const std::function<void(regfile::Key&)>& change,
                 const QString& dirIn) {
    const QString dir = withSlash(dirIn);
    if (!QDir().mkpath(dir))
        throw RegistryError(QStringLiteral("Cannot create the registry folder '%1'").arg(dir));
    const QString path = storeFile(root, dir);
    StoreLock lock(path + QStringLiteral(".lock"));

    const std::optional<StoredFile> current = readWhole(path);
    regfile::Key tree =
        current ? parseStore(root, path, current->bytes) : regfile::Key{rootName(root), {}, {}};
    change(tree);
    if (!current && tree.values.isEmpty() && tree.subKeys.empty())
        return; // still nothing to store
    const QByteArray bytes = regfile::format(rootName(root), tree);
    if (current && bytes == current->bytes)
        return;

    // Whatever is written must read back, or the next reader would lose the whole root.
    const regfile::RootResult check = regfile::readRoot(bytes, rootName(root));
    if (!check.root || regfile::format(rootName(root), *check.root) != bytes)
        throw RegistryError(QStringLiteral("The registry data cannot be stored in '%1'").arg(path));
    // A store file without write permission is read-only, also for a root user.
    if (current && (current->mode & 0222) == 0)
        throw RegistryError(QStringLiteral("The registry store file '%1' is read-only").arg(path));
    replaceFile(dir, path, bytes, current ? std::optional<mode_t>(current->mode) : std::nullopt);
}

Registry::Registry(RegRoot root, QString dir) : root_(root), dir_(withSlash(std::move(dir))) {}

bool Registry::keyExists(const QString& path) const {
    const auto parts = regfile::splitKeyPath(path);
    if (!parts)
        return false;
    return regfile::findKey(readStore(root_, dir_), *parts) != nullptr;
}

bool Registry::openKey(const QString& path, bool canCreate) {
    const auto parts = regfile::splitKeyPath(path);
    if (!parts)
        return false;
    if (canCreate)
        updateStore(
            root_, [&](regfile::Key& tree) { regfile::createKey(tree, *parts); }, dir_);
    else if (!keyExists(path))
        return false;
    open_ = path;
    return true;
}

void Registry::closeKey() {
    open_.reset();
}

std::optional<regfile::Value> Registry::lookup(const QString& name) const {
    if (!open_)
        return std::nullopt;
    const auto parts = regfile::splitKeyPath(*open_);
    const regfile::Key tree = readStore(root_, dir_);
    const regfile::Key* key = parts ? regfile::findKey(tree, *parts) : nullptr;
    const regfile::Value* value = key ? key->value(name) : nullptr;
    if (!value)
        return std::nullopt;
    return *value;
}

bool Registry::valueExists(const QString& name) const {
    return lookup(name).has_value();
}

std::optional<RegValueType> Registry::valueType(const QString& name) const {
    const auto value = lookup(name);
    if (!value)
        return std::nullopt;
    switch (value->type) {
    case regfile::TypeSz:
        return RegValueType::String;
    case regfile::TypeExpandSz:
        return RegValueType::ExpandString;
    case regfile::TypeBinary:
        return RegValueType::Binary;
    case regfile::TypeDWord:
        if (value->data.size() == 4)
            return RegValueType::DWord;
        break;
    }
    return std::nullopt;
}

namespace {

RegistryError invalidType(const QString& name) {
    return RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name));
}

} // namespace

QString Registry::readString(const QString& name) const {
    const auto value = lookup(name);
    if (!value)
        return QString();
    if (value->type != regfile::TypeSz && value->type != regfile::TypeExpandSz)
        throw invalidType(name);
    return regfile::decodeString(value->data);
}

qint32 Registry::readInteger(const QString& name) const {
    const auto value = lookup(name);
    const auto number = value && value->type == regfile::TypeDWord
                            ? regfile::decodeDWord(value->data)
                            : std::nullopt;
    if (!number)
        throw invalidType(name);
    return qint32(*number);
}

QByteArray Registry::readBinary(const QString& name) const {
    const auto value = lookup(name);
    if (!value || value->type != regfile::TypeBinary)
        throw invalidType(name);
    return value->data;
}

void Registry::writeValue(const QString& name, quint32 type, const QByteArray& data) {
    const RegistryError failed(QStringLiteral("Failed to set data for '%1'").arg(name));
    const auto parts = open_ ? regfile::splitKeyPath(*open_) : std::nullopt;
    if (!parts || !regfile::isStorableName(name))
        throw failed;
    try {
        updateStore(
            root_,
            [&](regfile::Key& tree) {
                regfile::Key* key = regfile::findKey(tree, *parts);
                if (!key)
                    throw failed; // deleted since it was opened
                key->setValue(regfile::Value{name, type, data});
            },
            dir_);
    } catch (const RegistryError&) {
        throw failed;
    }
}

void Registry::writeString(const QString& name, const QString& text) {
    writeValue(name, regfile::TypeSz, regfile::encodeString(text));
}

void Registry::writeExpandString(const QString& name, const QString& text) {
    writeValue(name, regfile::TypeExpandSz, regfile::encodeString(text));
}

void Registry::writeInteger(const QString& name, qint32 value) {
    writeValue(name, regfile::TypeDWord, regfile::encodeDWord(quint32(value)));
}

void Registry::writeBinary(const QString& name, const QByteArray& bytes) {
    writeValue(name, regfile::TypeBinary, bytes);
}

bool Registry::deleteValue(const QString& name) {
    const auto parts = open_ ? regfile::splitKeyPath(*open_) : std::nullopt;
    if (!parts)
        return false;
    bool removed = false;
    updateStore(
        root_,
        [&](regfile::Key& tree) {
            regfile::Key* key = regfile::findKey(tree, *parts);
            removed = key && key->removeValue(name);
        },
        dir_);
    return removed;
}

bool Registry::deleteKey(const QString& path) {
    const auto parts = regfile::splitKeyPath(path);
    if (!parts || parts->isEmpty())
        return false;
    bool removed = false;
    updateStore(
        root_, [&](regfile::Key& tree) { removed = regfile::removeKey(tree, *parts); }, dir_);
    return removed;
}
