#pragma once

#include <QByteArray>

// Detached Ed25519 signatures (libsodium): the update checker verifies downloads with the
// maker's public key, the release tool makes the key pair and signs.
namespace platform {

inline constexpr int SignaturePublicKeyBytes = 32;
inline constexpr int SignatureSecretKeyBytes = 64;
inline constexpr int SignatureBytes = 64;

// True when `signature` is a valid detached Ed25519 signature of all of `message` made with the
// secret key that belongs to `publicKey`. A key or signature of the wrong length is not valid.
bool VerifySignature(const QByteArray& publicKey, const QByteArray& message,
                     const QByteArray& signature);

struct SigningKeys {
    QByteArray publicKey; // SignaturePublicKeyBytes
    QByteArray secretKey; // SignatureSecretKeyBytes
};

// A new key pair from the system's random source; both empty when none can be had.
SigningKeys GenerateSigningKeys();

// The detached signature of `message`; empty when `secretKey` has the wrong length.
QByteArray SignMessage(const QByteArray& secretKey, const QByteArray& message);

// The public key held in a secret key; empty when it has the wrong length.
QByteArray PublicKeyOfSecretKey(const QByteArray& secretKey);

} // namespace platform
