// Detached Ed25519 signatures through the platform layer.
#include "platform/Signature.h"

#include <gtest/gtest.h>

namespace {

// RFC 8032, section 7.1, tests 1 and 2: the signatures any Ed25519 implementation makes.
struct KnownAnswer {
    const char* seed;
    const char* publicKey;
    const char* message;
    const char* signature;
};
const KnownAnswer KnownAnswers[] = {
    {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
     "1cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613"
     "d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
};

TEST(Signature, MakesAndChecksTheStandardSignatures) {
    for (const KnownAnswer& k : KnownAnswers) {
        SCOPED_TRACE(k.publicKey);
        const QByteArray publicKey = QByteArray::fromHex(k.publicKey);
        const QByteArray secretKey = QByteArray::fromHex(k.seed) + publicKey;
        const QByteArray message = QByteArray::fromHex(k.message);
        const QByteArray signature = QByteArray::fromHex(k.signature);
        EXPECT_EQ(platform::SignMessage(secretKey, message).toHex(), signature.toHex());
        EXPECT_EQ(platform::PublicKeyOfSecretKey(secretKey).toHex(), publicKey.toHex());
        EXPECT_TRUE(platform::VerifySignature(publicKey, message, signature));
    }
}

TEST(Signature, RefusesEverythingButTheSignerAndTheBytesSigned) {
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    ASSERT_EQ(keys.publicKey.size(), platform::SignaturePublicKeyBytes);
    ASSERT_EQ(keys.secretKey.size(), platform::SignatureSecretKeyBytes);
    EXPECT_NE(platform::GenerateSigningKeys().publicKey, keys.publicKey);
    const QByteArray message = "the new program\n";
    const QByteArray signature = platform::SignMessage(keys.secretKey, message);
    ASSERT_EQ(signature.size(), platform::SignatureBytes);
    ASSERT_TRUE(platform::VerifySignature(keys.publicKey, message, signature));

    QByteArray flippedSignature = signature;
    flippedSignature[40] = char(flippedSignature[40] ^ 0x20);
    const struct {
        const char* name;
        QByteArray publicKey;
        QByteArray message;
        QByteArray signature;
    } cases[] = {
        {"another message", keys.publicKey, "the new programme\n", signature},
        {"a byte more", keys.publicKey, message + '\0', signature},
        {"a changed signature", keys.publicKey, message, flippedSignature},
        {"another key", platform::GenerateSigningKeys().publicKey, message, signature},
        {"no key", QByteArray(), message, signature},
        {"a short key", keys.publicKey.left(31), message, signature},
        {"a long key", keys.publicKey + 'x', message, signature},
        {"no signature", keys.publicKey, message, QByteArray()},
        {"a short signature", keys.publicKey, message, signature.left(63)},
        {"a long signature", keys.publicKey, message, signature + signature},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(platform::VerifySignature(c.publicKey, c.message, c.signature)) << c.name;

    EXPECT_TRUE(platform::SignMessage(keys.secretKey.left(32), message).isEmpty());
    EXPECT_TRUE(platform::PublicKeyOfSecretKey(keys.publicKey).isEmpty());
}

} // namespace
