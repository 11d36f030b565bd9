#include "update/HttpClient.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <chrono>
#include <exception>

#include "platform/CheckedFile.h"
#include "platform/FileAttributes.h"
#include "platform/HttpService.h"
#include "platform/OutsideFile.h"
#include "update/HttpDate.h"
#include "update/HttpUrl.h"

namespace {

qint64 NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QDateTime LocalDate(const QByteArray& text) {
    const QDateTime date = ParseHTTPDate(QString::fromLatin1(text));
    return date.isValid() ? date.toLocalTime() : date;
}

// Text that came out of the URL one character per byte, back as the UTF-8 it was.
QString FromUrlBytes(const QString& text) {
    return QString::fromUtf8(text.toLatin1());
}

} // namespace

struct HttpClient::SyncCall {
    bool running = false;
    bool done = false;
    bool cancelled = false;
};

class HttpClient::Exchange : public platform::HttpExchange {
public:
    explicit Exchange(HttpClient& owner) : owner_(owner) {}

    platform::HeadVerdict OnHead(const platform::HttpResponseHead& head) override {
        return owner_.OnHead(head.status, head.rawHeaders, *this) ? platform::HeadVerdict::ReadBody
                                                                  : platform::HeadVerdict::Stop;
    }
    bool OnBody(const char* data, qsizetype size) override {
        return !owner_.StopSeen() && owner_.AppendBlock(data, size);
    }
    bool StopRequested() override { return owner_.StopSeen(); }

    bool retry = false;
    bool proxyRetry = false;
    QString proxyUsername;
    QString proxyPassword;

private:
    HttpClient& owner_;
};

HttpClient::HttpClient(QObject* parent) : QObject(parent) {}

HttpClient::~HttpClient() {
    if (worker_) {
        stop_ = true;
        { std::lock_guard lock(syncMutex_); }
        syncDone_.notify_all();
        worker_->wait();
        worker_.reset();
    }
    ReleaseOutput(false);
}

bool HttpClient::StartTransfer(const QString& url, const QString& outputFileName) {
    if (active_) {
        return false;
    }
    JoinWorker();
    URL = url;
    OutputFileName = outputFileName;
    state_ = TransferState();
    memory_.clear();
    memoryOutput_ = false;
    file_.reset();
    filePath_.clear();
    outputOpened_ = false;
    outputFailed_ = false;
    localFile_.reset();
    stop_ = false;
    deletePartial_ = false;
    busy_ = true;
    active_ = true;
    const quint64 generation = ++generation_;
    worker_.reset(QThread::create([this, generation] { RunWorker(generation); }));
    workerRunning_ = true;
    worker_->start(ThreadPriority);
    return true;
}

void HttpClient::StopTransfer(bool deletePartialFile, bool immediately) {
    if (!workerRunning_) {
        return;
    }
    deletePartial_ = deletePartialFile;
    stop_ = true;
    { std::lock_guard lock(syncMutex_); }
    syncDone_.notify_all();
    // From inside a handler the worker we would join is waiting for that very handler.
    if (!immediately || inHandler_) {
        return;
    }
    JoinWorker();
    ++generation_; // the worker's own stop notice is now stale
    localFile_.reset();
    ReleaseOutput(deletePartialFile && outputOpened_);
    busy_ = false;
    active_ = false;
    if (AbortedHandler) {
        AbortedHandler();
    }
}

void HttpClient::JoinWorker() {
    if (worker_) {
        worker_->wait();
        worker_.reset();
    }
}

bool HttpClient::CallAndWait(const std::function<void()>& call) {
    auto sync = std::make_shared<SyncCall>();
    QMetaObject::invokeMethod(
        this,
        [this, sync, call] {
            {
                std::lock_guard lock(syncMutex_);
                if (sync->cancelled) {
                    return;
                }
                sync->running = true;
            }
            inHandler_ = true;
            try {
                call();
            } catch (...) {
                // A failing handler must not take the worker down with it.
            }
            inHandler_ = false;
            {
                std::lock_guard lock(syncMutex_);
                sync->done = true;
            }
            syncDone_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(syncMutex_);
    syncDone_.wait(lock, [&] { return sync->done || (stop_.load() && !sync->running); });
    if (!sync->done) {
        sync->cancelled = true;
        return false;
    }
    return true;
}

void HttpClient::RunWorker(quint64 generation) {
    try {
        WorkerSteps();
    } catch (...) {
        // The completion reports from the state reached.
    }
    localFile_.reset();
    bool success = state_.StatusCode == 200 || state_.StatusCode == 206;
    const bool outputExists = memoryOutput_ || outputOpened_;
    if (success && state_.ContentLength > 0 && outputExists) {
        success = state_.BytesRead == state_.ContentLength;
    }
    state_.Success = success;
    workerRunning_ = false;
    if (stop_) {
        QMetaObject::invokeMethod(
            this, [this, generation] { FinishStopped(generation); }, Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(
            this, [this, generation] { Complete(generation); }, Qt::QueuedConnection);
    }
}

void HttpClient::WorkerSteps() {
    startMs_ = NowMs();
    const int block = std::max(1, TransferBufferSize);
    const std::optional<UrlParts> parts = SplitURL(WithScheme(URL));
    if (!parts || StopSeen()) {
        return;
    }

    if (parts->scheme == QLatin1String("file")) {
        // A FIFO or a device there would hold the worker (and its stop) or give without end.
        localFile_ = std::make_unique<QFile>();
        const int fd = platform::OpenRegularFile(FromUrlBytes(parts->path));
        if (fd >= 0 && localFile_->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            state_.StatusCode = 200;
            state_.ContentLength = localFile_->size();
        } else {
            state_.StatusCode = 404;
            state_.ContentLength = 0;
        }
        if (StopSeen() || !OpenOutput()) {
            return;
        }
        QByteArray buffer(block, Qt::Uninitialized);
        while (!StopSeen() && localFile_->isOpen()) {
            const qint64 count = localFile_->read(buffer.data(), block);
            if (count <= 0 || !AppendBlock(buffer.constData(), count)) {
                break;
            }
        }
        return;
    }

    platform::HttpRequest request;
    request.url = ServiceURL(*parts).toLatin1();
    request.userAgent = UserAgent.toUtf8();
    request.headerLines.append("Accept: " + AcceptTypes.toUtf8());
    if (CacheOptions & HttpCacheOption::PragmaNoCache) {
        request.headerLines.append("Pragma: no-cache");
    }
    if (CacheOptions & (HttpCacheOption::AlwaysReload | HttpCacheOption::PragmaNoCache)) {
        request.headerLines.append("Cache-Control: no-cache");
    }
    if (!(ConnectionOptions & HttpConnectionOption::KeepConnection)) {
        request.headerLines.append("Connection: close");
    }
    if (!(ConnectionOptions & HttpConnectionOption::NoAuthentication)) {
        request.username = parts->userName.isEmpty() ? HTTPUsername : FromUrlBytes(parts->userName);
        request.password = parts->password.isEmpty() ? HTTPPassword : FromUrlBytes(parts->password);
    }
    switch (Proxy.Mode) {
    case ProxyMode::System:
        request.proxyMode = platform::HttpProxyMode::Preconfigured;
        break;
    case ProxyMode::Direct:
        request.proxyMode = platform::HttpProxyMode::Direct;
        break;
    case ProxyMode::Proxy:
        request.proxyMode = platform::HttpProxyMode::Named;
        request.proxy = (Proxy.ProxyServer + u':' + QString::number(Proxy.ProxyPort)).toUtf8();
        request.noProxy = NoProxyList(Proxy.ProxyBypass);
        request.proxyUsername = Proxy.ProxyUsername;
        request.proxyPassword = Proxy.ProxyPassword;
        break;
    }
    // A time-out of 0 is the system's value, never an endless wait.
    const auto orSystem = [](int value, int system) { return value > 0 ? value : system; };
    request.connectTimeoutMs = orSystem(Timeouts.ConnectTimeout, SystemTimeouts.ConnectTimeout);
    request.receiveTimeoutMs = orSystem(Timeouts.ReceiveTimeout, SystemTimeouts.ReceiveTimeout);
    request.sendTimeoutMs = orSystem(Timeouts.SendTimeout, SystemTimeouts.SendTimeout);
    request.floorBytesPerSecond = RateFloor.BytesPerSecond;
    request.floorWindowMs = RateFloor.WindowMs;
    request.followRedirects = !(ConnectionOptions & HttpConnectionOption::NoAutoRedirect);
    request.cookies = !(ConnectionOptions & HttpConnectionOption::NoCookies);
    request.verifyHost = !(ConnectionOptions & HttpConnectionOption::IgnoreCertificateInvalid);
    // libcurl checks a certificate's dates together with its authority.
    request.verifyPeer =
        !(ConnectionOptions & (HttpConnectionOption::IgnoreUnknownCertificateAuthority |
                               HttpConnectionOption::IgnoreCertificateDateInvalid));
    request.bufferSize = block;

    for (;;) {
        if (StopSeen()) {
            return;
        }
        Exchange exchange(*this);
        state_.Retry = false;
        platform::PerformGet(request, exchange);
        if (StopSeen()) {
            return;
        }
        if (exchange.retry) {
            request.username = HTTPUsername;
            request.password = HTTPPassword;
        } else if (exchange.proxyRetry) {
            request.proxyUsername = exchange.proxyUsername;
            request.proxyPassword = exchange.proxyPassword;
        } else {
            return;
        }
        // Another round: forget what the refused answer left behind.
        state_.StatusCode = -1;
        state_.ContentLength = 0;
    }
}

bool HttpClient::OnHead(int status, const QByteArray& rawHeaders, Exchange& exchange) {
    state_.StatusCode = status;
    if (StopSeen()) {
        return false;
    }
    if (status == 401 && PasswordHandler) {
        const QString realm =
            RealmOf(QString::fromLatin1(HeaderValue(rawHeaders, "WWW-Authenticate")));
        bool retry = false;
        if (!CallAndWait([&] { PasswordHandler(realm, retry); })) {
            return false;
        }
        state_.Retry = retry;
        if (retry) {
            exchange.retry = true;
            return false;
        }
    } else if (status == 407 && ProxyAuthenticationHandler) {
        QString user = Proxy.ProxyUsername;
        QString password = Proxy.ProxyPassword;
        bool tryAgain = false;
        if (!CallAndWait([&] { ProxyAuthenticationHandler(user, password, tryAgain); })) {
            return false;
        }
        state_.Retry = tryAgain;
        if (tryAgain) {
            exchange.proxyRetry = true;
            exchange.proxyUsername = user;
            exchange.proxyPassword = password;
            return false;
        }
    }
    if (StopSeen()) {
        return false;
    }
    state_.ContentType = QString::fromLatin1(HeaderValue(rawHeaders, "Content-Type"));
    state_.ContentLength = ContentLengthOf(rawHeaders);
    if (HeaderInfoHandler) {
        ResponseHead& info = state_.Headers;
        info.StatusCode = status;
        info.RawHeaders = QString::fromLatin1(rawHeaders.left(4096));
        info.ContentType = state_.ContentType;
        info.ContentLanguage = QString::fromLatin1(HeaderValue(rawHeaders, "Content-Language"));
        info.ContentEncoding = QString::fromLatin1(HeaderValue(rawHeaders, "Content-Encoding"));
        info.ContentLength = state_.ContentLength;
        info.Location = QString::fromLatin1(HeaderValue(rawHeaders, "Location"));
        info.Date = LocalDate(HeaderValue(rawHeaders, "Date"));
        info.LastModified = LocalDate(HeaderValue(rawHeaders, "Last-Modified"));
        info.Expires = LocalDate(HeaderValue(rawHeaders, "Expires"));
        info.ETag = QString::fromLatin1(HeaderValue(rawHeaders, "ETag"));
        bool continueTransfer = true;
        if (!CallAndWait([&] { HeaderInfoHandler(info, continueTransfer); })) {
            return false;
        }
        state_.Continue = continueTransfer;
        if (!continueTransfer) {
            return false;
        }
    }
    return !StopSeen() && OpenOutput();
}

bool HttpClient::OutputFails(const QString& message) {
    state_.OutputError = message;
    outputFailed_ = true;
    return false;
}

bool HttpClient::OpenOutput() {
    const bool wanted = state_.StatusCode == 200 || state_.StatusCode == 206;
    if (wanted && BodyLimit >= 0 && state_.ContentLength > BodyLimit) {
        state_.OverLimit = true;
        return OutputFails(OverLimitText());
    }
    if (wanted && !OutputFileName.isEmpty()) {
        namespace dos = platform::DosAttribute;
        const QString path = OutputFileName;
        const std::optional<quint32> former = platform::GetFileAttributes(path);
        // A hidden or read-only file would refuse to be replaced.
        if (former && (*former & (dos::Hidden | dos::ReadOnly))) {
            platform::SetFileAttributes(path, dos::Archive);
        }
        auto file = std::make_unique<platform::StreamFile>();
        // A file download goes to disk only: a body without a place there is a failure, not a
        // reason to hold it in memory.
        if (!file->Create(path)) {
            return OutputFails(file->ErrorText());
        }
        if (former) {
            platform::SetFileAttributes(path, *former);
        }
        if (IncompleteFileAttributes != dos::Archive) {
            platform::SetFileAttributes(path, IncompleteFileAttributes);
        }
        file_ = std::move(file);
        filePath_ = path;
        outputOpened_ = true;
        return true;
    }
    if (wanted && state_.ContentLength > MemoryLimit) {
        return OutputFails(TooLargeText());
    }
    memoryOutput_ = true;
    memory_.clear();
    if (state_.ContentLength > 0) {
        memory_.reserve(qsizetype(std::min(state_.ContentLength, MemoryLimit)));
    }
    return true;
}

QString HttpClient::TooLargeText() const {
    return QStringLiteral("The answer from %1 is larger than %2 bytes.").arg(URL).arg(MemoryLimit);
}

QString HttpClient::OverLimitText() const {
    return QStringLiteral("The answer from %1 is longer than %2 bytes.").arg(URL).arg(BodyLimit);
}

bool HttpClient::AppendBlock(const char* data, qsizetype size) {
    if (BodyLimit >= 0 && size > BodyLimit - state_.BytesRead &&
        (state_.StatusCode == 200 || state_.StatusCode == 206)) {
        state_.OverLimit = true;
        return OutputFails(OverLimitText());
    }
    if (file_) {
        // Every block must reach the file whole: a full disk fails the transfer.
        if (!file_->Write(data, size)) {
            return OutputFails(file_->ErrorText());
        }
    } else {
        const qint64 room = MemoryLimit - memory_.size();
        if (size > room) {
            if (state_.StatusCode == 200 || state_.StatusCode == 206) {
                return OutputFails(TooLargeText());
            }
            // An error answer's body is only told: its beginning is enough.
            memory_.append(data, qsizetype(std::max<qint64>(room, 0)));
            state_.BytesRead += std::max<qint64>(room, 0);
            return false;
        }
        memory_.append(data, size);
    }
    state_.BytesRead += size;
    if (ProgressHandler) {
        state_.Progress =
            ComputeProgress(state_.ContentLength, state_.BytesRead, NowMs() - startMs_);
        const QByteArray* output = file_ ? nullptr : &memory_;
        if (!CallAndWait([&] {
                ProgressHandler(state_.ContentType, state_.ContentLength, state_.BytesRead,
                                state_.Progress, output);
            })) {
            return false;
        }
    }
    return !StopSeen();
}

void HttpClient::CloseOutputFile() {
    if (!file_) {
        return;
    }
    file_->Close();
    file_.reset();
    if (IncompleteFileAttributes != platform::DosAttribute::Archive) {
        platform::SetFileAttributes(filePath_, IncompleteFileAttributes);
    }
}

void HttpClient::ReleaseOutput(bool deleteFile) {
    CloseOutputFile();
    if (deleteFile && !filePath_.isEmpty()) {
        platform::SetFileAttributes(filePath_, platform::DosAttribute::Archive);
        QFile::remove(filePath_);
    }
}

void HttpClient::Complete(quint64 generation) {
    if (generation != generation_) {
        return;
    }
    JoinWorker();
    localFile_.reset();
    busy_ = false;
    const TransferState& s = state_;
    const QByteArray* memory = memoryOutput_ ? &memory_ : nullptr;
    bool deleteFile = false;
    std::exception_ptr failure;
    try {
        if (s.Continue) {
            // The body is on disk whole, or the transfer failed: the file's sync, close and
            // size are checked before anyone hears of it as done.
            if (s.Success && file_ && !outputFailed_ && !file_->Finish()) {
                OutputFails(file_->ErrorText());
            }
            if (outputFailed_) {
                // A short or missing file is no download: the owner must hear of it.
                deleteFile = outputOpened_;
                if (OutputFailedHandler) {
                    OutputFailedHandler(s.OutputError);
                } else if (HttpErrorHandler) {
                    HttpErrorHandler(s.StatusCode, nullptr);
                }
            } else if (s.Success) {
                if (file_) {
                    CloseOutputFile();
                    if (CompleteFileAttributes != IncompleteFileAttributes) {
                        platform::SetFileAttributes(filePath_, CompleteFileAttributes);
                    }
                }
                if (DoneHandler) {
                    DoneHandler(s.ContentType, memory, s.BytesRead);
                }
            } else if (s.StatusCode == 200 || s.StatusCode == 206) {
                if (ConnectionLostHandler) {
                    ConnectionLostHandler(s.ContentType, memory, s.BytesRead, s.ContentLength);
                }
            } else if (s.StatusCode == -1) {
                if (HostUnreachableHandler) {
                    HostUnreachableHandler();
                }
            } else {
                deleteFile = outputOpened_;
                if (HttpErrorHandler) {
                    HttpErrorHandler(s.StatusCode, memory);
                }
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    ReleaseOutput(deleteFile);
    busy_ = false;
    active_ = false;
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (!s.Continue && SkippedHandler) {
        SkippedHandler();
    }
}

void HttpClient::FinishStopped(quint64 generation) {
    if (generation != generation_) {
        return;
    }
    JoinWorker();
    localFile_.reset();
    ReleaseOutput(deletePartial_ && outputOpened_);
    busy_ = false;
    active_ = false;
    if (AbortedHandler) {
        AbortedHandler();
    }
}
