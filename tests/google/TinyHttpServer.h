#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <memory>

// Answers every request with one fixed reply, on its own thread: for reply shapes the stand-in never sends.
class TinyHttpServer
{
public:
    explicit TinyHttpServer(QByteArray body, QByteArray status = "200 OK")
        : m_reply("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body)
    {
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server = std::make_unique<QTcpServer>();
                m_server->listen(QHostAddress::LocalHost, 0);
                m_port = m_server->serverPort();
                QObject::connect(m_server.get(), &QTcpServer::newConnection, m_server.get(), [this] {
                    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                            m_received += socket->readAll();
                            if (m_received.contains("\r\n\r\n")) {
                                socket->write(m_reply);
                                socket->disconnectFromHost();
                            }
                        });
                    }
                });
            },
            Qt::BlockingQueuedConnection);
    }

    ~TinyHttpServer()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // Everything received so far, requests one after another.
    QByteArray received()
    {
        QByteArray copy;
        QMetaObject::invokeMethod(
            &m_context, [this, &copy] { copy = m_received; }, Qt::BlockingQueuedConnection);
        return copy;
    }

private:
    struct Context : QObject
    {
        explicit Context(QThread* thread) { moveToThread(thread); }
    };
    QThread m_thread;
    Context m_context{&m_thread};
    QByteArray m_reply;
    QByteArray m_received;
    std::unique_ptr<QTcpServer> m_server;
    quint16 m_port = 0;
};
