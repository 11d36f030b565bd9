#include "update/HttpRules.h"

#include <QList>
#include <cmath>

namespace {

constexpr qsizetype HeaderTextLimit = 4096;

// Rounds halves to the even neighbour, as the client always has.
qint64 RoundHalfEven(double value) {
    return qint64(std::nearbyint(value));
}

} // namespace

ProgressFigures ComputeProgress(qint64 contentLength, qint64 bytesRead, qint64 elapsedMs) {
    ProgressFigures figures;
    figures.elapsedSeconds = elapsedMs / 1000;
    if (contentLength > 0 && bytesRead > 0) {
        const qint64 percent = RoundHalfEven(double(bytesRead) * 100.0 / double(contentLength));
        figures.percentDone = int(std::min<qint64>(percent, 100));
        figures.estimatedSecondsLeft = RoundHalfEven(double(contentLength) / double(bytesRead) *
                                                     double(figures.elapsedSeconds)) -
                                       figures.elapsedSeconds;
    }
    double rate = double(bytesRead) / 1024.0;
    if (figures.elapsedSeconds != 0) {
        rate /= double(figures.elapsedSeconds);
    }
    figures.transferRate = float(rate);
    return figures;
}

QByteArray HeaderValue(const QByteArray& rawHeaders, const QByteArray& name) {
    const QByteArray wanted = name.toLower();
    for (const QByteArray& line : rawHeaders.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.startsWith("HTTP/")) {
            continue;
        }
        if (line.left(colon).trimmed().toLower() == wanted) {
            return line.mid(colon + 1).trimmed().left(HeaderTextLimit);
        }
    }
    return QByteArray();
}

qint64 ContentLengthOf(const QByteArray& rawHeaders) {
    bool ok = false;
    const qint64 length = HeaderValue(rawHeaders, "Content-Length").toLongLong(&ok);
    return ok && length > 0 ? length : 0;
}

QString RealmOf(const QString& wwwAuthenticate) {
    const qsizetype at = wwwAuthenticate.indexOf(QLatin1String("=\""));
    if (at < 0) {
        return QString();
    }
    const QString after = wwwAuthenticate.mid(at + 2);
    return after.left(after.size() - 1);
}

QByteArray NoProxyList(const QString& bypass) {
    QList<QByteArray> hosts;
    for (const QString& entry :
         QString(bypass).replace(u';', u' ').split(u' ', Qt::SkipEmptyParts)) {
        hosts.append(entry.toUtf8());
    }
    return hosts.join(',');
}

QString StatusText(int code) {
    switch (code) {
    case 10:
        return QStringLiteral("Resolving name");
    case 11:
        return QStringLiteral("Name resolved");
    case 20:
        return QStringLiteral("Connecting to server");
    case 21:
        return QStringLiteral("Connected");
    case 30:
        return QStringLiteral("Sending Request");
    case 31:
        return QStringLiteral("Request sent");
    case 40:
        return QStringLiteral("Receiving response");
    case 41:
        return QStringLiteral("Response received");
    case 42:
        return QStringLiteral("CTL Response received");
    case 43:
        return QStringLiteral("Prefetch");
    case 50:
        return QStringLiteral("Closing connection");
    case 51:
        return QStringLiteral("Connection closed");
    case 60:
        return QStringLiteral("Handle created");
    case 70:
        return QStringLiteral("Handle closing");
    case 100:
        return QStringLiteral("Request complete");
    case 110:
        return QStringLiteral("Redirect");
    case 120:
        return QStringLiteral("Intermediate response");
    case 200:
        return QStringLiteral("State change");
    default:
        return QStringLiteral("Unknown status");
    }
}
