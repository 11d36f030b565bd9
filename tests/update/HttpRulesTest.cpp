#include <gtest/gtest.h>

#include "TestSupport.h"
#include "update/HttpDate.h"
#include "update/HttpRules.h"
#include "update/HttpUrl.h"

namespace {

TEST(HttpUrl, SplitsEveryComponentWithEscapesDecoded) {
    struct Case {
        const char* url;
        const char* scheme;
        const char* host;
        int port;
        const char* user;
        const char* password;
        const char* path;
        const char* extra;
    };
    const Case cases[] = {
        {"http://ann:pw@example.org:8080/a/b.txt?x=1#f", "http", "example.org", 8080, "ann", "pw",
         "/a/b.txt", "?x=1#f"},
        {"HTTPS://example.org", "https", "example.org", 443, "", "", "", ""},
        {"http://example.org/dir%20name/f%41.zip", "http", "example.org", 80, "", "",
         "/dir name/fA.zip", ""},
        {"http://example.org?q=%25x", "http", "example.org", 80, "", "", "", "?q=%x"},
        {"http://[::1]:81/x", "http", "::1", 81, "", "", "/x", ""},
        {"file:///tmp/a%20b.txt", "file", "", 0, "", "", "/tmp/a b.txt", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const auto parts = SplitURL(QString::fromUtf8(c.url));
        ASSERT_TRUE(parts.has_value());
        EXPECT_EQ(parts->scheme, c.scheme);
        EXPECT_EQ(parts->host, c.host);
        EXPECT_EQ(parts->port, c.port);
        EXPECT_EQ(parts->userName, c.user);
        EXPECT_EQ(parts->password, c.password);
        EXPECT_EQ(parts->path, c.path);
        EXPECT_EQ(parts->extra, c.extra);
    }
}

TEST(HttpUrl, RefusesMalformedOrOversizedComponents) {
    auto longText = [](int size) { return QString(size, u'a'); };
    const struct {
        QString url;
        bool splits;
    } cases[] = {
        {"example.org/x", false},
        {"http://example.org:99999/", false},
        {"http://example.org:port/", false},
        {longText(32) + "://h/", true},
        {longText(33) + "://h/", false},
        {"http://" + longText(256) + "/", true},
        {"http://" + longText(257) + "/", false},
        {"http://" + longText(128) + ":" + longText(128) + "@h/", true},
        {"http://" + longText(129) + "@h/", false},
        {"http://u:" + longText(129) + "@h/", false},
        {"http://h/" + longText(2047), true},
        {"http://h/" + longText(2048), false},
        {"http://h/?" + longText(2047), true},
        {"http://h/?" + longText(2048), false},
        // The limits count decoded characters: three bytes of escape are one character.
        {"http://h/?" + QString("%41").repeated(2047), true},
        // A scheme is a letter followed by letters, digits, "+", "-" and ".".
        {"svn+ssh.v-2://h/", true},
        {"ht tp://h/", false},
        {"2http://h/", false},
        {"Location: http://h/", false},
        {"x\ny://h/", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.left(60).toStdString());
        EXPECT_EQ(SplitURL(c.url).has_value(), c.splits);
    }
}

TEST(HttpUrl, EscapesTheExtraPartAgainForSending) {
    const struct {
        QString url;
        const char* object;
    } cases[] = {
        {"http://h/p?q=a b+c", "/p?q=a%20b%2Bc"},
        {"http://h/p?q=%25x", "/p?q=%25x"},
        {"http://h/p?q=a%20b%2Bc", "/p?q=a%20b%2Bc"},
        {"http://h/p?x=<*>&y=#top", "/p?x=%3C%2A%3E&y=%23top"},
        {"http://h/p?t=%09%7F%80%FF~", "/p?t=%09\x7F%80%FF~"},
        {"http://h", "/"},
        {"http://h/a b/c?d", "/a%20b/c?d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        const auto parts = SplitURL(c.url);
        ASSERT_TRUE(parts.has_value());
        EXPECT_EQ(RequestObject(*parts), QString::fromLatin1(c.object));
    }
    EXPECT_EQ(EscapeExtra(QStringLiteral("?a=1&b=x y")), "?a=1&b=x%20y");
    // Text that never went through the split: its UTF-8 bytes are sent.
    EXPECT_EQ(EscapeExtra(QStringLiteral("?\u20AC")), "?%E2%82%AC");
    EXPECT_EQ(ServiceURL(*SplitURL("http://ann:pw@h:81/x?y z")), "http://h:81/x?y%20z");
}

TEST(HttpUrl, HostAndFileNameOfURL) {
    const struct {
        const char* url;
        const char* host;
        const char* fileName;
    } cases[] = {
        {"www.example.org/files/setup.exe", "www.example.org", "setup.exe"},
        {"http://ann@example.org:8/dir/setup%20v2.zip?x=1", "example.org", "setup v2.zip"},
        {"http://example.org/", "example.org", ""},
        {"http://example.org", "example.org", ""},
        {"http://example.org:bad/x.txt", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(HostOfURL(c.url), c.host);
        EXPECT_EQ(FileNameOfURL(c.url), c.fileName);
    }
}

TEST(HttpDate, ReadsTheThreeLayoutsAndZoneOffsets) {
    const QDateTime reference(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    const struct {
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", reference},
        {"Sunday, 06-Nov-94 08:49:37 GMT", reference},
        {"Sun Nov  6 08:49:37 1994", reference},
        {"  sun, 06 nov 1994 08:49:37 gmt  ", reference},
        {"06 Nov 1994 08:49:37 +0100", reference.addSecs(-3600)},
        {"Sun, 06 Nov 1994 08:49:37 -0230", reference.addSecs(2 * 3600 + 30 * 60)},
        {"06 Nov 1994", QDateTime(QDate(1994, 11, 6), QTime(0, 0), Qt::UTC)},
        {"Thu, 01 Jan 70 00:00:00 GMT", QDateTime(QDate(2070, 1, 1), QTime(0, 0), Qt::UTC)},
        {"Sun, xx Nov 1994 08:49:37 GMT", QDateTime(QDate(1994, 11, 1), QTime(8, 49, 37), Qt::UTC)},
        {"", QDateTime()},
        {"not a date", QDateTime()},
        {"Sun, 06 Xyz 1994 08:49:37 GMT", QDateTime()},
        {"Sun, 31 Nov 1994 08:49:37 GMT", QDateTime()},
        {"Sun Nov  6 08:49:37 never", QDateTime()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QDateTime parsed = ParseHTTPDate(QString::fromLatin1(c.text));
        EXPECT_EQ(parsed.isValid(), c.expected.isValid());
        if (c.expected.isValid()) {
            EXPECT_EQ(parsed.toUTC(), c.expected);
        }
    }
}

// A field outside its range makes the whole text unreadable; a zone outside its range counts
// as no zone. None of it may overflow on the way.
TEST(HttpDate, EveryFieldIsRangeChecked) {
    const QDateTime reference(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    const struct {
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"Sun, 06 Nov 1994 999999:00:00 GMT", QDateTime()},
        {"Sun, 06 Nov 1994 99999999999999999999:00:00 GMT", QDateTime()},
        {"Sun, 06 Nov 1994 24:00:00 GMT", QDateTime()},
        {"Sun, 06 Nov 1994 08:60:00 GMT", QDateTime()},
        {"Sun, 06 Nov 1994 08:49:60 GMT", QDateTime()},
        {"Sun, 06 Nov 1994 -1:49:37 GMT", QDateTime()},
        {"Sun, 0 Nov 1994 08:49:37 GMT", QDateTime()},
        {"Sun, 99999999999 Nov 1994 08:49:37 GMT", QDateTime()},
        {"Sun, 06 Nov 10000 08:49:37 GMT", QDateTime()},
        {"Sun, 06 Nov -5 08:49:37 GMT", QDateTime()},
        {"Sun Nov  6 08:49:37 2147483648", QDateTime()},
        {"Sun, 06 Nov 1994 23:59:59 GMT",
         QDateTime(QDate(1994, 11, 6), QTime(23, 59, 59), Qt::UTC)},
        {"Sun, 06 Nov 1994 08:49:xx GMT", reference.addSecs(-37)},
        {"Sun, 06 Nov 1994 08:49:37 +9999", reference},
        {"Sun, 06 Nov 1994 08:49:37 +2360", reference},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QDateTime parsed = ParseHTTPDate(QString::fromLatin1(c.text));
        EXPECT_EQ(parsed.isValid(), c.expected.isValid());
        if (c.expected.isValid()) {
            EXPECT_EQ(parsed.toUTC(), c.expected);
        }
    }
}

TEST(HttpRules, ProgressFigures) {
    const struct {
        qint64 length, read, elapsedMs;
        int percent;
        qint64 elapsed, left;
        float rate;
    } cases[] = {
        {8192, 2048, 0, 25, 0, 0, 2.0f},   {8192, 2048, 4999, 25, 4, 12, 0.5f},
        {200, 1, 0, 0, 0, 0, 1.0f / 1024}, // 0.5 % rounds to the even 0
        {200, 3, 0, 2, 0, 0, 3.0f / 1024}, // 1.5 % rounds to the even 2
        {0, 5120, 2000, 0, 2, 0, 2.5f},    // no length: nothing to tell
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " " << c.read << " " << c.elapsedMs);
        const ProgressFigures f = ComputeProgress(c.length, c.read, c.elapsedMs);
        EXPECT_EQ(f.percentDone, c.percent);
        EXPECT_EQ(f.elapsedSeconds, c.elapsed);
        EXPECT_EQ(f.estimatedSecondsLeft, c.left);
        EXPECT_FLOAT_EQ(f.transferRate, c.rate);
    }
}

TEST(HttpRules, HeaderValuesRealmAndBypassList) {
    const QByteArray raw = "HTTP/1.1 401 Unauthorized\r\n"
                           "content-length:  17 \r\n"
                           "WWW-Authenticate: Basic realm=\"Varnholt updates\"\r\n"
                           "X-Empty:\r\n\r\n";
    EXPECT_EQ(HeaderValue(raw, "Content-Length"), "17");
    EXPECT_EQ(HeaderValue(raw, "X-Empty"), "");
    EXPECT_EQ(HeaderValue(raw, "ETag"), "");
    EXPECT_EQ(ContentLengthOf(raw), 17);
    EXPECT_EQ(ContentLengthOf("HTTP/1.1 200 OK\r\nContent-Length: many\r\n"), 0);
    EXPECT_EQ(HeaderValue("X: " + QByteArray(5000, 'v') + "\r\n", "X").size(), 4096);

    EXPECT_EQ(RealmOf(QString::fromLatin1(HeaderValue(raw, "WWW-Authenticate"))),
              "Varnholt updates");
    EXPECT_EQ(RealmOf("Basic"), "");
    EXPECT_EQ(NoProxyList("127.0.0.1;"), "127.0.0.1");
    EXPECT_EQ(NoProxyList("a.example; b.example c"), "a.example,b.example,c");
    EXPECT_EQ(StatusText(110), "Redirect");
    EXPECT_EQ(StatusText(42), "CTL Response received");
    EXPECT_EQ(StatusText(999), "Unknown status");
}

} // namespace
