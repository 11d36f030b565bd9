// The release manifest's text, its signature and its target rule, directly.
#include "update/ReleaseManifest.h"

#include "platform/Digest.h"
#include "platform/Signature.h"

#include <gtest/gtest.h>

namespace {

ReleaseManifest Sample() {
    ReleaseManifest m;
    m.Version = "1.6";
    m.Released = QDate(2026, 12, 1);
    m.Expires = QDate(2027, 3, 1);
    m.InfoSize = 120;
    m.InfoSha256 = platform::Sha256("info");
    m.Files = {{3000, platform::Sha256("prog"), "http://quillon.example/1.6/varnholt"},
               {12, platform::Sha256("data"), "http://quillon.example/1.6/x.dat=data/x.dat"}};
    return m;
}

QByteArray Signed(const QByteArray& body, const platform::SigningKeys& keys) {
    return SignedManifestText(body,
                              platform::SignMessage(keys.secretKey, ManifestSigningMessage(body)));
}

TEST(ReleaseManifest, WrittenSignedAndReadBack) {
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    const QByteArray body = ManifestBody(Sample());
    EXPECT_TRUE(body.startsWith("quillon-varnholt-release 1\nversion 1.6\nreleased 2026-12-01\n"
                                "expires 2027-03-01\ninfo 120 "));
    const ParsedManifest parsed = ParseManifest(Signed(body, keys), keys.publicKey);
    ASSERT_EQ(parsed.Problem, ManifestProblem::None);
    EXPECT_EQ(parsed.Manifest, Sample());
    EXPECT_EQ(ParseManifestBody(body), Sample());
}

// Only a signature of this manifest, made for manifests, by the key passes.
TEST(ReleaseManifest, TheSignatureIsTheManifestsOwn) {
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    const QByteArray body = ManifestBody(Sample());
    const QByteArray good = Signed(body, keys);
    QByteArray changed = good;
    changed.replace("version 1.6", "version 1.7");
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        // The key's plain signature of the same bytes, as it signed files: not a manifest's.
        {"a file signature of the body",
         SignedManifestText(body, platform::SignMessage(keys.secretKey, body))},
        {"another key", Signed(body, platform::GenerateSigningKeys())},
        {"a changed body", changed},
        {"no signature line", body},
        {"a signature too short", body + "signature " + QByteArray(40, 'A') + "\n"},
    };
    for (const auto& c : cases) {
        const ParsedManifest parsed = ParseManifest(c.text, keys.publicKey);
        EXPECT_NE(parsed.Problem, ManifestProblem::None) << c.name;
        EXPECT_TRUE(parsed.Manifest.Files.isEmpty()) << c.name;
    }
    EXPECT_EQ(ParseManifest(good, keys.publicKey.left(31)).Problem, ManifestProblem::BadSignature);
}

TEST(ReleaseManifest, AnythingButTheExactFormIsMalformed) {
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    const QByteArray body = ManifestBody(Sample());
    const QByteArray hex(64, 'a');
    const struct {
        const char* name;
        QByteArray from, to;
    } cases[] = {
        {"another first line", "release 1", "release 2"},
        {"a date that does not exist", "2027-03-01", "2027-02-30"},
        {"a size with a sign", "info 120", "info +120"},
        {"a size with a leading zero", "info 120", "info 0120"},
        {"a digest in upper case", platform::Sha256("info").toHex(),
         platform::Sha256("info").toHex().toUpper()},
        {"an entry with a control character", "x.dat=data", "x.dat\t=data"},
        {"a line of its own", "info 120", "size 1\ninfo 120"},
        {"an empty version", "version 1.6", "version "},
    };
    for (const auto& c : cases) {
        QByteArray changed = body;
        changed.replace(c.from, c.to);
        ASSERT_NE(changed, body) << c.name;
        EXPECT_EQ(ParseManifest(Signed(changed, keys), keys.publicKey).Problem,
                  ManifestProblem::Malformed)
            << c.name;
    }
    ReleaseManifest many = Sample();
    for (int i = 0; i <= ManifestLimits::Files; ++i)
        many.Files << ManifestFile{1, platform::Sha256("x"), QStringLiteral("http://h/f%1").arg(i)};
    EXPECT_EQ(ParseManifest(Signed(ManifestBody(many), keys), keys.publicKey).Problem,
              ManifestProblem::Malformed);
}

// Every spelling of one file is the same target; two entries for one file refuse the manifest.
TEST(ReleaseManifest, ATargetNamedTwiceRefusesTheManifest) {
    const platform::SigningKeys keys = platform::GenerateSigningKeys();
    const struct {
        QString first, second;
        bool twice;
    } cases[] = {
        {"http://h/varnholt", "http://h/other=%current%/varnholt", true},
        {"http://h/varnholt", "http://h/other=./varnholt", true},
        {"http://h/varnholt", "http://h/other=%CURRENT%varnholt", true},
        {"http://h/a=data/x.dat", "http://h/b=%current%data//x.dat", true},
        {"http://h/a=%system%dxdiag", "http://h/b=%system%/./dxdiag", true},
        {"http://h/a=data/x.dat", "http://h/a=data/y.dat", false},
        {"http://h/a=%temp%x", "http://h/b=x", false},
    };
    for (const auto& c : cases) {
        ReleaseManifest m = Sample();
        m.Files = {{1, platform::Sha256("1"), c.first}, {1, platform::Sha256("1"), c.second}};
        EXPECT_EQ(ParseManifest(Signed(ManifestBody(m), keys), keys.publicKey).Problem,
                  c.twice ? ManifestProblem::TargetTwice : ManifestProblem::None)
            << c.first.toStdString() << " " << c.second.toStdString();
    }
}

TEST(ReleaseManifest, ExpiredAfterItsLastDay) {
    const ReleaseManifest m = Sample();
    EXPECT_FALSE(ManifestExpired(m, QDate(2027, 3, 1)));
    EXPECT_TRUE(ManifestExpired(m, QDate(2027, 3, 2)));
}

} // namespace
