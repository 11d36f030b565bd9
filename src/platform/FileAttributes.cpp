#include "platform/FileAttributes.h"

#include <QByteArray>
#include <cerrno>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace platform {

namespace {

constexpr const char* XattrName = "user.DOSATTRIB";
constexpr mode_t AnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

// The attributes other than read-only, from the extended attribute; 0 when it is absent.
quint32 StoredAttributes(const QByteArray& file) {
    char buffer[64] = {};
    const ssize_t n = getxattr(file.constData(), XattrName, buffer, sizeof buffer - 1);
    if (n <= 0) {
        return 0;
    }
    const QByteArray text = QByteArray(buffer, int(n)).trimmed().replace('\0', "");
    if (!text.startsWith("0x") && !text.startsWith("0X")) {
        return 0; // a binary form written by someone else: not ours to read
    }
    bool ok = false;
    const quint32 value = text.mid(2).toUInt(&ok, 16);
    return ok ? value & ~DosAttribute::ReadOnly : 0;
}

} // namespace

std::optional<quint32> GetFileAttributes(const QString& path) {
    const QByteArray file = path.toLocal8Bit();
    struct stat st {};
    if (stat(file.constData(), &st) != 0) {
        return std::nullopt;
    }
    quint32 attributes = StoredAttributes(file);
    if ((st.st_mode & S_IWUSR) == 0) {
        attributes |= DosAttribute::ReadOnly;
    }
    return attributes;
}

bool SetFileAttributes(const QString& path, quint32 attributes) {
    const QByteArray file = path.toLocal8Bit();
    struct stat st {};
    if (stat(file.constData(), &st) != 0) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & DosAttribute::ReadOnly) {
        mode &= ~AnyWrite;
    } else if ((mode & S_IWUSR) == 0) {
        mode |= S_IWUSR;
    }
    if (mode != (st.st_mode & 07777) && chmod(file.constData(), mode) != 0) {
        return false;
    }
    const quint32 rest = attributes & ~DosAttribute::ReadOnly;
    if (rest == 0) {
        // Nothing to keep: a missing attribute reads back as none.
        removexattr(file.constData(), XattrName);
        return true;
    }
    // Samba's own text form, with its terminating zero.
    QByteArray text = "0x" + QByteArray::number(rest, 16);
    text.append('\0');
    // ENOTSUP and EPERM (file systems without user attributes) are ignored on purpose.
    setxattr(file.constData(), XattrName, text.constData(), size_t(text.size()), 0);
    return true;
}

} // namespace platform
