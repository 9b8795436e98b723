#pragma once

#include "StandinConnection.h"

#include <QList>
#include <QObject>
#include <QTcpServer>

#include <atomic>

// The listening socket and its connections. Lives on the stand-in's own thread.
class StandinServer : public QObject
{
    Q_OBJECT
public:
    explicit StandinServer(StandinConnection::Handler handler, QObject* parent = nullptr);
    ~StandinServer() override;

    // Listens on 127.0.0.1; the port actually bound, 0 on failure (error tells why).
    quint16 listen(quint16 port, QString* error);
    void shutdown();
    void releaseStalled();
    int stalledCount() const;
    void setMaxBodySize(qint64 bytes) { m_maxBodySize = bytes; }

private:
    void onNewConnection();

    StandinConnection::Handler m_handler;
    QTcpServer* m_tcp = nullptr;
    QList<StandinConnection*> m_connections;
    std::atomic<qint64> m_maxBodySize{32 * 1024 * 1024};
};
