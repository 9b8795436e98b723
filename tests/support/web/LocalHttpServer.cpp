#include "LocalHttpServer.h"

#include <QTcpSocket>

QByteArray LocalHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0) {
            return h.second;
        }
    }
    return {};
}

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onNewConnection);
}

bool LocalHttpServer::start()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

QUrl LocalHttpServer::url(const QString& pathWithQuery) const
{
    return QUrl(baseUrl().toString() + pathWithQuery);
}

void LocalHttpServer::route(const QByteArray& path, const QByteArray& body, const QByteArray& contentType,
                            const QList<QByteArray>& extraHeaders)
{
    m_routes.insert(path, Reply{body, contentType, extraHeaders});
}

QList<LocalHttpServer::Request> LocalHttpServer::requestsFor(const QByteArray& path) const
{
    QList<Request> found;
    for (const auto& r : m_requests) {
        if (r.path() == path) {
            found.append(r);
        }
    }
    return found;
}

void LocalHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* buffer = new QByteArray;
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end >= 0) {
                const QByteArray head = buffer->left(end);
                buffer->clear();
                serve(socket, head);
            }
        });
    }
}

void LocalHttpServer::serve(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    }
    m_requests.append(request);
    Q_EMIT requestReceived(request);

    QByteArray response;
    const auto found = m_routes.constFind(request.path());
    if (found == m_routes.constEnd()) {
        response = "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
                   "Connection: close\r\n\r\nnot found";
    } else {
        response = "HTTP/1.1 200 OK\r\nContent-Type: " + found->contentType +
                   "\r\nContent-Length: " + QByteArray::number(found->body.size()) +
                   "\r\nCache-Control: no-store\r\nConnection: close\r\n";
        for (const QByteArray& extra : found->extraHeaders) {
            response += extra + "\r\n";
        }
        response += "\r\n" + found->body;
    }
    socket->write(response);
    socket->disconnectFromHost();
}
