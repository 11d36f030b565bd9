#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One HTTP GET over the platform's HTTP service (libcurl), driven from the calling thread.
// The caller sees the head of the final answer before any of its body, takes the body piece by
// piece and can stop the exchange at any time, also while the server is silent.
namespace platform {

enum class HttpProxyMode {
    Preconfigured, // whatever the environment configures (http_proxy, no_proxy ...)
    Direct,        // never a proxy
    Named          // HttpRequest::proxy, bypassed for HttpRequest::noProxy
};

struct HttpRequest {
    QByteArray url; // complete and escaped: scheme://host:port/path?query
    QByteArray userAgent;
    QList<QByteArray> headerLines; // extra request header lines, "Name: value"
    QString username;              // empty: no credentials are sent
    QString password;
    HttpProxyMode proxyMode = HttpProxyMode::Preconfigured;
    QByteArray proxy;   // "host:port"
    QByteArray noProxy; // comma-separated host names that skip the proxy
    QString proxyUsername;
    QString proxyPassword;
    int connectTimeoutMs = 0; // 0: the service's own
    int receiveTimeoutMs = 0; // longest silence while receiving; 0: none
    int sendTimeoutMs = 0;    // longest stall while sending; 0: none
    // A floor under the rate: fewer than floorBytesPerSecond on average over floorWindowMs
    // (whole seconds) ends the exchange as a time-out. 0: none beyond the stall above.
    int floorBytesPerSecond = 0;
    int floorWindowMs = 0;
    bool followRedirects = true;
    bool cookies = true;
    bool verifyPeer = true; // the certificate's authority and dates
    bool verifyHost = true; // the name in the certificate
    int bufferSize = 4096;  // largest body piece handed over at once
};

struct HttpResponseHead {
    int status = -1;       // -1 until a status line has been read
    QByteArray rawHeaders; // status line and header lines of the final answer, CRLF each
};

enum class HeadVerdict { ReadBody, Stop };

class HttpExchange {
public:
    virtual ~HttpExchange() = default;
    // Once, when the final answer's head is complete; at the latest when the exchange ends.
    // Never called when no status line came.
    virtual HeadVerdict OnHead(const HttpResponseHead& head) = 0;
    // The next piece of the body, at most bufferSize bytes; false stops the exchange.
    virtual bool OnBody(const char* data, qsizetype size) = 0;
    // Polled throughout, at least once a second while the server is silent; true stops.
    virtual bool StopRequested() = 0;
};

struct HttpResult {
    bool headSeen = false;
    int status = -1;
    bool complete = false; // the body ended where the server ended it, without an error
    QString error;         // the service's text when not complete
};

// Runs the exchange to its end. Exceptions thrown by the exchange's calls travel on to the
// caller once the service is out of the way.
HttpResult PerformGet(const HttpRequest& request, HttpExchange& exchange);

} // namespace platform
