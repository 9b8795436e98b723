#include "QueuedWork.h"
#include "TestSupport.h"

#include "platform/UrlSession.h"

#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <atomic>

namespace {

// What one completion handler saw.
struct Outcome
{
    QMutex mutex;
    std::atomic<int> calls{0};
    std::optional<QByteArray> body;
    std::optional<QString> error;
    int statusCode = 0;
    bool tooLarge = false;
    bool onNetworkThread = false;

    UrlSession::CompletionHandler handler()
    {
        return [this](UrlSession::Reply reply) {
            QMutexLocker locker(&mutex);
            body = std::move(reply.body);
            error = std::move(reply.error);
            statusCode = reply.statusCode;
            tooLarge = reply.tooLarge;
            onNetworkThread = UrlSession::isNetworkThread();
            ++calls;
        };
    }
};

// Sends a GET and waits for its completion; false when none came.
bool getAndWait(Outcome& outcome, const QUrl& url)
{
    UrlSession::Request request;
    request.url = url;
    UrlSession(5).dataTask(request, outcome.handler())->resume();
    return QTest::qWaitFor([&] { return outcome.calls.load() > 0; }, 10000) && outcome.calls.load() == 1;
}

// A one-purpose HTTP server on the test's thread: records the raw request and answers as told.
class TinyServer : public QObject
{
public:
    enum class Mode
    {
        Answer,
        CloseWithoutReply,
        Silent
    };

    Mode mode = Mode::Answer;
    bool closeAfterReply = false;
    QByteArray reply;
    QByteArray lastRequest;
    int connections = 0;

    TinyServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
            }
        });
    }

    QUrl url(const QString& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }

private:
    void onData(QTcpSocket* socket)
    {
        m_buffer += socket->readAll();
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            return;
        }
        qsizetype length = 0;
        for (const QByteArray& line : m_buffer.left(headerEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(15).trimmed().toLongLong();
            }
        }
        if (m_buffer.size() < headerEnd + 4 + length) {
            return;
        }
        lastRequest = m_buffer.left(headerEnd + 4 + length);
        m_buffer.clear();
        switch (mode) {
        case Mode::Answer:
            socket->write(reply);
            socket->flush();
            if (closeAfterReply) {
                socket->disconnectFromHost();
            }
            break;
        case Mode::CloseWithoutReply:
            socket->abort();
            break;
        case Mode::Silent:
            break;
        }
    }

    QTcpServer m_server;
    QByteArray m_buffer;
};

QByteArray response(const QByteArray& status, const QByteArray& body)
{
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

class TestUrlSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testBodyArrivesOnNetworkThread()
    {
        TinyServer server;
        server.reply = response("200 OK", "hello");
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/a?b=1")));
        QCOMPARE(outcome.body.value(), QByteArray("hello"));
        QVERIFY(!outcome.error.has_value());
        QVERIFY(outcome.onNetworkThread);
    }

    void testNotFoundIsAReplyNotATransportError()
    {
        TinyServer server;
        server.reply = response("404 Not Found", "{\"error\":{}}");
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/missing")));
        QCOMPARE(outcome.body.value(), QByteArray("{\"error\":{}}"));
        QVERIFY(!outcome.error.has_value());
    }

    void testNoContentIsAnEmptyBody()
    {
        TinyServer server;
        server.reply = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        request.method = "DELETE";
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(outcome.body.has_value());
        QVERIFY(outcome.body->isEmpty());
        QVERIFY(!outcome.error.has_value());
    }

    void testServerErrorStatusIsAReply()
    {
        TinyServer server;
        server.reply = response("502 Bad Gateway", "<html>bad</html>");
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/x")));
        QCOMPARE(outcome.body.value(), QByteArray("<html>bad</html>"));
    }

    void testStatusReachesTheHandler_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("status");
        QTest::newRow("200") << response("200 OK", "x") << 200;
        QTest::newRow("201") << response("201 Created", "x") << 201;
        QTest::newRow("204") << QByteArray("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n") << 204;
        QTest::newRow("403") << response("403 Forbidden", "<errors/>") << 403;
        QTest::newRow("503") << response("503 Service Unavailable", "") << 503;
    }

    void testStatusReachesTheHandler()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, status);
        TinyServer server;
        server.reply = reply;
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/x")));
        QVERIFY(outcome.body.has_value());
        QCOMPARE(outcome.statusCode, status);
    }

    void testNoResponseHasNoStatus()
    {
        TinyServer server;
        server.mode = TinyServer::Mode::CloseWithoutReply;
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/x")));
        QCOMPARE(outcome.statusCode, 0);
    }

    void testBodyPastTheLimitIsRefused_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("closeAfterReply");
        const QByteArray body(1001, 'x');
        QTest::newRow("announced") << response("200 OK", body) << false;
        // No length: the body runs until the connection closes, so only counting can stop it.
        QTest::newRow("unannounced") << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body << true;
        QTest::newRow("error status") << response("500 Internal Server Error", body) << false;
    }

    void testBodyPastTheLimitIsRefused()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, closeAfterReply);
        TinyServer server;
        server.reply = reply;
        server.closeAfterReply = closeAfterReply;
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        request.maximumBodySize = 1000;
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        QVERIFY(outcome.tooLarge);
        QCOMPARE(outcome.error.value(), UrlSession::tooLargeDescription(1000));
    }

    void testBodyAtTheLimitArrivesWhole()
    {
        TinyServer server;
        server.reply = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(1000, 'x');
        server.closeAfterReply = true;
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        request.maximumBodySize = 1000;
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QCOMPARE(outcome.body.value(), QByteArray(1000, 'x'));
        QVERIFY(!outcome.tooLarge);
    }

    void testClosedConnectionGivesNoBody()
    {
        TinyServer server;
        server.mode = TinyServer::Mode::CloseWithoutReply;
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/x")));
        QVERIFY(!outcome.body.has_value());
        QVERIFY(outcome.error.has_value());
    }

    void testRequestThatMakesSomethingIsNeverSentASecondTime()
    {
        TinyServer server;
        server.mode = TinyServer::Mode::CloseWithoutReply;
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        request.method = "POST";
        request.body = "made once";
        request.sendOnce = true;
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        QVERIFY(server.lastRequest.endsWith("\r\n\r\nmade once"));
        QCOMPARE(server.connections, 1);
    }

    void testBodyCutShortGivesNoBody()
    {
        TinyServer server;
        // Promises 100 bytes, sends 11, then the connection goes: half a reply is no reply.
        server.reply = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<feed><entr";
        server.closeAfterReply = true;
        Outcome outcome;
        QVERIFY(getAndWait(outcome, server.url("/x")));
        QVERIFY(!outcome.body.has_value());
        QVERIFY(outcome.error.has_value());
    }

    void testRefusedConnectionGivesNoBody()
    {
        quint16 port;
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            port = probe.serverPort();
        }
        Outcome outcome;
        UrlSession::Request request;
        request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        QVERIFY(!outcome.error.value().isEmpty());
    }

    void testSilentServerTimesOut()
    {
        TinyServer server;
        server.mode = TinyServer::Mode::Silent;
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        UrlSession(0.2).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        QCOMPARE(outcome.error.value(), UrlSession::timedOutDescription());
    }

    void testCancelWhileWaitingGivesNoBodyOnce()
    {
        TinyServer server;
        server.mode = TinyServer::Mode::Silent;
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        std::shared_ptr<UrlSession::Task> task = UrlSession(30).dataTask(request, outcome.handler());
        task->resume();
        QTRY_VERIFY(!server.lastRequest.isEmpty());
        task->cancel();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        QCOMPARE(outcome.error.value(), UrlSession::cancelledDescription());
        task->cancel();
        task->resume();
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(outcome.calls.load(), 1);
        QVERIFY(task->isCompleted());
    }

    void testCancelBeforeResumeStillCompletesAndSendsNothing()
    {
        TinyServer server;
        server.reply = response("200 OK", "x");
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        std::shared_ptr<UrlSession::Task> task = UrlSession(5).dataTask(request, outcome.handler());
        task->cancel();
        task->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        // A request sent after it reaches the server: anything the cancelled one sent would have come first.
        Outcome later;
        UrlSession(5).dataTask(request, later.handler())->resume();
        QTRY_COMPARE(later.calls.load(), 1);
        QCOMPARE(server.connections, 1);
    }

    void testCancelAfterCompletionChangesNothing()
    {
        TinyServer server;
        server.reply = response("200 OK", "done");
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        std::shared_ptr<UrlSession::Task> task = UrlSession(5).dataTask(request, outcome.handler());
        task->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        task->cancel();
        QVERIFY(TestSupport::queuedWorkDone());
        QCOMPARE(outcome.calls.load(), 1);
        QCOMPARE(outcome.body.value(), QByteArray("done"));
    }

    void testHeadersGoOutInOrderOverHttp11()
    {
        TinyServer server;
        server.reply = response("200 OK", "ok");
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/feeds/1/posts/default?rand=5");
        request.method = "PUT";
        request.addValue("application/atom+xml", "Content-Type");
        request.addValue("2", "GData-Version");
        request.addValue("PUT", "X-HTTP-Method-Override");
        request.addValue("OAuth tok", "Authorization");
        request.body = "<entry/>";
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        const QByteArray raw = server.lastRequest;
        QVERIFY2(raw.startsWith("PUT /feeds/1/posts/default?rand=5 HTTP/1.1\r\n"), raw.constData());
        const qsizetype type = raw.indexOf("Content-Type: application/atom+xml\r\n");
        const qsizetype version = raw.indexOf("GData-Version: 2\r\n");
        const qsizetype override = raw.indexOf("X-HTTP-Method-Override: PUT\r\n");
        const qsizetype authorization = raw.indexOf("Authorization: OAuth tok\r\n");
        QVERIFY(type > 0 && type < version && version < override && override < authorization);
        QVERIFY(raw.endsWith("\r\n\r\n<entry/>"));
        QVERIFY(!raw.contains("Cookie"));
    }

    void testHeaderWithLineBreakIsNeverSent()
    {
        TinyServer server;
        server.reply = response("200 OK", "ok");
        Outcome outcome;
        UrlSession::Request request;
        request.url = server.url("/x");
        request.addValue("OAuth a\r\nX-Injected: 1", "Authorization");
        UrlSession(5).dataTask(request, outcome.handler())->resume();
        QTRY_COMPARE(outcome.calls.load(), 1);
        QVERIFY(!outcome.body.has_value());
        Outcome later;
        UrlSession::Request clean;
        clean.url = server.url("/x");
        UrlSession(5).dataTask(clean, later.handler())->resume();
        QTRY_COMPARE(later.calls.load(), 1);
        QCOMPARE(server.connections, 1);
        QVERIFY(!server.lastRequest.contains("X-Injected"));
    }
};

QTEST_GUILESS_MAIN(TestUrlSession)
#include "TestUrlSession.moc"
