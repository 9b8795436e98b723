#pragma once

#include "LoggedRequest.h"
#include "StandinResponse.h"

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <functional>

// One client connection: a small HTTP/1.1 reader (keep-alive, Content-Length bodies) and writer.
// Requests on one connection are answered strictly in order; a stalled request holds back the ones behind it
// (as many bytes of them as one request may take; more closes the connection).
class StandinConnection : public QObject
{
    Q_OBJECT
public:
    // replay is true when a stalled request is handled again after its release.
    using Handler = std::function<StandinResponse(const LoggedRequest& request, bool replay)>;

    StandinConnection(QTcpSocket* socket, Handler handler, qint64 maxBodySize, QObject* parent = nullptr);
    ~StandinConnection() override;

    bool isStalled() const { return m_state == State::Stalled; }
    void releaseStall();
    void closeNow();

    static constexpr int MaxHeadSize = 64 * 1024;

Q_SIGNALS:
    void closed(StandinConnection* connection);

private:
    enum class State
    {
        ReadingHead,
        ReadingBody,
        Discarding,
        Stalled,
        Closed,
    };

    void onReadyRead();
    void process();
    bool parseHead(const QByteArray& head);
    void dispatch(bool replay);
    void writeResponse(const StandinResponse& response);
    void failAndClose(int status, const QByteArray& message);
    void onDisconnected();

    QPointer<QTcpSocket> m_socket;
    Handler m_handler;
    qint64 m_maxBodySize;
    QByteArray m_buffer;
    State m_state = State::ReadingHead;
    LoggedRequest m_current;
    qint64 m_bodyRemaining = 0;
    bool m_keepAlive = true;
    bool m_closeSignalled = false;
};
