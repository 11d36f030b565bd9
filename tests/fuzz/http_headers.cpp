// The head of an HTTP answer: header values, the announced length, the realm, the dates, and
// the URLs a Location or an information file brings.
#include "update/HttpDate.h"
#include "update/HttpRules.h"
#include "update/HttpUrl.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray raw(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const char* name : {"Content-Type", "Location", "Date", "Last-Modified", "ETag",
                             "WWW-Authenticate", "Content-Length"}) {
        const QByteArray value = HeaderValue(raw, name);
        if (value.size() > 4096)
            __builtin_trap();
        const QDateTime date = ParseHTTPDate(QString::fromLatin1(value));
        if (date.isValid() && (date.date().year() < 0 || date.date().year() > 10000))
            __builtin_trap();
    }
    if (ContentLengthOf(raw) < 0)
        __builtin_trap();
    const QString text = QString::fromLatin1(raw);
    if (RealmOf(text).size() > text.size())
        __builtin_trap();
    const QDateTime date = ParseHTTPDate(text);
    if (date.isValid() && (date.date().year() < 0 || date.date().year() > 10000))
        __builtin_trap();

    if (const std::optional<UrlParts> parts = SplitURL(WithScheme(text))) {
        if (parts->scheme.size() > UrlLimits::Scheme || parts->host.size() > UrlLimits::Host ||
            parts->path.size() > UrlLimits::Path || parts->extra.size() > UrlLimits::Extra)
            __builtin_trap();
        // Sent as it stands: no blank, no control character, nothing beyond ASCII (DEL may
        // stay, as the extra part's escaping leaves it).
        for (const QChar c : ServiceURL(*parts)) {
            if (c.unicode() <= 32 || c.unicode() > 127)
                __builtin_trap();
        }
    }
    for (const QChar c : EscapeExtra(text)) {
        if (c.unicode() < 32 || c.unicode() > 127 || c == u' ')
            __builtin_trap();
    }
    HostOfURL(text);
    FileNameOfURL(text);
    return 0;
}
