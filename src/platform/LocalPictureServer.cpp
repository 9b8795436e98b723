#include "LocalPictureServer.h"

#include "LocalPictures.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

namespace {

constexpr std::size_t MaximumConnections = 16;
constexpr qint64 MaximumHeadBytes = 8 * 1024;
// Long enough for a page's request on a busy machine, short enough that idle clients do not linger.
constexpr int HeadTimeoutMs = 2000;
// A page takes the largest picture, 20 MB, in well under a second; this still allows 2 MB/s on a busy
// machine, and frees in time the place of a client that stopped reading when no newcomer needs it.
constexpr int AnswerTimeoutMs = 10000;
// A page takes an answer as it comes: one that has taken nothing for this long while a newcomer waits has
// stopped reading, and gives way.
constexpr qint64 StalledMs = 1000;
// At most about twice this much of a picture is held per connection.
constexpr qint64 PieceBytes = 64 * 1024;

QString freshKey()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex());
}

QByteArray responseHead(const QByteArray& status, const QByteArray& type, qint64 length)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
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

LocalPictureServer::LocalPictureServer(QObject* parent) : QObject(parent), m_server(MaximumHeadBytes + 1)
{
    // A connection left waiting stops the server taking more: the rest wait in the system's queue.
    m_server.setMaxPendingConnections(1);
    connect(&m_server, &QTcpServer::newConnection, this, &LocalPictureServer::admitPending);
    m_admit.setSingleShot(true);
    connect(&m_admit, &QTimer::timeout, this, &LocalPictureServer::admitPending);
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

void LocalPictureServer::admitPending()
{
    m_waiting = false;
    while (m_server.hasPendingConnections()) {
        if (m_connections.size() >= MaximumConnections && !makeRoom()) {
            // Every place holds a page's request that is moving: the newcomer waits until one is done or
            // stalls.
            qint64 quietest = 0;
            for (const auto& connection : m_connections) {
                quietest = std::max(quietest, connection->quiet.elapsed());
            }
            m_waiting = true;
            m_admit.start(int(std::max<qint64>(1, StalledMs - quietest)));
            return;
        }
        admit(m_server.nextPendingConnection());
    }
}

void LocalPictureServer::admit(QTcpSocket* socket)
{
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->quiet.start();
    // The request must come whole in time, and later its answer be taken whole in time.
    connection->deadline = new QTimer(socket);
    connection->deadline->setSingleShot(true);
    connect(connection->deadline, &QTimer::timeout, this, [this, socket] { drop(socket); });
    connection->deadline->start(HeadTimeoutMs);
    m_connections.push_back(std::move(connection));
    connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { onTaken(socket); });
    takeWhatArrived(socket);
}

bool LocalPictureServer::makeRoom()
{
    // The oldest client that has named no grant gives way, but only once what it sent is read: however
    // fast others connect, a page's request that has arrived is answered, not taken for silence.
    for (;;) {
        const auto stranger = std::find_if(m_connections.cbegin(), m_connections.cend(),
                                           [](const auto& connection) { return !connection->named; });
        if (stranger == m_connections.cend()) {
            break;
        }
        QTcpSocket* socket = (*stranger)->socket;
        takeWhatArrived(socket);
        if (m_connections.size() < MaximumConnections) {
            return true;
        }
        if (const Connection* connection = find(socket); connection && !connection->named) {
            drop(socket);
            return true;
        }
    }
    // Then the page's connection that has moved nothing for longest, once it has stalled, after it has
    // been given what has arrived and the chance to take what it can.
    std::vector<QTcpSocket*> sockets;
    for (const auto& connection : m_connections) {
        sockets.push_back(connection->socket);
    }
    for (QTcpSocket* socket : sockets) {
        if (const Connection* connection = find(socket); connection && connection->answering) {
            socket->flush();
        } else if (connection) {
            takeWhatArrived(socket);
        }
    }
    if (m_connections.size() < MaximumConnections) {
        return true;
    }
    const auto quietest =
        std::max_element(m_connections.cbegin(), m_connections.cend(), [](const auto& a, const auto& b) {
            return a->quiet.elapsed() < b->quiet.elapsed();
        });
    if ((*quietest)->quiet.elapsed() < StalledMs) {
        return false;
    }
    drop((*quietest)->socket);
    return true;
}

void LocalPictureServer::takeWhatArrived(QTcpSocket* socket)
{
    if (socket->bytesAvailable() > 0) {
        onReadyRead(socket);
    }
    pollfd descriptor{int(socket->socketDescriptor()), POLLIN, 0};
    if (find(socket) && descriptor.fd >= 0 && ::poll(&descriptor, 1, 0) == 1) {
        // Reads it now and says so, as the event loop would later.
        socket->waitForReadyRead(0);
    }
}

void LocalPictureServer::onReadyRead(QTcpSocket* socket)
{
    Connection* connection = find(socket);
    if (!connection || connection->answering) {
        return;
    }
    const QByteArray more = socket->read(MaximumHeadBytes + 1 - connection->head.size());
    if (more.isEmpty()) {
        return;
    }
    connection->quiet.restart();
    QByteArray& head = connection->head;
    head.append(more);
    if (!connection->named && head.contains('\n')) {
        if (!asksGrantedPicture(head.left(head.indexOf('\n')))) {
            drop(socket);
            return;
        }
        connection->named = true;
    }
    if (head.contains("\r\n\r\n")) {
        answer(*connection);
    } else if (head.size() > MaximumHeadBytes) {
        drop(socket);
    }
}

void LocalPictureServer::onTaken(QTcpSocket* socket)
{
    if (Connection* connection = find(socket)) {
        connection->quiet.restart();
        sendMore(*connection);
    }
}

void LocalPictureServer::forget(QTcpSocket* socket)
{
    const auto it = std::find_if(m_connections.cbegin(), m_connections.cend(),
                                 [socket](const auto& connection) { return connection->socket == socket; });
    if (it == m_connections.cend()) {
        return;
    }
    m_connections.erase(it);
    if (m_waiting) {
        m_admit.start(0);
    }
}

void LocalPictureServer::drop(QTcpSocket* socket)
{
    forget(socket);
    // What it was not yet given goes too: the system does not go on trying to deliver it.
    if (const qintptr descriptor = socket->socketDescriptor(); descriptor != -1) {
        const linger now{1, 0};
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &now, sizeof(now));
    }
    socket->abort();
    socket->deleteLater();
}

LocalPictureServer::Connection* LocalPictureServer::find(QTcpSocket* socket)
{
    const auto it = std::find_if(m_connections.cbegin(), m_connections.cend(),
                                 [socket](const auto& connection) { return connection->socket == socket; });
    return it == m_connections.cend() ? nullptr : it->get();
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

void LocalPictureServer::answer(Connection& connection)
{
    connection.answering = true;
    connection.deadline->start(AnswerTimeoutMs);
    const QByteArray& head = connection.head;
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
    std::optional<LocalPictures::OpenPicture> picture;
    if (ownHost && !corsRequest) {
        if (const std::optional<QString> name = grantedName(lines.value(0))) {
            picture = LocalPictures::open(*name);
        }
    }
    if (!picture) {
        const QByteArray notFound("Not found");
        connection.socket->write(responseHead("404 Not Found", "text/plain", notFound.size()) + notFound);
        connection.socket->disconnectFromHost();
        return;
    }
    ++m_picturesServed;
    connection.socket->write(responseHead("200 OK", picture->mimeType, picture->size));
    connection.file = std::move(picture->file);
    connection.left = picture->size;
    sendMore(connection);
}

void LocalPictureServer::sendMore(Connection& connection)
{
    QTcpSocket* socket = connection.socket;
    while (connection.left > 0 && socket->bytesToWrite() < PieceBytes) {
        const QByteArray piece = connection.file->read(std::min(connection.left, PieceBytes));
        if (piece.isEmpty()) {
            // The file got shorter since it was opened: the answer cannot be whole.
            drop(socket);
            return;
        }
        connection.left -= piece.size();
        socket->write(piece);
    }
    if (connection.file && connection.left == 0) {
        connection.file.reset();
        socket->disconnectFromHost();
    }
}
