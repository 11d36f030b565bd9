#include "platform/HttpService.h"
#include "platform/LazyCurl.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

namespace platform {

namespace {

// The head of an answer is kept whole in memory: a server that sends header lines without end
// must not take the memory with them.
constexpr qsizetype LargestHead = 64 * 1024;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { lazycurl::global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const { lazycurl::easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { lazycurl::slist_free_all(list); }
};

struct Session {
    Session(HttpExchange& exchange, CURL* easy) : exchange(exchange), easy(easy) {}

    HttpExchange& exchange;
    CURL* easy = nullptr;
    qsizetype pieceSize = 4096;
    HttpResponseHead head;
    bool headSeen = false;
    bool stopped = false;
    bool headTooLarge = false;
    std::exception_ptr failure;

    // True when the body may be read.
    bool DeliverHead() {
        if (headSeen) {
            return !stopped;
        }
        headSeen = true;
        long code = 0;
        lazycurl::easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        head.status = code > 0 ? int(code) : -1;
        if (exchange.OnHead(head) == HeadVerdict::Stop) {
            stopped = true;
        }
        return !stopped;
    }
};

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto* session = static_cast<Session*>(user);
    const size_t bytes = size * count;
    const QByteArray line(data, qsizetype(bytes));
    // Every answer (a redirect, a "100 Continue") starts afresh: only the last one counts.
    if (line.startsWith("HTTP/")) {
        session->head.rawHeaders.clear();
    }
    if (session->head.rawHeaders.size() + line.size() > LargestHead) {
        session->headTooLarge = true;
        session->stopped = true;
        return 0;
    }
    session->head.rawHeaders += line;
    return bytes;
}

size_t OnBodyData(char* data, size_t size, size_t count, void* user) {
    auto* session = static_cast<Session*>(user);
    const size_t bytes = size * count;
    try {
        if (!session->DeliverHead()) {
            return 0;
        }
        for (size_t done = 0; done < bytes;) {
            const size_t piece = std::min(bytes - done, size_t(session->pieceSize));
            if (!session->exchange.OnBody(data + done, qsizetype(piece))) {
                session->stopped = true;
                return 0;
            }
            done += piece;
        }
    } catch (...) {
        session->failure = std::current_exception();
        session->stopped = true;
        return 0;
    }
    return bytes;
}

int OnTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* session = static_cast<Session*>(user);
    try {
        return session->exchange.StopRequested() ? 1 : 0;
    } catch (...) {
        session->failure = std::current_exception();
        return 1;
    }
}

QByteArray Utf8(const QString& text) {
    return text.toUtf8();
}

} // namespace

HttpResult PerformGet(const HttpRequest& request, HttpExchange& exchange) {
    GlobalInit();
    HttpResult result;
    std::unique_ptr<CURL, EasyDeleter> easy(lazycurl::easy_init());
    if (!easy) {
        result.error = QStringLiteral("The HTTP service could not be started.");
        return result;
    }
    CURL* e = easy.get();
    Session session(exchange, e);
    session.pieceSize = std::max(1, request.bufferSize);

    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const QByteArray& line : request.headerLines) {
        curl_slist* grown = lazycurl::slist_append(headers.get(), line.constData());
        if (grown == nullptr) {
            result.error = QStringLiteral("The request headers could not be added.");
            return result;
        }
        (void)headers.release();
        headers.reset(grown);
    }
    const QByteArray user = Utf8(request.username);
    const QByteArray password = Utf8(request.password);
    const QByteArray proxyUser = Utf8(request.proxyUsername);
    const QByteArray proxyPassword = Utf8(request.proxyPassword);

    lazycurl::easy_setopt(e, CURLOPT_URL, request.url.constData());
    lazycurl::easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    lazycurl::easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    lazycurl::easy_setopt(e, CURLOPT_NOSIGNAL, 1L); // we run on a worker thread
    lazycurl::easy_setopt(e, CURLOPT_HTTPGET, 1L);
    if (!request.userAgent.isEmpty()) {
        lazycurl::easy_setopt(e, CURLOPT_USERAGENT, request.userAgent.constData());
    }
    if (headers) {
        lazycurl::easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    }
    if (!user.isEmpty()) {
        lazycurl::easy_setopt(e, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        lazycurl::easy_setopt(e, CURLOPT_USERNAME, user.constData());
        lazycurl::easy_setopt(e, CURLOPT_PASSWORD, password.constData());
    }
    switch (request.proxyMode) {
    case HttpProxyMode::Preconfigured:
        break; // libcurl reads the proxy environment itself
    case HttpProxyMode::Direct:
        lazycurl::easy_setopt(e, CURLOPT_PROXY, "");
        break;
    case HttpProxyMode::Named:
        lazycurl::easy_setopt(e, CURLOPT_PROXY, request.proxy.constData());
        if (!request.noProxy.isEmpty()) {
            lazycurl::easy_setopt(e, CURLOPT_NOPROXY, request.noProxy.constData());
        }
        if (!proxyUser.isEmpty()) {
            lazycurl::easy_setopt(e, CURLOPT_PROXYAUTH, long(CURLAUTH_BASIC));
            lazycurl::easy_setopt(e, CURLOPT_PROXYUSERNAME, proxyUser.constData());
            lazycurl::easy_setopt(e, CURLOPT_PROXYPASSWORD, proxyPassword.constData());
        }
        break;
    }
    if (request.connectTimeoutMs > 0) {
        lazycurl::easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs));
    }
    // libcurl has no per-read time-out: a stall of that length at under one byte a second
    // ends the transfer instead.
    const int stallMs = std::max(request.receiveTimeoutMs, request.sendTimeoutMs);
    if (request.floorBytesPerSecond > 0 && request.floorWindowMs > 0) {
        // A stall is below any floor: the shorter of the two windows ends it.
        const int windowMs =
            stallMs > 0 ? std::min(stallMs, request.floorWindowMs) : request.floorWindowMs;
        lazycurl::easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, long(request.floorBytesPerSecond));
        lazycurl::easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long((windowMs + 999) / 1000));
    } else if (stallMs > 0) {
        lazycurl::easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        lazycurl::easy_setopt(e, CURLOPT_LOW_SPEED_TIME, long((stallMs + 999) / 1000));
    }
    lazycurl::easy_setopt(e, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    if (request.cookies) {
        lazycurl::easy_setopt(e, CURLOPT_COOKIEFILE, ""); // cookies kept for this transfer
    }
    lazycurl::easy_setopt(e, CURLOPT_SSL_VERIFYPEER, request.verifyPeer ? 1L : 0L);
    lazycurl::easy_setopt(e, CURLOPT_SSL_VERIFYHOST, request.verifyHost ? 2L : 0L);
    lazycurl::easy_setopt(e, CURLOPT_BUFFERSIZE,
                          long(std::clamp(request.bufferSize, 1024, 512 * 1024)));

    lazycurl::easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    lazycurl::easy_setopt(e, CURLOPT_HEADERDATA, &session);
    lazycurl::easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBodyData);
    lazycurl::easy_setopt(e, CURLOPT_WRITEDATA, &session);
    lazycurl::easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    lazycurl::easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
    lazycurl::easy_setopt(e, CURLOPT_XFERINFODATA, &session);

    const CURLcode code = lazycurl::easy_perform(e);
    if (session.failure) {
        std::rethrow_exception(session.failure);
    }
    // An answer without body (or one that broke off before its first byte) still has a head.
    long status = 0;
    lazycurl::easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (!session.headSeen && !session.headTooLarge && status > 0 && !exchange.StopRequested()) {
        session.DeliverHead();
    }
    result.headSeen = session.headSeen;
    result.status = session.headSeen ? session.head.status : -1;
    result.complete = code == CURLE_OK && !session.stopped;
    if (code != CURLE_OK) {
        result.error = QString::fromUtf8(lazycurl::easy_strerror(code));
    }
    return result;
}

} // namespace platform
