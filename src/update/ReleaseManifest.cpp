#include "update/ReleaseManifest.h"

#include "platform/Digest.h"
#include "platform/Signature.h"

#include <QDir>
#include <QSet>

namespace {

const char DateFormat[] = "yyyy-MM-dd";

QByteArray Line(const QByteArray& key, const QByteArray& value) {
    return key + ' ' + value + '\n';
}

QByteArray Figures(qint64 size, const QByteArray& sha256) {
    return QByteArray::number(size) + ' ' + sha256.toHex();
}

// A decimal size without sign or leading zero, within the limit.
std::optional<qint64> SizeValue(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 12 || (text.size() > 1 && text.startsWith('0')))
        return std::nullopt;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const qint64 size = text.toLongLong();
    return size <= ManifestLimits::FileBytes ? std::optional<qint64>(size) : std::nullopt;
}

// 64 lower-case hex digits.
std::optional<QByteArray> DigestValue(const QByteArray& text) {
    if (text.size() != 2 * platform::Sha256Bytes)
        return std::nullopt;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return QByteArray::fromHex(text);
}

std::optional<QDate> DateValue(const QByteArray& text) {
    if (text.size() != 10)
        return std::nullopt;
    const QDate date = QDate::fromString(QString::fromLatin1(text), QLatin1StringView(DateFormat));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// "<size> <digest>" at the start of `value`; `rest` gets what follows the digest's blank.
bool ReadFigures(const QByteArray& value, qint64& size, QByteArray& sha256, QByteArray* rest) {
    const qsizetype first = value.indexOf(' ');
    if (first < 0)
        return false;
    const qsizetype second = value.indexOf(' ', first + 1);
    if ((second >= 0) != (rest != nullptr))
        return false;
    const std::optional<qint64> parsedSize = SizeValue(value.left(first));
    const std::optional<QByteArray> digest =
        DigestValue(second < 0 ? value.mid(first + 1) : value.mid(first + 1, second - first - 1));
    if (!parsedSize || !digest)
        return false;
    size = *parsedSize;
    sha256 = *digest;
    if (rest)
        *rest = value.mid(second + 1);
    return true;
}

// Text of an entry: printable, as the information file can hold it (no character below 32).
bool EntryText(const QByteArray& bytes, QString& entry) {
    if (bytes.isEmpty())
        return false;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) < 32)
            return false;
    }
    // The checker reads the information file one character per byte: so does the manifest.
    entry = QString::fromLatin1(bytes);
    return true;
}

} // namespace

QByteArray ManifestBody(const ReleaseManifest& manifest) {
    QByteArray body = QByteArray(ManifestFirstLine) + '\n';
    body += Line("version", manifest.Version.toLatin1());
    body += Line("released", manifest.Released.toString(QLatin1StringView(DateFormat)).toLatin1());
    body += Line("expires", manifest.Expires.toString(QLatin1StringView(DateFormat)).toLatin1());
    body += Line("info", Figures(manifest.InfoSize, manifest.InfoSha256));
    for (const ManifestFile& file : manifest.Files)
        body += Line("file", Figures(file.Size, file.Sha256) + ' ' + file.Entry.toLatin1());
    return body;
}

QByteArray ManifestSigningMessage(const QByteArray& body) {
    return QByteArray(ManifestSigningContext, ManifestSigningContextBytes) + body;
}

QByteArray SignedManifestText(const QByteArray& body, const QByteArray& signature) {
    return body + Line("signature", signature.toBase64());
}

std::optional<ReleaseManifest> ParseManifestBody(const QByteArray& body) {
    if (body.size() > ManifestLimits::Bytes || !body.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = body.left(body.size() - 1).split('\n');
    // The head: first line, version, released, expires, info.
    if (lines.size() < 5 || lines.size() - 5 > ManifestLimits::Files ||
        lines[0] != ManifestFirstLine)
        return std::nullopt;
    ReleaseManifest manifest;
    const auto value = [&](qsizetype index, const QByteArray& key) -> std::optional<QByteArray> {
        const QByteArray& line = lines[index];
        if (line.size() > ManifestLimits::LineLength || !line.startsWith(key + ' '))
            return std::nullopt;
        return line.mid(key.size() + 1);
    };
    const auto version = value(1, "version");
    const auto released = value(2, "released");
    const auto expires = value(3, "expires");
    const auto info = value(4, "info");
    if (!version || !released || !expires || !info)
        return std::nullopt;
    const std::optional<QDate> releasedDate = DateValue(*released);
    const std::optional<QDate> expiresDate = DateValue(*expires);
    if (version->isEmpty() || !EntryText(*version, manifest.Version) || !releasedDate ||
        !expiresDate || !ReadFigures(*info, manifest.InfoSize, manifest.InfoSha256, nullptr))
        return std::nullopt;
    manifest.Released = *releasedDate;
    manifest.Expires = *expiresDate;
    for (qsizetype i = 5; i < lines.size(); ++i) {
        const auto file = value(i, "file");
        ManifestFile entry;
        QByteArray text;
        if (!file || !ReadFigures(*file, entry.Size, entry.Sha256, &text) ||
            !EntryText(text, entry.Entry))
            return std::nullopt;
        manifest.Files << entry;
    }
    return manifest;
}

ParsedManifest ParseManifest(const QByteArray& text, const QByteArray& publicKey) {
    ParsedManifest parsed;
    if (text.size() > ManifestLimits::Bytes || !text.endsWith('\n'))
        return parsed;
    const qsizetype lineStart = text.lastIndexOf('\n', text.size() - 2) + 1;
    const QByteArray signatureLine = text.mid(lineStart, text.size() - 1 - lineStart);
    const QByteArray prefix = "signature ";
    if (lineStart == 0 || !signatureLine.startsWith(prefix))
        return parsed;
    const auto signature = QByteArray::fromBase64Encoding(signatureLine.mid(prefix.size()),
                                                          QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray body = text.left(lineStart);
    if (!signature || signature.decoded.size() != platform::SignatureBytes ||
        !platform::VerifySignature(publicKey, ManifestSigningMessage(body), signature.decoded)) {
        parsed.Problem = ManifestProblem::BadSignature;
        return parsed;
    }
    const std::optional<ReleaseManifest> manifest = ParseManifestBody(body);
    if (!manifest)
        return parsed;
    QSet<QString> targets;
    for (const ManifestFile& file : manifest->Files) {
        const QString key = ManifestTargetKey(file.Entry);
        if (targets.contains(key)) {
            parsed.Problem = ManifestProblem::TargetTwice;
            return parsed;
        }
        targets.insert(key);
    }
    parsed.Problem = ManifestProblem::None;
    parsed.Manifest = *manifest;
    return parsed;
}

QString ManifestTargetKey(const QString& entry) {
    static const char* const macros[] = {
        "%current%", "%desktop%", "%mydocuments%", "%mypictures%", "%appdata%", "%programfiles%",
        "%windows%", "%system%",  "%temp%",        "%help%",       "%media%",   "%cursors%",
    };
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    QString target;
    if (eq < 0) {
        target = QStringLiteral("%current%/") + entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
    } else {
        target = entry.mid(eq + 1);
        for (const char* macro : macros) {
            const QString name = QLatin1StringView(macro);
            target.replace(name, name + QLatin1Char('/'), Qt::CaseInsensitive);
        }
        bool named = false;
        for (const char* macro : macros)
            named = named || target.contains(QLatin1StringView(macro));
        if (!named && !target.startsWith(QLatin1Char('/')))
            target.prepend(QStringLiteral("%current%/"));
    }
    return QDir::cleanPath(target);
}
