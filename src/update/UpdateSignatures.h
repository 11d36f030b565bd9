#pragma once

#include <QtGlobal>

// Where an update file's signature lies and how large a signed file may be: shared by the
// update checker and the release tool that signs.

// A file's signature lies at the file's URL (or beside the file) with this appended: the raw
// 64-byte detached Ed25519 signature of the file's bytes. Nothing longer is downloaded.
inline constexpr char SignatureUrlSuffix[] = ".sig";
// The largest update file that can be verified (it is read whole).
inline constexpr qint64 SignedFileLimit = qint64(512) * 1024 * 1024;
