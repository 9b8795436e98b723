#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <cstdio>

namespace {

const QByteArray RaiseMessage = QByteArrayLiteral("raise\n");
constexpr int ConnectTimeoutMs = 2000;

void printLine(const QString& text)
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
        if (!notifyOwner()) {
            printLine(QStringLiteral("SingleInstance - the data folder is in use by another Penhollow"));
        }
        return false;
    }
    m_owner = true;
    if (!listen()) {
        printLine(QStringLiteral("SingleInstance - cannot listen for other launches"));
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
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(RaiseMessage.trimmed())) {
                    Q_EMIT raiseRequested();
                }
            });
        }
    });
    return true;
}
