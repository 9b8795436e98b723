#include "StandinConnection.h"

#include "StandinDates.h"
#include "StandinErrors.h"

StandinConnection::StandinConnection(QTcpSocket* socket, Handler handler, qint64 maxBodySize, QObject* parent)
    : QObject(parent), m_socket(socket), m_handler(std::move(handler)), m_maxBodySize(maxBodySize)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &StandinConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &StandinConnection::onDisconnected);
    // Bytes that came with the connection are read once the owner has wired its signals.
    QMetaObject::invokeMethod(this, &StandinConnection::onReadyRead, Qt::QueuedConnection);
}

StandinConnection::~StandinConnection() = default;

void StandinConnection::onReadyRead()
{
    if (!m_socket || m_state == State::Closed)
        return;
    const QByteArray data = m_socket->readAll();
    if (m_state == State::Discarding) {
        // Oversize bodies are dropped as they arrive, never kept.
        const qint64 take = qMin<qint64>(m_bodyRemaining, data.size());
        m_bodyRemaining -= take;
        m_buffer.append(data.mid(take));
    } else {
        m_buffer.append(data);
    }
    // Requests queued behind a stalled one wait here; beyond what one request may take the client is cut
    // off rather than buffered without end.
    if (m_state == State::Stalled && m_buffer.size() > MaxHeadSize + m_maxBodySize) {
        closeNow();
        return;
    }
    process();
}

void StandinConnection::process()
{
    while (m_state != State::Stalled && m_state != State::Closed) {
        if (m_state == State::Discarding) {
            if (m_bodyRemaining > 0)
                return;
            dispatch(false);
            continue;
        }
        if (m_state == State::ReadingHead) {
            // Blank lines before a request line are allowed (RFC 9112, 2.2).
            while (m_buffer.startsWith("\r\n"))
                m_buffer.remove(0, 2);
            const int end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_buffer.size() > MaxHeadSize)
                    failAndClose(431, "Request header fields too large");
                return;
            }
            if (end > MaxHeadSize) {
                failAndClose(431, "Request header fields too large");
                return;
            }
            const QByteArray head = m_buffer.left(end);
            m_buffer.remove(0, end + 4);
            if (!parseHead(head))
                return;
            continue;
        }
        if (m_state == State::ReadingBody) {
            if (m_buffer.size() < m_bodyRemaining)
                return;
            m_current.body = m_buffer.left(m_bodyRemaining);
            m_buffer.remove(0, m_bodyRemaining);
            m_bodyRemaining = 0;
            dispatch(false);
        }
    }
}

bool StandinConnection::parseHead(const QByteArray& head)
{
    m_current = LoggedRequest();
    const QList<QByteArray> lines = head.split('\n');
    QByteArray requestLine = lines.value(0);
    if (requestLine.endsWith('\r'))
        requestLine.chop(1);
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || parts[1].isEmpty() || !parts[2].startsWith("HTTP/1.")) {
        failAndClose(400, "Malformed request line");
        return false;
    }
    m_current.method = parts[0];
    m_current.target = parts[1];
    const bool http10 = parts[2] == "HTTP/1.0";
    for (int i = 1; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const int colon = line.indexOf(':');
        if (colon <= 0 || line.startsWith(' ') || line.startsWith('\t')) {
            failAndClose(400, "Malformed header line");
            return false;
        }
        m_current.headers.append(qMakePair(line.left(colon), line.mid(colon + 1).trimmed()));
    }

    const QByteArray connection = m_current.header("Connection").toLower();
    m_keepAlive = http10 ? connection.contains("keep-alive") : !connection.contains("close");

    if (m_current.hasHeader("Transfer-Encoding")) {
        failAndClose(411, "Length Required");
        return false;
    }
    qint64 length = 0;
    if (m_current.hasHeader("Content-Length")) {
        bool ok = false;
        const QByteArray text = m_current.header("Content-Length");
        length = text.toLongLong(&ok);
        if (!ok || length < 0 || text.startsWith('+')) {
            failAndClose(400, "Invalid Content-Length");
            return false;
        }
    }
    const bool expectsContinue = m_current.header("Expect").toLower().contains("100-continue");
    if (length > m_maxBodySize) {
        m_current.bodyTooLarge = true;
        // A modest excess is read and dropped so the client still gets its answer; a huge one is not waited
        // for, nor is a body that the client holds back until it hears "100 Continue".
        if (expectsContinue || length > m_maxBodySize * 16 + 16 * 1024 * 1024) {
            m_keepAlive = false;
            m_state = State::ReadingHead;
            dispatch(false);
            return false;
        }
        const qint64 take = qMin<qint64>(length, m_buffer.size());
        m_buffer.remove(0, take);
        m_bodyRemaining = length - take;
        m_state = State::Discarding;
        return true;
    }
    if (expectsContinue && length > 0 && m_buffer.isEmpty())
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    m_bodyRemaining = length;
    m_state = State::ReadingBody;
    return true;
}

void StandinConnection::dispatch(bool replay)
{
    m_state = State::ReadingHead;
    const StandinResponse response = m_handler(m_current, replay);
    if (!m_socket) {
        m_state = State::Closed;
        return;
    }
    switch (response.action) {
    case StandinResponse::Action::Stall:
        m_state = State::Stalled;
        return;
    case StandinResponse::Action::CloseWithoutReply:
        closeNow();
        return;
    case StandinResponse::Action::Send:
        writeResponse(response);
        if (!m_keepAlive) {
            m_state = State::Closed;
            m_socket->disconnectFromHost();
        }
        return;
    }
}

void StandinConnection::releaseStall()
{
    if (m_state != State::Stalled)
        return;
    dispatch(true);
    process();
}

void StandinConnection::closeNow()
{
    m_state = State::Closed;
    if (m_socket) {
        m_socket->disconnectFromHost();
        if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
    }
    onDisconnected();
}

void StandinConnection::writeResponse(const StandinResponse& response)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                     StandinResponse::reasonPhrase(response.status) + "\r\n";
    for (const auto& h : response.headers) {
        if (h.first.compare("Content-Length", Qt::CaseInsensitive) == 0 ||
            h.first.compare("Connection", Qt::CaseInsensitive) == 0)
            continue;
        out += h.first + ": " + h.second + "\r\n";
    }
    // The service's clock, as every reply of the real one tells it.
    out += "Date: " + StandinDates::httpDate(QDateTime::currentDateTimeUtc()) + "\r\n";
    if (response.status != 204 && response.status != 304)
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += m_keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += "\r\n";
    if (response.status != 204 && response.status != 304 && m_current.method != "HEAD")
        out += response.body;
    m_socket->write(out);
}

void StandinConnection::failAndClose(int status, const QByteArray& message)
{
    m_keepAlive = false;
    if (m_socket) {
        StandinResponse r = StandinErrors::jsonError(status, status == 431 ? "headersTooLarge" : "badRequest",
                                                     QString::fromUtf8(message));
        writeResponse(r);
        m_socket->disconnectFromHost();
    }
    m_state = State::Closed;
}

void StandinConnection::onDisconnected()
{
    m_state = State::Closed;
    if (!m_closeSignalled) {
        m_closeSignalled = true;
        Q_EMIT closed(this);
    }
}
