#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

// A small HTTP server on 127.0.0.1 for web view tests: fixed replies per path, every request logged.
class LocalHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path with query, as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray& name) const;
        QByteArray path() const
        {
            return target.indexOf('?') < 0 ? target : target.left(target.indexOf('?'));
        }
    };

    explicit LocalHttpServer(QObject* parent = nullptr);
    bool start();
    QUrl baseUrl() const;
    QUrl url(const QString& pathWithQuery) const;

    // Replies to GET path (query ignored) with status 200, the body and extra header lines.
    void route(const QByteArray& path, const QByteArray& body, const QByteArray& contentType = "text/html",
               const QList<QByteArray>& extraHeaders = {});
    QList<Request> requests() const { return m_requests; }
    QList<Request> requestsFor(const QByteArray& path) const;

Q_SIGNALS:
    void requestReceived(const LocalHttpServer::Request& request);

private:
    struct Reply
    {
        QByteArray body;
        QByteArray contentType;
        QList<QByteArray> extraHeaders;
    };
    void onNewConnection();
    void serve(QTcpSocket* socket, const QByteArray& head);

    QTcpServer m_server;
    QHash<QByteArray, Reply> m_routes;
    QList<Request> m_requests;
};
