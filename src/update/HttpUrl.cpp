#include "update/HttpUrl.h"

#include <QByteArray>

namespace {

// Escapes decoded to bytes, one character per byte.
QString Decode(QStringView text) {
    return QString::fromLatin1(QByteArray::fromPercentEncoding(text.toUtf8()));
}

bool NeedsEscapeInExtra(char16_t c) {
    return c < 32 || c > 127 || c == u' ' || c == u'#' || c == u'%' || c == u'*' || c == u'+' ||
           c == u'<' || c == u'>';
}

bool NeedsEscapeInPath(char16_t c) {
    return c <= 32 || c > 127 || c == u'"' || c == u'#' || c == u'%' || c == u'<' || c == u'>' ||
           c == u'?';
}

QString Escape(const QString& text, bool (*needsEscape)(char16_t)) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size());
    auto put = [&out](unsigned byte) {
        out += u'%';
        out += QLatin1Char(hex[(byte >> 4) & 0xF]);
        out += QLatin1Char(hex[byte & 0xF]);
    };
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c > 255) {
            // Only reachable for text that did not come from SplitURL: send its UTF-8 bytes.
            for (const char byte : QString(ch).toUtf8()) {
                put(static_cast<unsigned char>(byte));
            }
        } else if (needsEscape(c)) {
            put(c);
        } else {
            out += ch;
        }
    }
    return out;
}

// A letter, then letters, digits, "+", "-" and ".": nothing else names a scheme.
bool IsScheme(const QString& scheme) {
    for (qsizetype i = 0; i < scheme.size(); ++i) {
        const char16_t c = scheme.at(i).unicode();
        const bool letter = c >= u'a' && c <= u'z';
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && (i == 0 || !other)) {
            return false;
        }
    }
    return true;
}

int DefaultPort(const QString& scheme) {
    if (scheme == QLatin1String("http")) {
        return 80;
    }
    if (scheme == QLatin1String("https")) {
        return 443;
    }
    return 0;
}

} // namespace

QString WithScheme(const QString& url) {
    return url.contains(QLatin1String("://")) ? url : QStringLiteral("http://") + url;
}

std::optional<UrlParts> SplitURL(const QString& url) {
    const qsizetype mark = url.indexOf(QLatin1String("://"));
    if (mark <= 0) {
        return std::nullopt;
    }
    UrlParts parts;
    parts.scheme = url.left(mark).toLower();
    if (parts.scheme.size() > UrlLimits::Scheme || !IsScheme(parts.scheme)) {
        return std::nullopt;
    }
    const QStringView rest = QStringView(url).mid(mark + 3);
    qsizetype authorityEnd = rest.size();
    for (const char16_t stop : {u'/', u'?', u'#'}) {
        const qsizetype at = rest.indexOf(QChar(stop));
        if (at >= 0 && at < authorityEnd) {
            authorityEnd = at;
        }
    }
    QStringView authority = rest.left(authorityEnd);
    const QStringView tail = rest.mid(authorityEnd);
    qsizetype extraStart = tail.size();
    for (const char16_t stop : {u'?', u'#'}) {
        const qsizetype at = tail.indexOf(QChar(stop));
        if (at >= 0 && at < extraStart) {
            extraStart = at;
        }
    }
    parts.path = Decode(tail.left(extraStart));
    parts.extra = Decode(tail.mid(extraStart));

    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QStringView userInfo = authority.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        parts.userName = Decode(colon >= 0 ? userInfo.left(colon) : userInfo);
        parts.password = colon >= 0 ? Decode(userInfo.mid(colon + 1)) : QString();
        authority = authority.mid(at + 1);
    }
    QStringView hostText = authority;
    QStringView portText;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0) {
            return std::nullopt;
        }
        hostText = authority.mid(1, close - 1);
        const QStringView after = authority.mid(close + 1);
        if (after.startsWith(u':')) {
            portText = after.mid(1);
        } else if (!after.isEmpty()) {
            return std::nullopt;
        }
    } else {
        const qsizetype colon = authority.lastIndexOf(u':');
        if (colon >= 0) {
            hostText = authority.left(colon);
            portText = authority.mid(colon + 1);
        }
    }
    parts.host = Decode(hostText);
    parts.port = DefaultPort(parts.scheme);
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 0 || port > 65535) {
            return std::nullopt;
        }
        parts.port = port;
    }
    if (parts.host.size() > UrlLimits::Host || parts.userName.size() > UrlLimits::UserName ||
        parts.password.size() > UrlLimits::Password || parts.path.size() > UrlLimits::Path ||
        parts.extra.size() > UrlLimits::Extra) {
        return std::nullopt;
    }
    return parts;
}

QString EscapeExtra(const QString& extra) {
    return Escape(extra, NeedsEscapeInExtra);
}

QString RequestObject(const UrlParts& parts) {
    const QString path = parts.path.isEmpty() ? QStringLiteral("/") : parts.path;
    return Escape(path, NeedsEscapeInPath) + EscapeExtra(parts.extra);
}

QString ServiceURL(const UrlParts& parts) {
    QString host = Escape(parts.host, NeedsEscapeInPath);
    if (host.contains(u':')) {
        host = u'[' + host + u']';
    }
    QString url = parts.scheme + QStringLiteral("://") + host;
    if (parts.port != 0) {
        url += u':' + QString::number(parts.port);
    }
    return url + RequestObject(parts);
}

QString HostOfURL(const QString& url) {
    const auto parts = SplitURL(WithScheme(url));
    return parts ? parts->host : QString();
}

QString FileNameOfURL(const QString& url) {
    const auto parts = SplitURL(WithScheme(url));
    if (!parts) {
        return QString();
    }
    QString path = parts->path;
    path.replace(u'/', u'\\');
    return path.mid(path.lastIndexOf(u'\\') + 1);
}
