#pragma once

#include <QTcpServer>

// A TCP server whose connections buffer at most a given number of incoming bytes from the moment they
// are accepted, so that one left waiting to be taken cannot fill memory with what its client sends.
class BoundedTcpServer : public QTcpServer
{
public:
    explicit BoundedTcpServer(qint64 readBufferSize, QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    qint64 m_readBufferSize;
};
