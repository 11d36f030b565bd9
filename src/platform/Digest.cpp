#include "platform/Digest.h"

#include "platform/PieceReading.h"

#include <sodium.h>

namespace platform {

static_assert(Sha256Bytes == crypto_hash_sha256_BYTES);

QByteArray Sha256(const QByteArray& bytes) {
    QByteArray digest(Sha256Bytes, '\0');
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()),
                       reinterpret_cast<const unsigned char*>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()));
    return digest;
}

std::optional<QByteArray> Sha256OfOwnFile(const QString& path, qint64 maxBytes, qint64* size,
                                          QString* why) {
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    qint64 read = 0;
    const std::optional<QString> failure = ReadOwnFileInPieces(
        path, static_cast<std::size_t>(std::max<qint64>(maxBytes, 0)),
        [&](const char* data, std::size_t length) {
            crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(data),
                                      static_cast<unsigned long long>(length));
            read += static_cast<qint64>(length);
        });
    if (failure) {
        if (why)
            *why = *failure;
        return std::nullopt;
    }
    QByteArray digest(Sha256Bytes, '\0');
    crypto_hash_sha256_final(&state, reinterpret_cast<unsigned char*>(digest.data()));
    if (size)
        *size = read;
    return digest;
}

} // namespace platform
