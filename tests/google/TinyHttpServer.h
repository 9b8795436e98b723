#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <memory>

// Answers requests with fixed replies, on its own thread: for reply shapes the stand-in never sends.
// Replies go out in the order given, one per request; the last one answers every request after it.
class TinyHttpServer
{
public:
    struct Reply
    {
        QByteArray body;
        QByteArray status = "200 OK";
    };

    explicit TinyHttpServer(QByteArray body, QByteArray status = "200 OK")
        : TinyHttpServer(QList<Reply>{{std::move(body), std::move(status)}})
    {
    }

    explicit TinyHttpServer(const QList<Reply>& replies)
    {
        for (const Reply& reply : replies) {
            m_replies.append(
                "HTTP/1.1 " + reply.status + "\r\nContent-Type: application/json\r\nContent-Length: " +
                QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" + reply.body);
        }
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server = std::make_unique<QTcpServer>();
                m_server->listen(QHostAddress::LocalHost, 0);
                m_port = m_server->serverPort();
                QObject::connect(m_server.get(), &QTcpServer::newConnection, m_server.get(), [this] {
                    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                        auto received = std::make_shared<QByteArray>();
                        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                            if (received->contains("\r\n\r\n")) {
                                return;
                            }
                            *received += socket->readAll();
                            if (received->contains("\r\n\r\n")) {
                                const int index = m_answered++;
                                socket->write(m_replies.at(std::min<qsizetype>(index, m_replies.size() - 1)));
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
    // How many requests were answered.
    int answered() const { return m_answered.load(); }

private:
    struct Context : QObject
    {
        explicit Context(QThread* thread) { moveToThread(thread); }
    };
    QThread m_thread;
    Context m_context{&m_thread};
    QList<QByteArray> m_replies;
    std::atomic<int> m_answered{0};
    std::unique_ptr<QTcpServer> m_server;
    quint16 m_port = 0;
};
