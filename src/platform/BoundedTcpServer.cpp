#include "BoundedTcpServer.h"

#include <QTcpSocket>

BoundedTcpServer::BoundedTcpServer(qint64 readBufferSize, QObject* parent)
    : QTcpServer(parent), m_readBufferSize(readBufferSize)
{
}

void BoundedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    socket->setReadBufferSize(m_readBufferSize);
    socket->setSocketDescriptor(descriptor);
    addPendingConnection(socket);
}
