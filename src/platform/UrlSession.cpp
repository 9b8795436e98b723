#include "UrlSession.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <mutex>

namespace {

// Owns the one QNetworkAccessManager; it is made and destroyed on the thread it serves.
class NetworkThread final : public QThread
{
public:
    QNetworkAccessManager* manager = nullptr;
    QSemaphore ready;

protected:
    void run() override
    {
        QNetworkAccessManager networkManager;
        manager = &networkManager;
        ready.release();
        exec();
        manager = nullptr;
    }
};

class NetworkHost
{
public:
    ~NetworkHost() { stop(); }

    QNetworkAccessManager* manager()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread) {
            m_thread = std::make_unique<NetworkThread>();
            m_thread->setObjectName(QStringLiteral("network"));
            m_thread->start();
            m_thread->ready.acquire();
            // Stop with the application object, before the statics go.
            if (QCoreApplication::instance() && !m_postRoutineAdded) {
                m_postRoutineAdded = true;
                qAddPostRoutine([] { NetworkHost::instance().stop(); });
            }
        }
        return m_thread->manager;
    }

    QThread* thread()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_thread.get();
    }

    void stop()
    {
        std::unique_ptr<NetworkThread> thread;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            thread = std::move(m_thread);
            m_postRoutineAdded = false;
        }
        if (thread) {
            thread->quit();
            thread->wait();
        }
    }

    static NetworkHost& instance()
    {
        static NetworkHost host;
        return host;
    }

private:
    std::mutex m_mutex;
    std::unique_ptr<NetworkThread> m_thread;
    bool m_postRoutineAdded = false;
};

} // namespace

struct UrlSession::Task::State
{
    std::mutex mutex;
    bool resumed = false;
    bool completed = false;
    bool cancelRequested = false;
    UrlSession::Request request;
    UrlSession::CompletionHandler completion;
    int timeoutMilliseconds = 60000;

    // Touched on the network thread only.
    QNetworkReply* reply = nullptr;
    enum class Abort
    {
        None,
        Cancelled,
        TimedOut,
        TooLarge
    } abort = Abort::None;
    int statusCode = 0;

    void complete(std::optional<QByteArray> body, std::optional<QString> error)
    {
        UrlSession::Reply reply;
        reply.body = std::move(body);
        reply.error = std::move(error);
        complete(std::move(reply));
    }

    void complete(UrlSession::Reply reply)
    {
        UrlSession::CompletionHandler handler;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (completed) {
                return;
            }
            completed = true;
            handler = std::move(completion);
            completion = nullptr;
        }
        if (handler) {
            handler(std::move(reply));
        }
    }
};

namespace {

using State = UrlSession::Task::State;

// A body that is read from its start once only: the network stack sends a request again by reading its
// body again from the start, which this refuses.
class SendOnceBody final : public QIODevice
{
public:
    explicit SendOnceBody(QByteArray data, QObject* parent) : QIODevice(parent), m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_data.size(); }
    bool seek(qint64 position) override { return position >= pos() && QIODevice::seek(position); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = qMin(maxSize, qint64(m_data.size()) - pos());
        if (count <= 0) {
            return 0;
        }
        std::memcpy(data, m_data.constData() + pos(), size_t(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
};

QNetworkReply* send(QNetworkAccessManager& manager, const State& state)
{
    const UrlSession::Request& request = state.request;
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    networkRequest.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    networkRequest.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    for (const auto& [field, value] : request.headerFields) {
        networkRequest.setRawHeader(field, value);
    }
    const QByteArray method = request.method.toUpper();
    if (method == "GET") {
        return manager.get(networkRequest);
    }
    if (method == "POST" && request.sendOnce) {
        auto* body = new SendOnceBody(request.body, nullptr);
        QNetworkReply* reply = manager.post(networkRequest, body);
        body->setParent(reply);
        return reply;
    }
    if (method == "POST") {
        return manager.post(networkRequest, request.body);
    }
    if (method == "PUT") {
        return manager.put(networkRequest, request.body);
    }
    if (method == "DELETE" && request.body.isEmpty()) {
        return manager.deleteResource(networkRequest);
    }
    if (method == "HEAD") {
        return manager.head(networkRequest);
    }
    return manager.sendCustomRequest(networkRequest, method, request.body);
}

UrlSession::Reply refusedForSize(const State& state, int statusCode)
{
    UrlSession::Reply refused;
    refused.error = UrlSession::tooLargeDescription(state.request.maximumBodySize);
    refused.statusCode = statusCode;
    refused.tooLarge = true;
    return refused;
}

void finish(const std::shared_ptr<State>& state, QNetworkReply* reply)
{
    state->reply = nullptr;
    reply->deleteLater();
    switch (state->abort) {
    case State::Abort::Cancelled:
        state->complete(std::nullopt, UrlSession::cancelledDescription());
        return;
    case State::Abort::TimedOut:
        state->complete(std::nullopt, UrlSession::timedOutDescription());
        return;
    case State::Abort::TooLarge:
        state->complete(refusedForSize(*state, state->statusCode));
        return;
    case State::Abort::None:
        break;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply->error();
    // An HTTP status means the server answered: 404 or 500 are replies, not transport failures.
    // Network-level and proxy errors mean the reply is missing or cut short.
    const bool answered =
        status.isValid() && (error == QNetworkReply::NoError || error >= QNetworkReply::ContentAccessDenied);
    if (!answered) {
        state->complete(std::nullopt, reply->errorString());
        return;
    }
    if (reply->bytesAvailable() > state->request.maximumBodySize) {
        state->complete(refusedForSize(*state, status.toInt()));
        return;
    }
    UrlSession::Reply answer;
    answer.body = reply->readAll();
    answer.statusCode = status.toInt();
    answer.date = reply->rawHeader("Date");
    state->complete(std::move(answer));
}

// Ends the transfer once the announced or the received body passes the request's limit.
void refuseWhenTooLarge(const std::shared_ptr<State>& state, QNetworkReply* reply)
{
    if (state->reply != reply || state->abort != State::Abort::None) {
        return;
    }
    const qint64 limit = state->request.maximumBodySize;
    bool announcedOk = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&announcedOk);
    if ((announcedOk && announced > limit) || reply->bytesAvailable() > limit) {
        state->statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        state->abort = State::Abort::TooLarge;
        reply->abort();
    }
}

// Ends the task before it was sent. Started from Task::resume on the network thread, the handler
// runs later there, so a caller is never called back from inside resume().
void completeUnsent(const std::shared_ptr<State>& state, const QString& error, bool later)
{
    if (later) {
        UrlSession::runOnNetworkThread([state, error] { state->complete(std::nullopt, error); });
    } else {
        state->complete(std::nullopt, error);
    }
}

void start(const std::shared_ptr<State>& state, bool fromResume = false)
{
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->completed) {
            return;
        }
    }
    bool cancelled;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        cancelled = state->cancelRequested;
    }
    if (cancelled) {
        completeUnsent(state, UrlSession::cancelledDescription(), fromResume);
        return;
    }
    // A line break in a header would let a token or an id write headers of its own.
    for (const auto& [field, value] : state->request.headerFields) {
        if (field.contains('\r') || field.contains('\n') || value.contains('\r') || value.contains('\n')) {
            completeUnsent(state, QStringLiteral("Invalid header field"), fromResume);
            return;
        }
    }
    QNetworkAccessManager* manager = NetworkHost::instance().manager();
    QNetworkReply* reply = send(*manager, *state);
    state->reply = reply;
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, [state, reply] {
        if (state->reply == reply && state->abort == State::Abort::None) {
            state->abort = State::Abort::TimedOut;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply,
                     [state, reply] { refuseWhenTooLarge(state, reply); });
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
                     [state, reply] { refuseWhenTooLarge(state, reply); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [state, reply] { finish(state, reply); });
    timer->start(state->timeoutMilliseconds);
}

} // namespace

UrlSession::Task::Task(std::shared_ptr<State> state) : m_state(std::move(state)) {}

void UrlSession::Task::resume()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->resumed || m_state->completed) {
            return;
        }
        m_state->resumed = true;
    }
    std::shared_ptr<State> state = m_state;
    // On the network thread the request goes out now, so a completion handler can send the next
    // request before it reads its own reply.
    if (UrlSession::isNetworkThread()) {
        start(state, true);
        return;
    }
    UrlSession::runOnNetworkThread([state] { start(state); });
}

void UrlSession::Task::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->completed || m_state->cancelRequested) {
            return;
        }
        m_state->cancelRequested = true;
    }
    std::shared_ptr<State> state = m_state;
    UrlSession::runOnNetworkThread([state] {
        if (state->reply && state->abort == State::Abort::None) {
            state->abort = State::Abort::Cancelled;
            state->reply->abort();
        } else if (!state->reply) {
            // Not started, or never to be started: the handler still hears of it.
            state->complete(std::nullopt, UrlSession::cancelledDescription());
        }
    });
}

QString UrlSession::tooLargeDescription(qint64 maximumBodySize)
{
    return QStringLiteral("The reply is larger than %1 bytes.").arg(maximumBodySize);
}

bool UrlSession::Task::isCompleted() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->completed;
}

UrlSession::UrlSession(double timeoutInterval) : m_timeoutInterval(timeoutInterval) {}

std::shared_ptr<UrlSession::Task> UrlSession::dataTask(Request request, CompletionHandler completion) const
{
    auto state = std::make_shared<Task::State>();
    state->request = std::move(request);
    state->completion = std::move(completion);
    const double milliseconds = m_timeoutInterval * 1000.0;
    state->timeoutMilliseconds = milliseconds < 1.0     ? 1
                                 : milliseconds > 2.0e9 ? 2000000000
                                                        : int(milliseconds);
    return std::make_shared<Task>(std::move(state));
}

void UrlSession::runOnNetworkThread(std::function<void()> work)
{
    QNetworkAccessManager* manager = NetworkHost::instance().manager();
    QMetaObject::invokeMethod(manager, std::move(work), Qt::QueuedConnection);
}

bool UrlSession::isNetworkThread()
{
    QThread* thread = NetworkHost::instance().thread();
    return thread && QThread::currentThread() == thread;
}
