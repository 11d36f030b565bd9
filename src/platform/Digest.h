#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// SHA-256 (libsodium's crypto_hash_sha256): what a release manifest records for every file, and
// what the checker and the upgrade helper compare a download with.
namespace platform {

inline constexpr int Sha256Bytes = 32;

QByteArray Sha256(const QByteArray& bytes);

// The digest of `path` read in pieces, never held whole. Only a regular file owned by this
// user, not reached through a link, and at most `maxBytes` long counts; `size` (when given)
// learns how many bytes were read. Nothing otherwise, and `why` (when given) says why.
std::optional<QByteArray> Sha256OfOwnFile(const QString& path, qint64 maxBytes,
                                          qint64* size = nullptr, QString* why = nullptr);

} // namespace platform
