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
// Long enough for a page's request on a busy machine, short enough that idle clients do not linger.
constexpr int HeadTimeoutMs = 2000;

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
        if (m_connections.size() >= MaximumConnections && !m_idle.isEmpty()) {
            // The oldest connection that has not asked for a granted picture gives way: idle clients
            // cannot keep the page's own requests out.
            drop(m_idle.first());
        }
        if (m_connections.size() >= MaximumConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connections.append(socket);
        m_idle.append(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // The request must come whole in time; the answer, once written, goes at its own pace.
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, socket] { drop(socket); });
        timer->start(HeadTimeoutMs);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, head, timer] {
            head->append(socket->read(MaximumHeadBytes + 1 - head->size()));
            if (m_idle.contains(socket) && head->contains('\n')) {
                if (!asksGrantedPicture(head->left(head->indexOf('\n')))) {
                    drop(socket);
                    return;
                }
                m_idle.removeOne(socket);
            }
            if (head->contains("\r\n\r\n")) {
                timer->stop();
                QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                answer(socket, *head);
            } else if (head->size() > MaximumHeadBytes) {
                drop(socket);
            }
        });
    }
}

void LocalPictureServer::forget(QTcpSocket* socket)
{
    m_connections.removeOne(socket);
    m_idle.removeOne(socket);
}

void LocalPictureServer::drop(QTcpSocket* socket)
{
    forget(socket);
    socket->abort();
    socket->deleteLater();
}

std::optional<QString> LocalPictureServer::grantedName(const QByteArray& requestLine) const
{
    // "GET /GRANT/NAME HTTP/1.1"
    const QList<QByteArray> request = requestLine.trimmed().split(' ');
    if (request.size() != 3 || request.at(0) != "GET" || !request.at(2).startsWith("HTTP/1.")) {
        return std::nullopt;
    }
    const QList<QByteArray> parts = request.at(1).split('/');
    if (parts.size() != 3 || !parts.at(0).isEmpty() || !m_grants.contains(QString::fromLatin1(parts.at(1)))) {
        return std::nullopt;
    }
    const QString name = QString::fromLatin1(parts.at(2));
    if (!m_grants.value(QString::fromLatin1(parts.at(1))).contains(name)) {
        return std::nullopt;
    }
    return name;
}

bool LocalPictureServer::asksGrantedPicture(const QByteArray& requestLine) const
{
    const QList<QByteArray> request = requestLine.trimmed().split(' ');
    const QList<QByteArray> parts = request.value(1).split('/');
    return request.size() == 3 && parts.size() == 3 && m_grants.contains(QString::fromLatin1(parts.at(1)));
}

void LocalPictureServer::answer(QTcpSocket* socket, const QByteArray& head)
{
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    bool corsRequest = false;
    QList<QByteArray> hosts;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed().toLower();
        corsRequest = corsRequest || line.startsWith("origin:");
        if (line.startsWith("host:")) {
            hosts.append(line.mid(5).trimmed());
        }
    }
    // Only our own name: a page that rebinds its name to 127.0.0.1 would be this server's origin.
    const QByteArray port = QByteArray::number(m_server.serverPort());
    const bool ownHost =
        hosts.size() == 1 && (hosts.first() == "127.0.0.1:" + port || hosts.first() == "localhost:" + port);
    std::optional<LocalPictures::Picture> picture;
    if (ownHost && !corsRequest) {
        if (const std::optional<QString> name = grantedName(lines.value(0))) {
            picture = LocalPictures::read(*name);
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
