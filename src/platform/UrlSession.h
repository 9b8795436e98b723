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
// (any HTTP status, possibly empty) or no body and the text of the transport failure
// (refused, reset, timed out, cancelled).
class UrlSession
{
public:
    struct Request
    {
        QUrl url;
        QByteArray method = "GET";
        // Sent in this order, ahead of the transport's own fields.
        QList<std::pair<QByteArray, QByteArray>> headerFields;
        QByteArray body;

        void addValue(const QByteArray& value, const QByteArray& field)
        {
            headerFields.append({field, value});
        }
    };

    using CompletionHandler =
        std::function<void(std::optional<QByteArray> body, std::optional<QString> error)>;

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

private:
    double m_timeoutInterval;
};
