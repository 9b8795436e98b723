#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <cstdio>

namespace {

const QByteArray RaiseMessage = QByteArrayLiteral("raise\n");
constexpr int ConnectTimeoutMs = 2000;
// Longer than the one message there is.
constexpr qint64 MaximumMessageBytes = 64;

void printInstanceLine(const QString& text)
{
    std::fputs(qUtf8Printable(text + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_dataFolder(QDir(dataFolder).absolutePath())
{
}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
    }
    // Before the members go: a socket closed later would still count itself off.
    for (QLocalSocket* socket : findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
        delete socket;
    }
}

QString SingleInstance::serverName() const
{
    // Socket names are short and global to the user: name the folder by a digest of its path.
    const QByteArray digest =
        QCryptographicHash::hash(m_dataFolder.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("penhollow-") + QString::fromLatin1(digest);
}

bool SingleInstance::acquire()
{
    if (m_owner) {
        return true;
    }
    QDir().mkpath(m_dataFolder);
    m_lock = std::make_unique<QLockFile>(QDir(m_dataFolder).filePath(QStringLiteral("penhollow.lock")));
    // A lock left by a process that died is taken over at once.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(100)) {
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_lockFileUnusable = true;
            printInstanceLine(QStringLiteral("SingleInstance - cannot make the lock file in ") +
                              m_dataFolder);
            return false;
        }
        if (!notifyOwner()) {
            printInstanceLine(
                QStringLiteral("SingleInstance - the data folder is in use by another Penhollow"));
        }
        return false;
    }
    m_owner = true;
    if (!listen()) {
        printInstanceLine(QStringLiteral("SingleInstance - cannot listen for other launches"));
    }
    return true;
}

bool SingleInstance::notifyOwner() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        return false;
    }
    socket.write(RaiseMessage);
    const bool written = socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket of that name is a leftover of a crash.
    QLocalServer::removeServer(serverName());
    if (!m_server->listen(serverName())) {
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            if (m_connections >= maximumConnections) {
                // Busy: closed at once, so held connections never pile up.
                socket->abort();
                delete socket;
                continue;
            }
            serve(socket);
        }
    });
    return true;
}

void SingleInstance::serve(QLocalSocket* socket)
{
    ++m_connections;
    socket->setParent(this);
    socket->setReadBufferSize(MaximumMessageBytes);
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    auto done = [this, socket] {
        // Once per socket, whichever comes first: the message, its end, the time-out or an error.
        if (socket->property("done").toBool()) {
            return;
        }
        socket->setProperty("done", true);
        --m_connections;
        socket->abort();
        socket->deleteLater();
    };
    connect(timer, &QTimer::timeout, socket, done);
    connect(socket, &QLocalSocket::disconnected, socket, done);
    connect(socket, &QLocalSocket::errorOccurred, socket, done);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, done] {
        const QByteArray received =
            socket->property("received").toByteArray() + socket->read(MaximumMessageBytes);
        socket->setProperty("received", received);
        if (received == RaiseMessage) {
            done();
            Q_EMIT raiseRequested();
        } else if (!RaiseMessage.startsWith(received)) {
            done();
        }
    });
    timer->start(messageTimeoutMs);
}
