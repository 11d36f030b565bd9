#include "update/UpdateInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct ValueCase {
    const char* text;
    const char* key;
    bool braced;
    const char* expected;
};

TEST(InfoValue, FindsKeysAndCutsValuesAsTheFileIsRead) {
    const ValueCase cases[] = {
        {"#VERSION=1.3.1.0\r\n", "#version", false, "1.3.1.0"},
        {"#version=1.3.1.0Beta\r\n", "#VERSION", false, "1.3.1.0Beta"},
        {"#version=1.3.1.0", "#version", false, "1.3.1"}, // no closing line break
        {"#url1=http://h/a.exe\tnote\r\n", "#url1", false, "http://h/a.exe"},
        {"#url1=http://h/a.exe\n#url2=x\r\n", "#url1", false, "http://h/a.exe"},
        {"#url1=x\r\n#url=y\r\n", "#url", false, "y"},
        {"#message={Fixes\r\nand more}\r\n", "#message", true, "Fixes\r\nand more"},
        {"#message={no end\r\n", "#message", true, "no end"},
        {"#message=plain\r\n", "#message", true, ""},
        {"#date=\r\n", "#date", false, ""},
        {"#version=1.3.1.0\r\n", "#date", false, ""},
        {"a = b #method=2 \r\n", "#method", false, "2 "},
    };
    for (const ValueCase& c : cases) {
        EXPECT_EQ(InfoValue(QString::fromLatin1(c.text), QString::fromLatin1(c.key), c.braced),
                  QString::fromLatin1(c.expected))
            << c.text;
    }
}

TEST(InfoFiles, NumberedEntriesStartAfterThePlainOnesAndStopAtTheFirstGap) {
    const struct {
        const char* text;
        QStringList expected;
    } cases[] = {
        {"#url1=a\r\n#url2=b\r\n#url4=d\r\n", {"a", "b"}},
        {"#url2=b\r\n", {}},
        {"#url=a\r\n#url2=b\r\n#url1=c\r\n", {"a", "b"}},
        {"#url0=z\r\n#url=a\r\n#url3=c\r\n#url1=x\r\n", {"a", "z", "c"}},
        {"#url1=\r\n#url2=b\r\n", {}},
        {"#url1=http://h/a=data/x.dat\r\n", {"http://h/a=data/x.dat"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InfoFiles(QString::fromLatin1(c.text)), c.expected) << c.text;
}

// A file beyond what an information file may hold is damaged as a whole: no entries, no
// version, never an update.
TEST(ParseUpdateInfo, AFileBeyondItsLimitsIsDamaged) {
    const auto numbered = [](int count, int length) {
        QString text;
        for (int n = 1; n <= count; ++n)
            text += QStringLiteral("#url%1=%2\r\n").arg(n).arg(QString(length, u'u'));
        return text + "#version=9\r\n";
    };
    const auto oversized =
        QStringLiteral("#url=a\r\n#version=9\r\n") + QString(InfoFileLimits::Bytes, u' ') + "\r\n";
    const struct {
        const char* name;
        QString text;
        bool damaged;
        qsizetype files;
    } cases[] = {
        {"at the file limit", numbered(InfoFileLimits::Files, 10), false, InfoFileLimits::Files},
        {"one file too many", numbered(InfoFileLimits::Files + 1, 10), true, 0},
        {"an entry at its limit", numbered(1, InfoFileLimits::EntryLength), false, 1},
        {"an entry too long", numbered(1, InfoFileLimits::EntryLength + 1), true, 0},
        {"larger than a mebibyte", oversized, true, 0},
        // Without line breaks every value would run to the end of the text.
        {"keys without line breaks", QString("#url1=#url2=").repeated(40000) + "\r\n", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UpdateInfo info = ParseUpdateInfo(c.text);
        EXPECT_EQ(info.Damaged, c.damaged);
        EXPECT_EQ(info.Files.size(), c.files);
        EXPECT_EQ(info.InfoVersion.isEmpty(), c.damaged);
        EXPECT_EQ(
            UpdateAvailable(info, {VersionComparison::ByNumber, "1.3.0.0", {}, QDate(2008, 3, 12)}),
            !c.damaged);
    }
}

TEST(CompareVersionText, ComparesFourNumbersElseTheBytes) {
    const struct {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"1.3", "1.3.0.0", 0},
        {"1.3.0.0.7", "1.3.0.0", 0}, // a fifth part is ignored
        {"1.10.0.0", "1.9.0.0", 1},
        {"1.9.0.0", "1.10.0.0", -1},
        {"1.3.1.0", "1.3.0.0", 1},
        {"1.3.0.0b", "1.3.0.0", 1},
        {"1.3.0.0", "1.3.0.0b", -1},
        {"", "1.3.0.0", -1},
        {"1.3.a", "1.3.0.0", 1},
        {"2.0.-1.0", "2.0.-2.0", -1}, // -1 is no number: bytes decide,
                                      // "1" < "2"
        {"1..3", "1.0.3", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareVersionText(QString::fromLatin1(c.a), QString::fromLatin1(c.b)),
                  c.expected)
            << c.a << " vs " << c.b;
    }
}

TEST(ParseInfoDate, ReadsMonthDayYearElseToday) {
    const QDate today(2024, 7, 9);
    const struct {
        const char* text;
        QDate expected;
    } cases[] = {
        {"03/12/2008", QDate(2008, 3, 12)},
        {"3/2/2008", QDate(2008, 3, 2)},
        {"03/12/08", QDate(8, 3, 12)},
        {"02/30/2008", today},
        {"13/01/2008", today},
        {"03-12-2008", today},
        {"03/12", today},
        {"03/12/2008/1", today},
        {"", today},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInfoDate(QString::fromLatin1(c.text), today), c.expected) << c.text;
}

TEST(UpgradeMethodFromText, FirstCharacterDecides) {
    const struct {
        const char* text;
        UpgradeMethod expected;
    } cases[] = {{"", UpgradeMethod::SelfUpgrade},     {"0", UpgradeMethod::SelfUpgrade},
                 {"1", UpgradeMethod::ExternalSetup},  {"2", UpgradeMethod::RedirectToUrl},
                 {"21", UpgradeMethod::RedirectToUrl}, {" 2", UpgradeMethod::SelfUpgrade},
                 {"x", UpgradeMethod::SelfUpgrade}};
    for (const auto& c : cases)
        EXPECT_EQ(UpgradeMethodFromText(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(UpdateAvailable, WholeFilesAgainstTheRunningProgram) {
    const QDate today(2024, 7, 9);
    const struct {
        const char* file;
        VersionComparison control;
        const char* versionDate;
        bool expected;
    } cases[] = {
        {"#url1=http://h/varnholt\r\n#version=1.3.1.0\r\n", VersionComparison::ByNumber, "", true},
        {"#url1=http://h/varnholt\r\n#version=1.3\r\n", VersionComparison::ByNumber, "", false},
        {"#version=1.4.0.0\r\n#message={New}\r\n", VersionComparison::ByNumber, "",
         false}, // no file
        {"#url2=http://h/varnholt\r\n#version=1.4.0.0\r\n", VersionComparison::ByNumber, "", false},
        {"#url=http://h/varnholt\r\n#version=\r\n", VersionComparison::ByNumber, "", false},
        {"#url=http://h/varnholt\r\n#version=1.3.0.0b\r\n", VersionComparison::ByNumber, "", true},
        {"#url=http://h/v\r\n#date=04/01/2008\r\n", VersionComparison::ByDate, "03/12/2008", true},
        {"#url=http://h/v\r\n#date=03/12/2008\r\n", VersionComparison::ByDate, "03/12/2008", false},
        {"#url=http://h/v\r\n#date=soon\r\n", VersionComparison::ByDate, "03/12/2008",
         true}, // counts as today
        {"#url=http://h/v\r\n#date=soon\r\n", VersionComparison::ByDate, "never", false},
    };
    for (const auto& c : cases) {
        const UpdateInfo info = ParseUpdateInfo(QString::fromLatin1(c.file));
        const VersionCheck check{c.control, QStringLiteral("1.3.0.0"),
                                 QString::fromLatin1(c.versionDate), today};
        EXPECT_EQ(UpdateAvailable(info, check), c.expected) << c.file;
    }
}

TEST(ParseUpdateInfo, TakesEveryFieldOfTheExampleFile) {
    const QByteArray body = "#url1=http://quillon.example/varnholt\r\n"
                            "#version=1.3.1.0\r\n"
                            "#Message={Fixes and\r\nnew resolutions.}\r\n"
                            "#date=04/01/2008\r\n"
                            "#method=1\r\n";
    const UpdateInfo info = ParseUpdateInfo(InfoText(body));
    EXPECT_EQ(info.Files, QStringList{"http://quillon.example/varnholt"});
    EXPECT_EQ(info.InfoVersion, "1.3.1.0");
    EXPECT_EQ(info.InfoDate, "04/01/2008");
    EXPECT_EQ(info.UpgradeMsg, "Fixes and\r\nnew resolutions.");
    EXPECT_EQ(info.Method, UpgradeMethod::ExternalSetup);

    EXPECT_EQ(ParseUpdateInfo(InfoText("#version=2\r\n")).Method, UpgradeMethod::SelfUpgrade);
    // One character per byte: a Latin-1 byte stays one character.
    EXPECT_EQ(ParseUpdateInfo(InfoText("#message={Gr\xfc\xdf"
                                       "e}\r\n"))
                  .UpgradeMsg,
              QString::fromUtf8("Grüße"));
}

} // namespace
