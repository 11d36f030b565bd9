// signrelease: the maker's key pair and the signatures the update checker asks for.
//   signrelease keygen PUBFILE SECFILE   a new key pair; neither file may exist yet
//   signrelease sign SECFILE FILE...     writes FILE.sig beside each FILE
//   signrelease verify PUBFILE FILE...   checks each FILE against FILE.sig
// Key files hold the key in base64 on one line; a FILE.sig holds the raw 64-byte detached
// Ed25519 signature of FILE's bytes. Exit code 0 on success, 1 with a message on stderr
// otherwise, 2 for a wrong command line.

#include "platform/CheckedFile.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/Signature.h"
#include "update/UpdateSignatures.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

const char Usage[] = "usage: signrelease keygen PUBFILE SECFILE\n"
                     "       signrelease sign SECFILE FILE...\n"
                     "       signrelease verify PUBFILE FILE...\n";

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int Fail(const QString& text) {
    Print(stderr, QStringLiteral("signrelease: ") + text);
    return 1;
}

// A key file: base64 of exactly `length` bytes, blanks and line ends around it ignored.
std::optional<QByteArray> ReadKey(const QString& path, int length, QString& why) {
    const std::optional<QByteArray> text = platform::ReadOwnFile(path, 1024, &why);
    if (!text)
        return std::nullopt;
    const auto decoded =
        QByteArray::fromBase64Encoding(text->trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != length) {
        why = QStringLiteral("not a key of this kind");
        return std::nullopt;
    }
    return decoded.decoded;
}

int Keygen(const QString& publicPath, const QString& secretPath) {
    for (const QString& path : {publicPath, secretPath}) {
        if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
            return Fail(QStringLiteral("%1 exists; a key is never overwritten").arg(path));
    }
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    if (keys.publicKey.isEmpty())
        return Fail(QStringLiteral("no key pair could be made"));
    // The secret key first, readable by its owner only: without it the public key is useless.
    if (const auto failure =
            platform::WriteNewFile(secretPath, keys.secretKey.toBase64() + '\n', 0600))
        return Fail(*failure);
    if (const auto failure =
            platform::WriteNewFile(publicPath, keys.publicKey.toBase64() + '\n', 0644))
        return Fail(*failure);
    Print(stdout, QString::fromLatin1(keys.publicKey.toBase64()));
    return 0;
}

int Sign(const QString& secretPath, const QStringList& files) {
    QString why;
    const std::optional<QByteArray> secretKey =
        ReadKey(secretPath, platform::SignatureSecretKeyBytes, why);
    if (!secretKey)
        return Fail(QStringLiteral("cannot read the secret key %1: %2").arg(secretPath, why));
    const QByteArray publicKey = platform::PublicKeyOfSecretKey(*secretKey);
    for (const QString& file : files) {
        const std::optional<QByteArray> bytes = platform::ReadOwnFile(file, SignedFileLimit, &why);
        if (!bytes)
            return Fail(QStringLiteral("cannot read %1: %2").arg(file, why));
        const QByteArray signature = platform::SignMessage(*secretKey, *bytes);
        if (signature.isEmpty() || !platform::VerifySignature(publicKey, *bytes, signature))
            return Fail(QStringLiteral("cannot sign %1").arg(file));
        const QString sigPath = file + QLatin1StringView(SignatureUrlSuffix);
        try {
            platform::WriteFileAtomically(sigPath, signature);
        } catch (const AppError& error) {
            return Fail(error.message());
        }
        Print(stdout, sigPath);
    }
    return 0;
}

int Verify(const QString& publicPath, const QStringList& files) {
    QString why;
    const std::optional<QByteArray> publicKey =
        ReadKey(publicPath, platform::SignaturePublicKeyBytes, why);
    if (!publicKey)
        return Fail(QStringLiteral("cannot read the public key %1: %2").arg(publicPath, why));
    int result = 0;
    for (const QString& file : files) {
        const std::optional<QByteArray> bytes = platform::ReadOwnFile(file, SignedFileLimit, &why);
        const std::optional<QByteArray> signature = platform::ReadOwnFile(
            file + QLatin1StringView(SignatureUrlSuffix), platform::SignatureBytes, &why);
        if (bytes && signature && platform::VerifySignature(*publicKey, *bytes, *signature)) {
            Print(stdout, file + QStringLiteral(": good"));
        } else {
            Print(stdout, file + QStringLiteral(": BAD"));
            result = 1;
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    if (command == u"keygen" && args.size() == 3)
        return Keygen(args[1], args[2]);
    if (command == u"sign" && args.size() >= 3)
        return Sign(args[1], args.mid(2));
    if (command == u"verify" && args.size() >= 3)
        return Verify(args[1], args.mid(2));
    std::fputs(Usage, stderr);
    return 2;
}
