#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// DOS file attributes on a Linux file system. Read-only is the file's write permission; the
// others live in the "user.DOSATTRIB" extended attribute (the text form "0xNN" that Samba also
// reads). Where the file system keeps no extended attributes they are silently dropped.
namespace platform {

namespace DosAttribute {
constexpr quint32 ReadOnly = 0x1;
constexpr quint32 Hidden = 0x2;
constexpr quint32 System = 0x4;
constexpr quint32 Archive = 0x20;
constexpr quint32 Temporary = 0x100;
constexpr quint32 Offline = 0x1000;
} // namespace DosAttribute

// The file's attributes; nothing when the file cannot be reached.
std::optional<quint32> GetFileAttributes(const QString& path);

// Gives the file exactly these attributes. Read-only clears every write bit; clearing it gives
// the owner write permission back. False only when the permissions cannot be changed.
bool SetFileAttributes(const QString& path, quint32 attributes);

} // namespace platform
