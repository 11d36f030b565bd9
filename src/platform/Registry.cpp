#include "platform/Registry.h"

#include "platform/CheckedWrite.h"
#include "platform/Errors.h"
#include "platform/RegFileIndex.h"
#include "platform/RegFileWriter.h"
#include "platform/RegTreeBuilder.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withSlash(QString dir) {
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

QString systemText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

[[noreturn]] void fail(const QString& what, const QString& path, int err) {
    throw RegistryError(QStringLiteral("%1 '%2': %3").arg(what, path, systemText(err)));
}

[[noreturn]] void failRead(const QString& path, int err) {
    throw RegistryStoreError(
        QStringLiteral("Cannot read the registry store file '%1': %2").arg(path, systemText(err)));
}

[[noreturn]] void notRegular(const QString& path) {
    throw RegistryStoreError(
        QStringLiteral("The registry store file '%1' is not a regular file").arg(path));
}

// Held while a writer reads, changes and replaces the store file. flock belongs to the open
// file, so it is released when a killed writer's descriptors close.
class StoreLock {
public:
    explicit StoreLock(const QString& path)
        : fd_(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC,
                     0644)) {
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

// What tells one state of a file from another without reading it.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    mode_t mode = 0;

    explicit FileStamp(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(st.st_mtim),
          changed(st.st_ctim), mode(st.st_mode) {}
    bool operator==(const FileStamp& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec &&
               mode == o.mode;
    }
};

// The clock the kernel stamps files with.
timespec fileClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

qint64 nanoseconds(const timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// True when any later change of the file must show in its stamp: its change time (which,
// unlike the modification time, nobody can set back) lies before `readAt` by more than the
// file system's resolution. Whole seconds are assumed for a file system that keeps whole (or
// two) seconds only.
bool settledBefore(const FileStamp& stamp, const timespec& readAt) {
    const qint64 resolution = stamp.changed.tv_nsec == 0 ? 2000000000 : 20000000;
    return nanoseconds(stamp.changed) + resolution < nanoseconds(readAt);
}

// Makes the pages of a large new buffer present in one step rather than one fault each as the
// file is copied in, which on some virtual machines costs more than the copy itself. Only a
// hint: where the kernel does not know it, nothing happens.
void prefault(QByteArray& buffer) {
    constexpr qsizetype Large = qsizetype(1) << 20;
    if (buffer.size() < Large)
        return;
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const auto begin = (quintptr(buffer.data()) + page - 1) & ~(page - 1);
    const auto end = (quintptr(buffer.data()) + quintptr(buffer.size())) & ~(page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

struct StoredFile {
    QByteArray bytes;
    FileStamp stamp;
    timespec readAt; // the file clock just before the file was opened
};

// The whole file; nullopt when it (or its folder) does not exist. Never waits on a FIFO:
// what is not a regular file is refused before anything is read.
std::optional<StoredFile> readWhole(const QString& path) {
    const timespec readAt = fileClockNow();
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        failRead(path, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        failRead(path, errno);
    if (!S_ISREG(st.st_mode))
        notRegular(path);
    if (st.st_size > regfile::MaxFileSize)
        throw RegistryStoreError(
            QStringLiteral("The registry store file '%1' is damaged (the file is larger than %2 "
                           "MiB)")
                .arg(path)
                .arg(regfile::MaxFileSize >> 20));
    StoredFile file{QByteArray(), FileStamp(st), readAt};
    // Read in place, one byte more than the size said so that a file still growing is seen.
    qsizetype filled = 0;
    file.bytes.resize(qsizetype(st.st_size) + 1);
    prefault(file.bytes);
    for (;;) {
        if (filled == file.bytes.size()) {
            if (file.bytes.size() > regfile::MaxFileSize)
                throw RegistryStoreError(
                    QStringLiteral("The registry store file '%1' is damaged (the file is larger "
                                   "than %2 MiB)")
                        .arg(path)
                        .arg(regfile::MaxFileSize >> 20));
            file.bytes.resize(file.bytes.size() * 2);
        }
        const ssize_t n =
            ::read(fd.get(), file.bytes.data() + filled, size_t(file.bytes.size() - filled));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            failRead(path, errno);
        }
        if (n == 0)
            break;
        filled += n;
    }
    file.bytes.truncate(filled);
    return file;
}

[[noreturn]] void damaged(const QString& path, int errorLine, const QString& error) {
    const QString where = errorLine > 0 ? QStringLiteral("line %1: ").arg(errorLine) : QString();
    throw RegistryStoreError(
        QStringLiteral("The registry store file '%1' is damaged (%2%3)").arg(path, where, error));
}

// The last state this process read or wrote of each store file. A file read is first only
// indexed (checked whole, its keys known, a key's values made when first asked for); the
// whole tree is made when a write or a full read needs it.
struct CachedStore {
    FileStamp stamp;
    QByteArray bytes;
    bool settled = false;                                     // see settledBefore
    std::shared_ptr<const regfile::IndexedRoot> index;        // none after a write
    std::shared_ptr<const regfile::Key> tree;                 // made when needed
    QHash<QString, std::shared_ptr<const regfile::Key>> keys; // keys read from the index
    // After this process wrote the file: where each key's block ends in `bytes` (see
    // regfile::reformat); empty otherwise.
    std::vector<qsizetype> blockEnds;

    const regfile::Key& wholeTree(RegRoot root, const QString& path) {
        if (!tree) {
            regfile::RootResult read = regfile::readRoot(bytes, rootName(root));
            if (!read.root)
                damaged(path, read.errorLine, read.error);
            tree = std::make_shared<const regfile::Key>(std::move(*read.root));
        }
        return *tree;
    }
};

std::mutex cacheMutex;
std::map<QString, CachedStore>& storeCache() {
    static std::map<QString, CachedStore> cache;
    return cache;
}

// The store file as it is now, from the cache while the file has not changed; null when there
// is no file. The caller holds cacheMutex.
CachedStore* refreshed(RegRoot root, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    auto& cache = storeCache();
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            failRead(path, errno);
        cache.erase(path);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode))
        notRegular(path);
    const auto cached = cache.find(path);
    if (cached != cache.end() && cached->second.settled && cached->second.stamp == FileStamp(st))
        return &cached->second;

    std::optional<StoredFile> file = readWhole(path);
    if (!file) {
        cache.erase(path);
        return nullptr;
    }
    const bool settled = settledBefore(file->stamp, file->readAt);
    if (cached != cache.end() && cached->second.bytes == file->bytes) {
        cached->second.stamp = file->stamp;
        cached->second.settled = settled;
        return &cached->second;
    }
    regfile::IndexResult indexed = regfile::indexRoot(file->bytes, rootName(root));
    if (!indexed.root)
        damaged(path, indexed.errorLine, indexed.error);
    CachedStore entry{file->stamp, file->bytes, settled, nullptr, nullptr, {}, {}};
    const bool removesKeys = indexed.root->removesKeys;
    entry.index = std::make_shared<const regfile::IndexedRoot>(std::move(*indexed.root));
    CachedStore& stored = cache.insert_or_assign(path, std::move(entry)).first->second;
    if (removesKeys) // which keys exist is known only from the whole tree
        stored.wholeTree(root, path);
    return &stored;
}

std::shared_ptr<const regfile::Key> emptyRoot(RegRoot root) {
    return std::make_shared<const regfile::Key>(rootName(root));
}

bool storeKeyExists(RegRoot root, const QString& path, const QStringList& parts) {
    const std::lock_guard<std::mutex> guard(cacheMutex);
    CachedStore* store = refreshed(root, path);
    if (!store)
        return parts.isEmpty();
    if (store->tree)
        return regfile::findKey(*store->tree, parts) != nullptr;
    return store->index->keyExists(parts);
}

std::optional<regfile::Value> storeValue(RegRoot root, const QString& path,
                                         const QStringList& parts, const QString& name) {
    const std::lock_guard<std::mutex> guard(cacheMutex);
    CachedStore* store = refreshed(root, path);
    if (!store)
        return std::nullopt;
    const regfile::Key* key = nullptr;
    if (store->tree) {
        key = regfile::findKey(*store->tree, parts);
    } else {
        const QString folded = parts.join(u'\\').toCaseFolded();
        auto known = store->keys.constFind(folded);
        if (known == store->keys.constEnd()) {
            std::optional<regfile::Key> read = store->index->key(parts);
            known = store->keys.insert(
                folded, read ? std::make_shared<const regfile::Key>(std::move(*read)) : nullptr);
        }
        key = known->get();
    }
    const regfile::Value* value = key ? key->value(name) : nullptr;
    if (!value)
        return std::nullopt;
    return *value;
}

struct CurrentStore {
    std::shared_ptr<const regfile::Key> tree;
    std::optional<FileStamp> stamp; // nullopt: there is no file
    QByteArray bytes;
    std::vector<qsizetype> blockEnds;
};

// The whole store as it is now.
CurrentStore currentStore(RegRoot root, const QString& path) {
    const std::lock_guard<std::mutex> guard(cacheMutex);
    CachedStore* store = refreshed(root, path);
    if (!store)
        return {emptyRoot(root), std::nullopt, QByteArray(), {}};
    store->wholeTree(root, path);
    return {store->tree, store->stamp, store->bytes, store->blockEnds};
}

void remember(const QString& path, const FileStamp& stamp, regfile::FormattedFile file,
              regfile::Key tree) {
    const std::lock_guard<std::mutex> guard(cacheMutex);
    storeCache().insert_or_assign(path,
                                  CachedStore{stamp,
                                              std::move(file.bytes),
                                              false,
                                              nullptr,
                                              std::make_shared<const regfile::Key>(std::move(tree)),
                                              {},
                                              std::move(file.blockEnds)});
}

void forget(const QString& path) {
    const std::lock_guard<std::mutex> guard(cacheMutex);
    storeCache().erase(path);
}

// The file a write must replace: a symbolic link is followed to its final target (which may
// not exist yet), so that the link itself stays.
QString writeTarget(const QString& path) {
    QString current = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray name = QFile::encodeName(current);
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) {
            if (errno == ENOENT)
                return current;
            fail(QStringLiteral("Cannot read the registry store file"), current, errno);
        }
        if (!S_ISLNK(st.st_mode))
            return current;
        QByteArray target(qsizetype(PATH_MAX), '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            fail(QStringLiteral("Cannot read the registry store file"), current, errno);
        target.truncate(n);
        const QString next = QFile::decodeName(target);
        current = next.startsWith(u'/') ? next : QFileInfo(current).path() + u'/' + next;
    }
    fail(QStringLiteral("Cannot read the registry store file"), path, ELOOP);
}

// Replaces the file at `path` without a moment in which a reader could see a partial file:
// the new text is complete and on disk before it takes the file's name. Returns the stamp of
// the new file when it is the one now at `path`. A `mode` of 0 leaves the new file's mode to
// the user's file creation mask.
std::optional<FileStamp> replaceFile(const QString& path, const QByteArray& bytes, mode_t mode) {
    platform::ReplaceOptions options;
    if (mode != 0)
        options.mode = mode;
    options.createMode = 0644;
    // One fixed name is enough: only the lock holder writes it.
    const QString tmp = path + QStringLiteral(".tmp");
    options.temporary = tmp;
    platform::FileIdentity written;
    if (const auto failure =
            platform::ReplaceFile(path, bytes, options, platform::systemFileCalls(), &written)) {
        switch (failure->step) {
        case platform::WriteStep::Create:
            fail(QStringLiteral("Cannot create the registry file"), tmp, failure->err);
        case platform::WriteStep::Mode:
            fail(QStringLiteral("Cannot set the mode of the registry file"), tmp, failure->err);
        case platform::WriteStep::Write:
            fail(QStringLiteral("Cannot write the registry file"), tmp, failure->err);
        case platform::WriteStep::Sync:
        case platform::WriteStep::Close:
            fail(QStringLiteral("Cannot flush the registry file"), tmp, failure->err);
        case platform::WriteStep::Rename:
            fail(QStringLiteral("Cannot replace the registry store file"), path, failure->err);
        case platform::WriteStep::Folder:
            fail(QStringLiteral("Cannot flush the registry folder"), QFileInfo(path).path(),
                 failure->err);
        }
    }
    struct stat now {};
    if (::stat(QFile::encodeName(path).constData(), &now) != 0 ||
        quint64(now.st_ino) != written.inode || quint64(now.st_dev) != written.device ||
        now.st_size != bytes.size())
        return std::nullopt;
    return FileStamp(now);
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
    return *storeSnapshot(root, dir);
}

std::shared_ptr<const regfile::Key> storeSnapshot(RegRoot root, const QString& dir) {
    return currentStore(root, storeFile(root, dir)).tree;
}

void updateStore(RegRoot root, const std::function<void(regfile::Key&)>& change,
                 const QString& dirIn) {
    const QString dir = withSlash(dirIn);
    if (!QDir().mkpath(dir))
        throw RegistryError(QStringLiteral("Cannot create the registry folder '%1'").arg(dir));
    const QString path = storeFile(root, dir);
    // Writers may reach the file through a link or by its own name: all of them lock the file
    // the link leads to. Should the link change before the lock is held, the new file is locked.
    QString target = writeTarget(path);
    std::optional<StoreLock> lock;
    for (int attempt = 0;; ++attempt) {
        lock.emplace(target + QStringLiteral(".lock"));
        const QString now = writeTarget(path);
        if (now == target)
            break;
        if (attempt == 40)
            fail(QStringLiteral("Cannot lock the registry store file"), path, EAGAIN);
        lock.reset();
        target = now;
    }

    const CurrentStore current = currentStore(root, path);
    regfile::Key tree = *current.tree;
    change(tree);
    if (tree == *current.tree)
        return; // nothing to store, or nothing new
    // The file this process wrote last is rewritten only where keys changed.
    std::optional<regfile::FormattedFile> file;
    if (!current.blockEnds.empty())
        file = regfile::reformat(rootName(root), *current.tree, {current.bytes, current.blockEnds},
                                 tree);
    if (!file)
        file = regfile::formatWithin(rootName(root), tree, regfile::MaxFileSize);
    // A file beyond the limit would be refused by every later read: the program would no
    // longer start. Such a change is refused instead.
    if (!file || file->bytes.size() > regfile::MaxFileSize)
        throw RegistryError(QStringLiteral("The registry store file '%1' would be larger than %2 "
                                           "MiB; it was left as it was")
                                .arg(path)
                                .arg(regfile::MaxFileSize >> 20));
    const QByteArray& bytes = file->bytes;
    if (current.stamp && bytes == current.bytes)
        return;
    // A store file without write permission is read-only, also for a root user.
    if (current.stamp && (current.stamp->mode & 0222) == 0)
        throw RegistryError(QStringLiteral("The registry store file '%1' is read-only").arg(path));
    const mode_t mode = current.stamp ? current.stamp->mode : 0;
    std::optional<FileStamp> stamp;
    try {
        stamp = replaceFile(target, bytes, mode);
    } catch (...) {
        forget(path);
        throw;
    }
    if (stamp)
        remember(path, *stamp, std::move(*file), std::move(tree));
    else
        forget(path);
}

Registry::Registry(RegRoot root, QString dir) : root_(root), dir_(withSlash(std::move(dir))) {}

bool Registry::keyExists(const QString& path) const {
    const auto parts = regfile::splitKeyPath(path);
    if (!parts)
        return false;
    return storeKeyExists(root_, storeFile(root_, dir_), *parts);
}

bool Registry::openKey(const QString& path, bool canCreate) {
    auto parts = regfile::splitKeyPath(path);
    if (!parts)
        return false;
    if (storeKeyExists(root_, storeFile(root_, dir_), *parts)) {
        // Nothing to create.
    } else if (canCreate) {
        updateStore(
            root_, [&](regfile::Key& tree) { regfile::createKey(tree, *parts); }, dir_);
    } else {
        return false;
    }
    open_ = std::move(parts);
    return true;
}

void Registry::closeKey() {
    open_.reset();
}

std::optional<regfile::Value> Registry::lookup(const QString& name) const {
    if (!open_)
        return std::nullopt;
    return storeValue(root_, storeFile(root_, dir_), *open_, name);
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
    const std::optional<QStringList>& parts = open_;
    if (!parts || !regfile::isStorableName(name) || name.size() > regfile::MaxValueNameLength)
        throw failed;
    try {
        // The value as it is stored already: the file would not change.
        const auto stored = storeValue(root_, storeFile(root_, dir_), *parts, name);
        if (stored && stored->type == type && stored->data == data)
            return;
        updateStore(
            root_,
            [&](regfile::Key& tree) {
                regfile::Key* key = regfile::findKey(tree, *parts);
                if (!key)
                    throw failed; // deleted since it was opened
                key->setValue(regfile::Value(name, type, data));
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
    const std::optional<QStringList>& parts = open_;
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
