// signrelease: the maker's key pair and the signed release manifest the update checker asks for.
//   signrelease keygen PUBFILE SECFILE         a new key pair; neither file may exist yet
//   signrelease sign SECFILE FOLDER [DAYS]     writes FOLDER/update.txt.manifest, believed for
//                                              DAYS days from today (90 when not given)
//   signrelease verify PUBFILE FOLDER          checks FOLDER against its manifest
// FOLDER holds the release as it will be uploaded: the information file update.txt and, for each
// of its entries, the file named by the last part of the entry's URL. Key files hold the key in
// base64 on one line. Exit code 0 on success, 1 with a message on stderr otherwise (verify: when
// anything is bad), 2 for a wrong command line.

#include "platform/CheckedFile.h"
#include "platform/Digest.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "platform/Signature.h"
#include "update/ReleaseManifest.h"
#include "update/UpdateInfo.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

const char Usage[] = "usage: signrelease keygen PUBFILE SECFILE\n"
                     "       signrelease sign SECFILE FOLDER [DAYS]\n"
                     "       signrelease verify PUBFILE FOLDER\n";

const char InfoFileName[] = "update.txt";
constexpr int DefaultDays = 90;

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

QString AsFolder(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

// The release folder's file for an entry: the last part of its URL's path.
QString FileOfEntry(const QString& folder, const QString& entry) {
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    const QString url = eq < 0 ? entry : entry.left(eq);
    QString path = QUrl(url).path();
    if (path.isEmpty())
        path = url;
    return folder + path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
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

int Sign(const QString& secretPath, const QString& folderArg, int days) {
    QString why;
    const std::optional<QByteArray> secretKey =
        ReadKey(secretPath, platform::SignatureSecretKeyBytes, why);
    if (!secretKey)
        return Fail(QStringLiteral("cannot read the secret key %1: %2").arg(secretPath, why));
    const QString folder = AsFolder(folderArg);
    const QString infoPath = folder + QLatin1StringView(InfoFileName);
    const std::optional<QByteArray> info =
        platform::ReadOwnFile(infoPath, InfoFileLimits::Bytes, &why);
    if (!info)
        return Fail(QStringLiteral("cannot read %1: %2").arg(infoPath, why));
    const UpdateInfo parsed = ParseUpdateInfo(InfoText(*info));
    if (parsed.Damaged || parsed.InfoVersion.isEmpty())
        return Fail(QStringLiteral("%1 is damaged or names no #version").arg(infoPath));

    ReleaseManifest manifest;
    const QDate today = QDate::currentDate();
    manifest.Version = parsed.InfoVersion;
    const QDate written = ParseInfoDate(parsed.InfoDate, QDate());
    manifest.Released = written.isValid() ? written : today;
    manifest.Expires = today.addDays(days);
    manifest.InfoSize = info->size();
    manifest.InfoSha256 = platform::Sha256(*info);
    for (const QString& entry : parsed.Files) {
        const QString path = FileOfEntry(folder, entry);
        ManifestFile file;
        file.Entry = entry;
        const std::optional<QByteArray> digest =
            platform::Sha256OfOwnFile(path, ManifestLimits::FileBytes, &file.Size, &why);
        if (!digest)
            return Fail(QStringLiteral("cannot read %1: %2").arg(path, why));
        file.Sha256 = *digest;
        manifest.Files << file;
    }
    const QByteArray body = ManifestBody(manifest);
    const QByteArray signature = platform::SignMessage(*secretKey, ManifestSigningMessage(body));
    const QByteArray text = SignedManifestText(body, signature);
    // What the checker will do with it, before it is written.
    const ParsedManifest check = ParseManifest(text, platform::PublicKeyOfSecretKey(*secretKey));
    if (check.Problem == ManifestProblem::TargetTwice)
        return Fail(QStringLiteral("%1 names one target twice").arg(infoPath));
    if (check.Problem != ManifestProblem::None || !(check.Manifest == manifest))
        return Fail(QStringLiteral("cannot sign %1").arg(infoPath));
    const QString manifestPath = infoPath + QLatin1StringView(ManifestUrlSuffix);
    try {
        platform::WriteFileAtomically(manifestPath, text);
    } catch (const AppError& error) {
        return Fail(error.message());
    }
    Print(stdout, QStringLiteral("%1: version %2, %3 files, believed until %4")
                      .arg(manifestPath, manifest.Version)
                      .arg(manifest.Files.size())
                      .arg(manifest.Expires.toString(Qt::ISODate)));
    return 0;
}

int Verify(const QString& publicPath, const QString& folderArg) {
    QString why;
    const std::optional<QByteArray> publicKey =
        ReadKey(publicPath, platform::SignaturePublicKeyBytes, why);
    if (!publicKey)
        return Fail(QStringLiteral("cannot read the public key %1: %2").arg(publicPath, why));
    const QString folder = AsFolder(folderArg);
    const QString infoPath = folder + QLatin1StringView(InfoFileName);
    const QString manifestPath = infoPath + QLatin1StringView(ManifestUrlSuffix);
    const std::optional<QByteArray> text =
        platform::ReadOwnFile(manifestPath, ManifestLimits::Bytes, &why);
    const ParsedManifest parsed = text ? ParseManifest(*text, *publicKey) : ParsedManifest{};
    if (parsed.Problem != ManifestProblem::None) {
        Print(stdout, manifestPath + QStringLiteral(": BAD"));
        return 1;
    }
    const ReleaseManifest& manifest = parsed.Manifest;
    int result = 0;
    if (ManifestExpired(manifest, QDate::currentDate())) {
        Print(stdout, manifestPath + QStringLiteral(": expired on ") +
                          manifest.Expires.toString(Qt::ISODate));
        result = 1;
    } else {
        Print(stdout, manifestPath + QStringLiteral(": good"));
    }
    const auto report = [&](const QString& path, qint64 size, const QByteArray& sha256) {
        qint64 found = -1;
        const std::optional<QByteArray> digest =
            platform::Sha256OfOwnFile(path, ManifestLimits::FileBytes, &found, &why);
        const bool good = digest && found == size && *digest == sha256;
        Print(stdout, path + (good ? QStringLiteral(": good") : QStringLiteral(": BAD")));
        if (!good)
            result = 1;
    };
    report(infoPath, manifest.InfoSize, manifest.InfoSha256);
    for (const ManifestFile& file : manifest.Files)
        report(FileOfEntry(folder, file.Entry), file.Size, file.Sha256);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    if (command == u"keygen" && args.size() == 3)
        return Keygen(args[1], args[2]);
    if (command == u"sign" && (args.size() == 3 || args.size() == 4)) {
        bool ok = true;
        const int days = args.size() == 4 ? args[3].toInt(&ok) : DefaultDays;
        if (ok && days > 0 && days <= 3660)
            return Sign(args[1], args[2], days);
    }
    if (command == u"verify" && args.size() == 3)
        return Verify(args[1], args[2]);
    std::fputs(Usage, stderr);
    return 2;
}
