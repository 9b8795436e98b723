#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

// Data tasks over HTTP/1.1 on one process-wide network thread.
// A completion handler runs once per task, on the network thread, with either the reply body
// (any HTTP status, possibly empty) and its status, or no body and the text of the failure
// (refused, reset, timed out, cancelled, or a body larger than the request allows).
class UrlSession
{
public:
    // Enough for a page of posts; a reply that is larger is refused rather than held in memory.
    static constexpr qint64 DefaultMaximumBodySize = 32 * 1024 * 1024;

    struct Request
    {
        QUrl url;
        QByteArray method = "GET";
        // Sent in this order, ahead of the transport's own fields.
        QList<std::pair<QByteArray, QByteArray>> headerFields;
        QByteArray body;
        // A reply body beyond this many bytes ends the task with no body.
        qint64 maximumBodySize = DefaultMaximumBodySize;
        // For a request that makes something (a post, a comment): a connection closed before the answer
        // ends the task, where the network stack would send the request again, since the first copy may
        // have arrived.
        bool sendOnce = false;

        void addValue(const QByteArray& value, const QByteArray& field)
        {
            headerFields.append({field, value});
        }
    };

    struct Reply
    {
        // None when no HTTP response arrived or its body was refused for its size.
        std::optional<QByteArray> body;
        std::optional<QString> error;
        // The HTTP status; 0 when no response arrived.
        int statusCode = 0;
        bool tooLarge = false;
        // The reply's Date header as it came; empty when there is none.
        QByteArray date;

        bool hasSuccessStatus() const { return statusCode >= 200 && statusCode <= 299; }
    };

    using CompletionHandler = std::function<void(Reply reply)>;

    class Task
    {
    public:
        struct State;
        explicit Task(std::shared_ptr<State> state);
        // Starts the transfer; later calls do nothing. Called on the network thread, the request is
        // sent before this returns; elsewhere it is sent after what is queued there. The completion
        // handler never runs inside this call.
        void resume();
        // Ends the task with no body, unless it has completed already.
        void cancel();
        bool isCompleted() const;

    private:
        std::shared_ptr<State> m_state;
    };

    // Transfer time-out in seconds: the whole exchange must end within it.
    explicit UrlSession(double timeoutInterval);

    std::shared_ptr<Task> dataTask(Request request, CompletionHandler completion) const;
    double timeoutInterval() const { return m_timeoutInterval; }

    // Runs work on the network thread, after what is already queued there.
    static void runOnNetworkThread(std::function<void()> work);
    static bool isNetworkThread();

    static QString timedOutDescription() { return QStringLiteral("The request timed out."); }
    static QString cancelledDescription() { return QStringLiteral("cancelled"); }
    static QString tooLargeDescription(qint64 maximumBodySize);

private:
    double m_timeoutInterval;
};
