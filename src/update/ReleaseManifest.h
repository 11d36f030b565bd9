#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <optional>

// The signed manifest of a release: the one thing the update checker believes. It lies beside
// the information file (its URL + ManifestUrlSuffix) and says which release this is, until when
// its word holds, and for the information file and every file it lists the exact size and
// SHA-256. Everything here is pure.
//
// The text, UTF-8, one item per line ending in LF:
//   quillon-varnholt-release 1
//   version <the information file's #version>
//   released <yyyy-MM-dd>
//   expires <yyyy-MM-dd>          the last day the manifest is believed
//   info <size> <sha256 hex>      the information file's bytes
//   file <size> <sha256 hex> <the information file's entry, as written>   once per entry, in order
//   signature <base64 of the 64-byte Ed25519 signature>
// The signature covers ManifestSigningContext followed by every byte before the signature line,
// so no signature the key made of anything else can pass as a manifest's.

inline constexpr char ManifestUrlSuffix[] = ".manifest";
inline constexpr char ManifestFirstLine[] = "quillon-varnholt-release 1";
// Signed with its closing NUL: no text file the maker ever signed begins with it.
inline constexpr char ManifestSigningContext[] = "Quillon Varnholt release manifest v1";
inline constexpr qsizetype ManifestSigningContextBytes = sizeof(ManifestSigningContext); // with NUL

struct ManifestLimits {
    static constexpr qsizetype Bytes = 2 * 1024 * 1024;
    static constexpr qsizetype Files = 1000;                // as many as an information file holds
    static constexpr qsizetype LineLength = 8 * 1024 + 200; // an entry and its figures
    static constexpr qint64 FileBytes = qint64(4) * 1024 * 1024 * 1024; // one listed file
};

struct ManifestFile {
    qint64 Size = 0;
    QByteArray Sha256; // 32 raw bytes
    QString Entry;     // URL or URL=target, exactly as the information file writes it
    bool operator==(const ManifestFile&) const = default;
};

struct ReleaseManifest {
    QString Version;
    QDate Released;
    QDate Expires;
    qint64 InfoSize = 0;
    QByteArray InfoSha256;
    QList<ManifestFile> Files;
    bool operator==(const ReleaseManifest&) const = default;
};

// The text without its signature line.
QByteArray ManifestBody(const ReleaseManifest& manifest);
// What the signature is made of: the context (with its NUL), then the body.
QByteArray ManifestSigningMessage(const QByteArray& body);
// The body followed by the signature line.
QByteArray SignedManifestText(const QByteArray& body, const QByteArray& signature);

enum class ManifestProblem {
    None,
    Malformed,    // not a manifest, or beyond ManifestLimits
    BadSignature, // no valid signature by the key
    TargetTwice,  // two entries name the same file
};

struct ParsedManifest {
    ManifestProblem Problem = ManifestProblem::Malformed;
    ReleaseManifest Manifest; // only with Problem None
};

// Splits, checks the signature with `publicKey` and reads the manifest. A manifest whose
// entries name the same target twice (after ManifestTargetKey) is refused.
ParsedManifest ParseManifest(const QByteArray& text, const QByteArray& publicKey);

// The body alone, without any signature: for the fuzz target and for the release tool.
std::optional<ReleaseManifest> ParseManifestBody(const QByteArray& body);

// The file an entry names, written the same way for every spelling: a target without a macro is
// taken inside "%current%", each macro (letter case ignored) stands for its folder followed by
// "/", "." and ".." are resolved and doubled "/" go. An entry without a target names
// "%current%/" + the last part of its URL.
QString ManifestTargetKey(const QString& entry);

// Whether the manifest is still believed on `today`.
inline bool ManifestExpired(const ReleaseManifest& manifest, const QDate& today) {
    return !manifest.Expires.isValid() || manifest.Expires < today;
}
