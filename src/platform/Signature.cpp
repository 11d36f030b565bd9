#include "platform/Signature.h"

#include <sodium.h>

namespace platform {

static_assert(SignaturePublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(SignatureSecretKeyBytes == crypto_sign_SECRETKEYBYTES);
static_assert(SignatureBytes == crypto_sign_BYTES);

namespace {

// sodium_init may be called from any thread, any number of times.
bool Ready() {
    return sodium_init() >= 0;
}

const unsigned char* Bytes(const QByteArray& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

unsigned char* Bytes(QByteArray& bytes) {
    return reinterpret_cast<unsigned char*>(bytes.data());
}

} // namespace

bool VerifySignature(const QByteArray& publicKey, const QByteArray& message,
                     const QByteArray& signature) {
    if (publicKey.size() != SignaturePublicKeyBytes || signature.size() != SignatureBytes ||
        !Ready())
        return false;
    return crypto_sign_verify_detached(Bytes(signature), Bytes(message),
                                       static_cast<unsigned long long>(message.size()),
                                       Bytes(publicKey)) == 0;
}

SigningKeys GenerateSigningKeys() {
    SigningKeys keys;
    if (!Ready())
        return keys;
    QByteArray publicKey(SignaturePublicKeyBytes, '\0');
    QByteArray secretKey(SignatureSecretKeyBytes, '\0');
    if (crypto_sign_keypair(Bytes(publicKey), Bytes(secretKey)) != 0)
        return keys;
    keys.publicKey = publicKey;
    keys.secretKey = secretKey;
    return keys;
}

QByteArray SignMessage(const QByteArray& secretKey, const QByteArray& message) {
    if (secretKey.size() != SignatureSecretKeyBytes || !Ready())
        return {};
    QByteArray signature(SignatureBytes, '\0');
    if (crypto_sign_detached(Bytes(signature), nullptr, Bytes(message),
                             static_cast<unsigned long long>(message.size()),
                             Bytes(secretKey)) != 0)
        return {};
    return signature;
}

QByteArray PublicKeyOfSecretKey(const QByteArray& secretKey) {
    if (secretKey.size() != SignatureSecretKeyBytes || !Ready())
        return {};
    QByteArray publicKey(SignaturePublicKeyBytes, '\0');
    if (crypto_sign_ed25519_sk_to_pk(Bytes(publicKey), Bytes(secretKey)) != 0)
        return {};
    return publicKey;
}

} // namespace platform
