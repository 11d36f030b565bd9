#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFlags>
#include <QObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/FileAttributes.h"
#include "update/HttpRules.h"

class QFile;

namespace platform {
class StreamFile;
}

// What a transfer asks of caches on the way. libcurl keeps no cache of its own, so both act
// on the request only: AlwaysReload asks every cache on the way to fetch anew
// (Cache-Control: no-cache), PragmaNoCache asks so old HTTP/1.0 caches too (Pragma as well).
enum class HttpCacheOption : unsigned {
    AlwaysReload = 1u << 0,
    PragmaNoCache = 1u << 1,
};
Q_DECLARE_FLAGS(HttpCacheOptions, HttpCacheOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(HttpCacheOptions)

// How the connection is made and which certificate faults are let through.
enum class HttpConnectionOption : unsigned {
    IgnoreCertificateInvalid = 1u << 0, // a certificate for another host name
    IgnoreCertificateDateInvalid = 1u << 1,
    IgnoreUnknownCertificateAuthority = 1u << 2,
    KeepConnection = 1u << 3,
    NoAuthentication = 1u << 4, // neither the URL's nor HTTPUsername's credentials are sent
    NoAutoRedirect = 1u << 5,
    NoCookies = 1u << 6,
};
Q_DECLARE_FLAGS(HttpConnectionOptions, HttpConnectionOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(HttpConnectionOptions)

// How the proxy is chosen: as the system is configured (the environment's http_proxy and
// no_proxy), none, or the one HttpProxy names.
enum class ProxyMode { System, Direct, Proxy };

struct HttpProxy {
    ProxyMode Mode = ProxyMode::System;
    int ProxyPort = 8080;
    QString ProxyServer;
    QString ProxyBypass = QStringLiteral("127.0.0.1;");
    QString ProxyUsername;
    QString ProxyPassword;
};

// Milliseconds; 0 leaves the system's value.
struct HttpTimeouts {
    int ConnectTimeout = 0;
    int ReceiveTimeout = 0;
    int SendTimeout = 0;
};

// What a time-out of 0 stands for: the values a system HTTP stack works with. A connection
// not made within a minute, or a minute without a byte while waiting for or receiving the
// answer, ends the transfer as a time-out.
inline constexpr HttpTimeouts DefaultHttpTimeouts{60000, 60000, 60000};

// Bytes per second and the window in milliseconds (whole seconds count); 0: no floor.
struct TransferRateFloor {
    int BytesPerSecond = 0;
    int WindowMs = 0;
};

// The response head as the header notification gets it. Dates are local; invalid when absent.
struct ResponseHead {
    int StatusCode = -1;
    QString RawHeaders;
    QString ContentType;
    QString ContentLanguage;
    QString ContentEncoding;
    qint64 ContentLength = 0;
    QString Location;
    QDateTime Date;
    QDateTime LastModified;
    QDateTime Expires;
    QString ETag;
};

struct TransferState {
    int StatusCode = -1;
    qint64 ContentLength = 0;
    qint64 BytesRead = 0;
    bool Success = false;
    bool Continue = true;
    bool Retry = false;
    QString ContentType;
    ResponseHead Headers;
    ProgressFigures Progress;
    QString OutputError;    // why the output could not take the body
    bool OverLimit = false; // the body was longer than BodyLimit
};

// Downloads one URL at a time on a worker thread of its own, into memory or into a file, and
// reports the head, the progress and the outcome through the handlers below, always on the
// thread that owns the object. The handlers marked "waits" hold the worker until they return.
class HttpClient : public QObject {
    Q_OBJECT

public:
    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override; // a running worker is stopped and joined first

    // Settings, read by the worker: change them only while no transfer is active.
    QString URL;
    QString OutputFileName; // empty: the body stays in memory
    QString AcceptTypes = QStringLiteral("text/html, */*");
    QString UserAgent = QStringLiteral("Quillon Varnholt/1.3.0.0");
    int TransferBufferSize = 4096;
    HttpCacheOptions CacheOptions;
    HttpConnectionOptions ConnectionOptions = HttpConnectionOption::KeepConnection;
    HttpProxy Proxy;
    HttpTimeouts Timeouts;
    QString HTTPUsername;
    QString HTTPPassword;
    // platform::DosAttribute bits of the output file while it is written, and once it is
    // complete. Plain Archive while written leaves the file as it was created.
    quint32 IncompleteFileAttributes =
        platform::DosAttribute::Archive | platform::DosAttribute::Temporary;
    quint32 CompleteFileAttributes = platform::DosAttribute::Archive;
    QThread::Priority ThreadPriority = QThread::NormalPriority;
    // Stands in for each time-out left at 0.
    HttpTimeouts SystemTimeouts = DefaultHttpTimeouts;
    // Largest body kept in memory. A larger answer of 200 or 206 fails (OutputFailedHandler);
    // the body of any other status is cut there. File outputs are written to disk only.
    qint64 MemoryLimit = 1024 * 1024;
    // The exact length a body of 200 or 206 may have at most, in memory or in a file: an
    // announced or received byte beyond it fails the transfer (OutputFailedHandler, with
    // State().OverLimit set), and nothing past it is read. -1: no limit beyond MemoryLimit.
    qint64 BodyLimit = -1;
    // A transfer slower than this on average over the window ends as a broken-off one.
    TransferRateFloor RateFloor;

    // Waits. Set `continueTransfer` false to skip the body.
    std::function<void(const ResponseHead& info, bool& continueTransfer)> HeaderInfoHandler;
    // Waits; after every block. `output` is the memory buffer, or null for a file.
    std::function<void(const QString& contentType, qint64 contentLength, qint64 bytesRead,
                       const ProgressFigures& figures, const QByteArray* output)>
        ProgressHandler;
    // `output` is the memory buffer, or null when the body went to the output file.
    std::function<void(const QString& contentType, const QByteArray* output, qint64 bytesRead)>
        DoneHandler;
    std::function<void(const QString& contentType, const QByteArray* output, qint64 bytesRead,
                       qint64 contentLength)>
        ConnectionLostHandler;
    std::function<void()> HostUnreachableHandler;
    std::function<void(int statusCode, const QByteArray* output)> HttpErrorHandler;
    // Waits; on a 401. Set `retry` to send again with HTTPUsername / HTTPPassword.
    std::function<void(const QString& realm, bool& retry)> PasswordHandler;
    // Waits; on a 407.
    std::function<void(QString& proxyUsername, QString& proxyPassword, bool& tryAgain)>
        ProxyAuthenticationHandler;
    std::function<void()> SkippedHandler;
    // The output could not take the body: the output file could not be created or written
    // whole (a full disk), or a body for memory is larger than MemoryLimit. The message says
    // which file and why. A file that was begun is deleted. Without this handler
    // HttpErrorHandler gets the status instead.
    std::function<void(const QString& message)> OutputFailedHandler;
    // The worker obeyed a stop: no other outcome follows.
    std::function<void()> AbortedHandler;

    // The outcome handlers above run while the transfer still counts as active, so a handler
    // that wants the next transfer starts it from a later turn of the event loop.

    // False, starting nothing, while a transfer is active.
    bool StartTransfer(const QString& url, const QString& outputFileName);
    // Nothing when no worker runs. Not immediately: the worker stops at its next check point
    // (within about a second even while the server is silent). Immediately: the worker is
    // stopped and joined here, and the output cleaned up before this returns.
    void StopTransfer(bool deletePartialFile, bool immediately);

    bool Busy() const { return busy_; }
    bool Active() const { return active_; }
    // Read it from a handler or once the transfer has ended, not while the worker runs.
    const TransferState& State() const { return state_; }
    const QByteArray& MemoryOutput() const { return memory_; }

private:
    struct SyncCall;
    class Exchange;
    friend class Exchange;

    void RunWorker(quint64 generation);
    void WorkerSteps();
    bool CallAndWait(const std::function<void()>& call);
    bool StopSeen() const { return stop_.load(); }
    bool OnHead(int status, const QByteArray& rawHeaders, Exchange& exchange);
    bool OpenOutput();
    bool AppendBlock(const char* data, qsizetype size);
    bool OutputFails(const QString& message);
    QString TooLargeText() const;
    QString OverLimitText() const;
    void Complete(quint64 generation);
    void FinishStopped(quint64 generation);
    void CloseOutputFile();
    void ReleaseOutput(bool deleteFile);
    void JoinWorker();

    TransferState state_;
    QByteArray memory_;
    bool memoryOutput_ = false;
    std::unique_ptr<platform::StreamFile> file_;
    QString filePath_;
    bool outputOpened_ = false;
    bool outputFailed_ = false;
    std::unique_ptr<QFile> localFile_; // the source of a "file" URL
    qint64 startMs_ = 0;

    std::unique_ptr<QThread> worker_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> deletePartial_{false};
    std::atomic<quint64> generation_{0};
    bool busy_ = false;
    bool active_ = false;
    bool inHandler_ = false; // a waited-for handler is running on the owner's thread

    std::mutex syncMutex_;
    std::condition_variable syncDone_;
};
