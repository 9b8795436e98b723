#include "StandinServer.h"

StandinServer::StandinServer(StandinConnection::Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

StandinServer::~StandinServer()
{
    shutdown();
}

quint16 StandinServer::listen(quint16 port, QString* error)
{
    if (!m_tcp) {
        m_tcp = new QTcpServer(this);
        connect(m_tcp, &QTcpServer::newConnection, this, &StandinServer::onNewConnection);
    }
    if (!m_tcp->listen(QHostAddress::LocalHost, port)) {
        if (error)
            *error = m_tcp->errorString();
        return 0;
    }
    return m_tcp->serverPort();
}

void StandinServer::shutdown()
{
    if (m_tcp)
        m_tcp->close();
    const QList<StandinConnection*> connections = m_connections;
    m_connections.clear();
    for (StandinConnection* c : connections) {
        c->disconnect(this);
        c->closeNow();
        delete c;
    }
}

void StandinServer::releaseStalled()
{
    const QList<StandinConnection*> connections = m_connections;
    for (StandinConnection* c : connections) {
        if (m_connections.contains(c))
            c->releaseStall();
    }
}

int StandinServer::stalledCount() const
{
    int count = 0;
    for (const StandinConnection* c : m_connections) {
        if (c->isStalled())
            ++count;
    }
    return count;
}

void StandinServer::onNewConnection()
{
    while (QTcpSocket* socket = m_tcp->nextPendingConnection()) {
        auto* connection = new StandinConnection(socket, m_handler, m_maxBodySize, this);
        m_connections.append(connection);
        connect(connection, &StandinConnection::closed, this, [this](StandinConnection* c) {
            if (m_connections.removeOne(c))
                c->deleteLater();
        });
    }
}
