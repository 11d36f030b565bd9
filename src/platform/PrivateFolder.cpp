#include "platform/PrivateFolder.h"

#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// True when `path` is a folder of this user, not reached through a link, that only this user
// may enter (its mode is made so).
bool IsPrivateFolder(const QByteArray& path) {
    UniqueFd fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 07777) == 0700 || ::fchmod(fd.get(), 0700) == 0;
}

// Whether folders made in `parent` stay where they were made: a parent that others may write
// to without the sticky bit, or that another user owns, lets them rename what we made there
// and put their own in its place.
bool SafeParent(const QByteArray& parent) {
    struct stat st {};
    if (::stat(parent.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid != 0 && st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st.st_mode & S_ISVTX) != 0;
}

bool MadePrivate(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return IsPrivateFolder(path);
}

QString AsFolder(const QByteArray& path) {
    return QFile::decodeName(path) + QLatin1Char('/');
}

// The folders every process of the user finds again: "<runtimeDir>/varnholt/", else
// "<tempRoot>/varnholt-<uid>/". Empty when neither can be had; `root` is then the temporary
// folder when it is a safe parent.
QString KnownPrivateFolder(const QString& runtimeDir, const QString& tempRoot, QString* root) {
    if (!runtimeDir.isEmpty() && SafeParent(QFile::encodeName(QDir::cleanPath(runtimeDir)))) {
        const QByteArray path = QFile::encodeName(QDir::cleanPath(runtimeDir) + "/varnholt");
        if (MadePrivate(path))
            return AsFolder(path);
    }
    if (tempRoot.isEmpty())
        return {};
    const QString cleanRoot = QDir::cleanPath(tempRoot);
    if (!SafeParent(QFile::encodeName(cleanRoot)))
        return {};
    const QByteArray own =
        QFile::encodeName(cleanRoot + QStringLiteral("/varnholt-%1").arg(::geteuid()));
    if (MadePrivate(own))
        return AsFolder(own);
    *root = cleanRoot;
    return {};
}

} // namespace

QString PrivateTempFolder(const QString& runtimeDir, const QString& tempRoot) {
    QString root;
    const QString known = KnownPrivateFolder(runtimeDir, tempRoot, &root);
    if (!known.isEmpty() || root.isEmpty())
        return known;
    // The usual name is taken by someone else: a fresh one nobody can have prepared.
    QByteArray pattern = QFile::encodeName(root + QStringLiteral("/varnholt-XXXXXX"));
    if (::mkdtemp(pattern.data()) != nullptr && IsPrivateFolder(pattern))
        return AsFolder(pattern);
    return {};
}

QString PrivateTempFolder() {
    return PrivateTempFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath());
}

QString GuardFolder() {
    QString root;
    return KnownPrivateFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), &root);
}

} // namespace platform
