#include "LocalPictureServer.h"

#include "LocalPictures.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int MaximumConnections = 16;
constexpr qint64 MaximumHeadBytes = 8 * 1024;
constexpr int RequestTimeoutMs = 5000;

QString freshKey()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex());
}

QByteArray response(const QByteArray& status, const QByteArray& type, const QByteArray& body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n" +
           body;
}

} // namespace

LocalPictureServer& LocalPictureServer::instance()
{
    // Goes with the application object, while its event loop's sockets can still be closed.
    static QPointer<LocalPictureServer> server;
    if (!server) {
        server = new LocalPictureServer(QCoreApplication::instance());
    }
    return *server;
}

LocalPictureServer::LocalPictureServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LocalPictureServer::onNewConnection);
}

QString LocalPictureServer::openGrant()
{
    if (!m_server.isListening() && !m_server.listen(QHostAddress::LocalHost, 0)) {
        return QString();
    }
    const QString grant = freshKey();
    m_grants.insert(grant, {});
    return grant;
}

void LocalPictureServer::allow(const QString& grant, const QStringList& names)
{
    if (m_grants.contains(grant)) {
        m_grants[grant] = QSet<QString>(names.cbegin(), names.cend());
    }
}

void LocalPictureServer::closeGrant(const QString& grant)
{
    m_grants.remove(grant);
}

QString LocalPictureServer::addressBase(const QString& grant) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2/").arg(m_server.serverPort()).arg(grant);
}

void LocalPictureServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_open >= MaximumConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // The request must come whole in time; the answer, once written, goes at its own pace.
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        timer->start(RequestTimeoutMs);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head, timer] {
            head->append(socket->read(MaximumHeadBytes + 1 - head->size()));
            if (head->contains("\r\n\r\n")) {
                timer->stop();
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                answer(socket, *head);
            } else if (head->size() > MaximumHeadBytes) {
                socket->abort();
                socket->deleteLater();
            }
        });
    }
}

void LocalPictureServer::answer(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    bool corsRequest = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        corsRequest = corsRequest || lines.at(i).trimmed().toLower().startsWith("origin:");
    }
    std::optional<LocalPictures::Picture> picture;
    if (request.size() == 3 && request.at(0) == "GET" && !corsRequest) {
        const QList<QByteArray> parts = request.at(1).split('/');
        // "/GRANT/NAME"
        if (parts.size() == 3 && parts.at(0).isEmpty()) {
            const QString grant = QString::fromLatin1(parts.at(1));
            const QString name = QString::fromLatin1(parts.at(2));
            if (m_grants.value(grant).contains(name)) {
                picture = LocalPictures::read(name);
            }
        }
    }
    if (picture) {
        ++m_picturesServed;
        socket->write(response("200 OK", picture->mimeType, picture->data));
    } else {
        socket->write(response("404 Not Found", "text/plain", "Not found"));
    }
    socket->disconnectFromHost();
}
