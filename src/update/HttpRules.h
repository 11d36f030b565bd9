#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The HTTP client's small rules: progress figures, header values, the realm of a password
// request, the proxy bypass list and the service's status texts.

struct ProgressFigures {
    int percentDone = 0; // 0 to 100
    qint64 elapsedSeconds = 0;
    qint64 estimatedSecondsLeft = 0;
    float transferRate = 0; // kilobytes per second
};

// Figures after `bytesRead` (> 0) of `contentLength` (0: not announced) bytes, `elapsedMs`
// after the start. Without an announced length nothing is left to estimate: 0.
ProgressFigures ComputeProgress(qint64 contentLength, qint64 bytesRead, qint64 elapsedMs);

// The value of the first header `name` (any case) in raw header text, without surrounding
// blanks, at most 4096 bytes; empty when absent.
QByteArray HeaderValue(const QByteArray& rawHeaders, const QByteArray& name);

// The announced Content-Length; 0 when absent or unreadable.
qint64 ContentLengthOf(const QByteArray& rawHeaders);

// From a WWW-Authenticate value: the text after its first `="`, without the value's last
// character (the closing quote); empty when there is no `="`.
QString RealmOf(const QString& wwwAuthenticate);

// A bypass list written with ";" or blanks (as "127.0.0.1;") as libcurl's comma list.
QByteArray NoProxyList(const QString& bypass);

// Text of a status code of the HTTP service; "Unknown status" for codes it does not know.
QString StatusText(int code);
