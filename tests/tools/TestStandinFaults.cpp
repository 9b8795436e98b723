#include "GoogleStandin.h"
#include "ReplyShape.h"
#include "StandinClient.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString TideBlog = QStringLiteral("4120843728710463922");
const QString LowTidePost = QStringLiteral("8816602137345629201");
const QByteArray UserInfo = "/oauth2/v1/userinfo";

bool isWellFormedXml(const QByteArray& text)
{
    QXmlStreamReader r(text);
    while (!r.atEnd())
        r.readNext();
    return !r.hasError();
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    Q_UNUSED(text)
    return !decoder.hasError();
}

// Reads one HTTP response from a raw socket: head and Content-Length body. Empty when the server closed
// first.
QByteArray readResponse(QTcpSocket& socket, QByteArray* buffer)
{
    for (;;) {
        const int end = buffer->indexOf("\r\n\r\n");
        if (end >= 0) {
            const QByteArray head = buffer->left(end);
            qsizetype length = 0;
            for (const QByteArray& line : head.split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            }
            if (buffer->size() >= end + 4 + length) {
                const QByteArray response = buffer->left(end + 4 + length);
                buffer->remove(0, end + 4 + length);
                return response;
            }
        }
        if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0)
            return {};
        if (!socket.waitForReadyRead(30000) && socket.bytesAvailable() == 0)
            return {};
        buffer->append(socket.readAll());
    }
}

int statusOf(const QByteArray& response)
{
    return response.mid(9, 3).toInt();
}

} // namespace

class TestStandinFaults : public QObject
{
    Q_OBJECT

private:
    GoogleStandin m_standin;
    std::unique_ptr<StandinClient> m_client;
    QString m_token;

    void connectRaw(QTcpSocket& socket)
    {
        socket.connectToHost(QHostAddress::LocalHost, m_standin.port());
        QVERIFY(socket.waitForConnected(30000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        m_standin.setMaxBodySize(4096);
        QVERIFY(m_standin.start(0) != 0);
        m_client = std::make_unique<StandinClient>(m_standin.serverUrl());
    }
    void init()
    {
        m_standin.reset();
        m_token = m_standin.issueAccessToken();
    }

    // ---- request log ----

    void testRequestLogKeepsHeadersInWireOrder()
    {
        QTcpSocket socket;
        connectRaw(socket);
        socket.write(
            "POST /oauth2/v3/token?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nZeta: 1\r\nalpha: two words \r\n"
            "X-Dup: a\r\nX-Dup: b\r\nContent-Length: 5\r\n\r\nhello");
        QByteArray buffer;
        QCOMPARE(statusOf(readResponse(socket, &buffer)), 401);
        const QList<LoggedRequest> log = m_standin.requests();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].method, QByteArray("POST"));
        QCOMPARE(log[0].target, QByteArray("/oauth2/v3/token?x=1"));
        QCOMPARE(log[0].body, QByteArray("hello"));
        const QList<QPair<QByteArray, QByteArray>> expected{
            qMakePair(QByteArray("Host"), QByteArray("127.0.0.1")),
            qMakePair(QByteArray("Zeta"), QByteArray("1")),
            qMakePair(QByteArray("alpha"), QByteArray("two words")),
            qMakePair(QByteArray("X-Dup"), QByteArray("a")),
            qMakePair(QByteArray("X-Dup"), QByteArray("b")),
            qMakePair(QByteArray("Content-Length"), QByteArray("5"))};
        QCOMPARE(log[0].headers, expected);
        QCOMPARE(log[0].header("x-dup"), QByteArray("a"));
    }

    void testRequestLoggedSignalAndFilter()
    {
        QSignalSpy spy(&m_standin, &GoogleStandin::requestLogged);
        m_client->get(QStringLiteral("/oauth2/v1/userinfo?rand=17"), m_token, false);
        m_client->get(QStringLiteral("/blogger/v3/users/self/blogs?rand=18"), m_token, false);
        QTRY_COMPARE(spy.count(), 2);
        const QList<LoggedRequest> filtered = m_standin.requests("GET", UserInfo);
        QCOMPARE(filtered.size(), 1);
        QCOMPARE(filtered[0].target, QByteArray("/oauth2/v1/userinfo?rand=17"));
        QCOMPARE(filtered[0].queryValue(QStringLiteral("rand")), QStringLiteral("17"));
        m_standin.clearRequests();
        QCOMPARE(m_standin.requestCount(), 0);
    }

    void testRequestLogLimitKeepsOnlyLatest()
    {
        GoogleStandin other;
        other.setRequestLogLimit(2);
        QVERIFY(other.start(0) != 0);
        StandinClient client(other.serverUrl());
        QSignalSpy spy(&other, &GoogleStandin::requestLogged);
        for (int i = 1; i <= 3; ++i)
            client.send("GET", QStringLiteral("/tidetables/?n=%1").arg(i));
        QTRY_COMPARE(spy.count(), 3);
        const QList<LoggedRequest> log = other.requests();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].target, QByteArray("/tidetables/?n=2"));
        QCOMPARE(log[1].target, QByteArray("/tidetables/?n=3"));
        other.setRequestLogLimit(0);
        QCOMPARE(other.requestCount(), 0);
        QCOMPARE(client.send("GET", QStringLiteral("/tidetables/")).status, 200);
        QTRY_COMPARE(spy.count(), 4);
        QCOMPARE(other.requestCount(), 0);
    }

    // ---- fault switches ----

    void testNoReplyClosesBeforeHeaders()
    {
        // Unlimited: the network stack of a client may retry on a fresh connection.
        m_standin.addFault(StandinFault::Kind::NoReply, UserInfo);
        QTcpSocket socket;
        connectRaw(socket);
        socket.write("GET /oauth2/v1/userinfo HTTP/1.1\r\nHost: x\r\n\r\n");
        QByteArray buffer;
        QCOMPARE(readResponse(socket, &buffer), QByteArray());
        QVERIFY(buffer.isEmpty());

        const StandinClient::Reply r = m_client->get(QString::fromLatin1(UserInfo), m_token, false);
        QCOMPARE(r.status, 0);
        QVERIFY(r.error != QNetworkReply::NoError);
        QVERIFY(r.body.isEmpty());
        // Other paths are not touched.
        QCOMPARE(m_client->get(QStringLiteral("/blogger/v3/users/self/blogs"), m_token, false).status, 200);
    }

    void testLostReplyStoresThePostButAnswersNothing()
    {
        m_standin.addFault(StandinFault::Kind::LostReply, "/feeds/", 1);
        QTcpSocket socket;
        connectRaw(socket);
        const QByteArray body = StandinClient::postBody("Sent once", "<p>x</p>", {}, false);
        socket.write("POST /feeds/" + TideBlog.toUtf8() + "/posts/default HTTP/1.1\r\nHost: x\r\n" +
                     "Authorization: OAuth " + m_token.toUtf8() + "\r\nGData-Version: 2\r\n" +
                     "Content-Type: application/atom+xml\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QByteArray buffer;
        QCOMPARE(readResponse(socket, &buffer), QByteArray());
        QVERIFY(buffer.isEmpty());
        QCOMPARE(m_standin.blog(TideBlog)->posts.first().title, QStringLiteral("Sent once"));
    }

    void testEveryReplyTellsTheServiceClock()
    {
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const StandinClient::Reply r = m_client->get(QString::fromLatin1(UserInfo), m_token, false);
        const QByteArray date = r.header("Date");
        QVERIFY2(date.endsWith(" GMT"), date.constData());
        const QDateTime told =
            QDateTime::fromString(QString::fromLatin1(date.chopped(4)) + " +0000", Qt::RFC2822Date);
        QVERIFY2(told >= before && told <= QDateTime::currentDateTimeUtc(), date.constData());
    }

    void testStallHoldsReplyUntilReleased()
    {
        m_standin.addFault(StandinFault::Kind::Stall, UserInfo, 1);
        QNetworkReply* reply =
            m_client->start("GET", QString::fromLatin1(UserInfo),
                            {qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8())});
        QTRY_COMPARE(m_standin.stalledCount(), 1);
        QVERIFY(!reply->isFinished());
        // The stand-in keeps serving other connections meanwhile.
        QCOMPARE(m_client->get(QStringLiteral("/blogger/v3/users/self/blogs"), m_token, false).status, 200);
        QVERIFY(!reply->isFinished());
        m_standin.releaseStalled();
        const StandinClient::Reply r = StandinClient::wait(reply);
        QCOMPARE(r.status, 200);
        QCOMPARE(QJsonDocument::fromJson(r.body).object().value("name").toString(),
                 QStringLiteral("Mara Quill"));
        QCOMPARE(m_standin.stalledCount(), 0);
        QCOMPARE(m_standin.requests("GET", UserInfo).size(), 1);
    }

    void testAbortedStalledRequestLeavesServerWorking()
    {
        m_standin.addFault(StandinFault::Kind::Stall, UserInfo);
        QNetworkReply* reply = m_client->start("GET", QString::fromLatin1(UserInfo));
        QTRY_COMPARE(m_standin.stalledCount(), 1);
        reply->abort();
        StandinClient::wait(reply);
        QTRY_COMPARE(m_standin.stalledCount(), 0);
        m_standin.clearFaults();
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 200);
    }

    void testEndlessPipelineBehindStallIsCutOff()
    {
        m_standin.addFault(StandinFault::Kind::Stall, UserInfo, 1);
        QTcpSocket socket;
        connectRaw(socket);
        socket.write("GET /oauth2/v1/userinfo HTTP/1.1\r\nHost: x\r\n\r\n");
        QTRY_COMPARE(m_standin.stalledCount(), 1);
        // Far more queued requests than one request head and body may take.
        const QByteArray next = "GET /tidetables/ HTTP/1.1\r\nHost: x\r\n\r\n";
        socket.write(next.repeated(200 * 1024 / next.size()));
        QTRY_COMPARE(m_standin.stalledCount(), 0);
        QByteArray buffer;
        QCOMPARE(readResponse(socket, &buffer), QByteArray());
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 200);
    }

    void testStopWhileStalledClosesConnection()
    {
        GoogleStandin other;
        QVERIFY(other.start(0) != 0);
        other.addFault(StandinFault::Kind::Stall);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, other.port());
        QVERIFY(socket.waitForConnected(30000));
        socket.write("GET /tidetables/ HTTP/1.1\r\nHost: x\r\n\r\n");
        QTRY_COMPARE(other.stalledCount(), 1);
        other.stop();
        QByteArray buffer;
        QCOMPARE(readResponse(socket, &buffer), QByteArray());
        QVERIFY(!other.isRunning());
    }

    void testErrorObjectFaultChangesNothing()
    {
        m_standin.addFault(StandinFault::Kind::ErrorObject, "/blogger/v3/blogs/", 1);
        const StandinClient::Reply r = m_client->send(
            "DELETE", QStringLiteral("/blogger/v3/blogs/%1/posts/%2").arg(TideBlog, LowTidePost),
            {qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8())});
        QCOMPARE(r.status, 503);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("error-404.json")));
        const QJsonArray errors =
            QJsonDocument::fromJson(r.body).object().value("error").toObject().value("errors").toArray();
        QCOMPARE(errors[0].toObject().value("message").toString(), QStringLiteral("Backend Error"));
        QVERIFY(m_standin.post(TideBlog, LowTidePost).has_value());
    }

    void testErrorObjectOnTokenEndpointHasTokenShape()
    {
        m_standin.addFault(StandinFault::Kind::ErrorObject, "/oauth2/v3/token");
        const StandinClient::Reply r =
            m_client->send("POST", QStringLiteral("/oauth2/v3/token"), {}, "grant_type=x&");
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("token-error.json")));
    }

    void testMalformedBodyFaultBreaksTheDocument()
    {
        m_standin.addFault(StandinFault::Kind::MalformedBody);
        const StandinClient::Reply feed = m_client->get(
            QStringLiteral("/feeds/%1/posts/default?orderby=updated&max-results=20&start-index=1")
                .arg(TideBlog),
            m_token);
        QCOMPARE(feed.status, 200);
        QVERIFY(feed.body.startsWith("<?xml"));
        QVERIFY(!isWellFormedXml(feed.body));
        const StandinClient::Reply info = m_client->get(QString::fromLatin1(UserInfo), m_token, false);
        QVERIFY(QJsonDocument::fromJson(info.body).isNull());
        // The request itself was carried out; only its answer is broken.
        const StandinClient::Reply del = m_client->send(
            "DELETE", QStringLiteral("/blogger/v3/blogs/%1/posts/%2").arg(TideBlog, LowTidePost),
            {qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8())});
        QVERIFY(!del.body.isEmpty());
        QVERIFY(QJsonDocument::fromJson(del.body).isNull());
        QVERIFY(!m_standin.post(TideBlog, LowTidePost).has_value());
    }

    void testNonUtf8BodyFault()
    {
        m_standin.addFault(StandinFault::Kind::NonUtf8Body, "/feeds/");
        const StandinClient::Reply feed = m_client->get(
            QStringLiteral("/feeds/%1/posts/default?orderby=updated&max-results=20&start-index=1")
                .arg(TideBlog),
            m_token);
        QCOMPARE(feed.status, 200);
        QVERIFY(!isUtf8(feed.body));
        m_standin.clearFaults();
        m_standin.addFault(StandinFault::Kind::NonUtf8Body, UserInfo);
        const StandinClient::Reply info = m_client->get(QString::fromLatin1(UserInfo), m_token, false);
        QVERIFY(!isUtf8(info.body));
        QVERIFY(isUtf8(m_client->get(QStringLiteral("/blogger/v3/users/self/blogs"), m_token, false).body));
    }

    void testHtmlErrorPageFault()
    {
        m_standin.addFault(StandinFault::Kind::HtmlErrorPage, "/blogger/", 1);
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/blogger/v3/users/self/blogs"), m_token, false);
        QCOMPARE(r.status, 502);
        QVERIFY(r.contentType.startsWith("text/html"));
        QVERIFY(QJsonDocument::fromJson(r.body).isNull());
        QCOMPARE(m_client->get(QStringLiteral("/blogger/v3/users/self/blogs"), m_token, false).status, 200);
    }

    void testFaultCountAndMethodScope()
    {
        StandinFault fault;
        fault.kind = StandinFault::Kind::ErrorObject;
        fault.pathPrefix = UserInfo;
        fault.method = "GET";
        fault.remaining = 2;
        fault.status = 500;
        fault.message = QStringLiteral("Try later");
        m_standin.addFault(fault);
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 500);
        QCOMPARE(m_client->send("POST", QString::fromLatin1(UserInfo)).status, 405);
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 500);
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 200);
    }

    void testRevokedAndExpiredTokensTogether()
    {
        const QString refresh = m_standin.issueRefreshToken();
        m_standin.revokeAllRefreshTokens();
        m_standin.expireAllAccessTokens();
        QVERIFY(m_standin.refreshTokens().isEmpty());
        QVERIFY(!m_standin.isAccessTokenValid(m_token));
        QCOMPARE(m_client->get(QString::fromLatin1(UserInfo), m_token, false).status, 401);
        QVERIFY(!refresh.isEmpty());
    }

    // ---- bad requests on the wire ----

    void testOversizeBodyGets413AndConnectionSurvives()
    {
        QTcpSocket socket;
        connectRaw(socket);
        const QByteArray big(10000, 'x');
        socket.write("POST /feeds/" + TideBlog.toUtf8() +
                     "/posts/default HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                     QByteArray::number(big.size()) + "\r\n\r\n" + big);
        socket.write("GET /tidetables/ HTTP/1.1\r\nHost: x\r\n\r\n");
        QByteArray buffer;
        const QByteArray first = readResponse(socket, &buffer);
        QCOMPARE(statusOf(first), 413);
        QCOMPARE(ReplyShape::json(first.mid(first.indexOf("\r\n\r\n") + 4)),
                 ReplyShape::json(TestSupport::readFixture("error-404.json")));
        QCOMPARE(statusOf(readResponse(socket, &buffer)), 200);
        QCOMPARE(m_standin.requests().first().bodyTooLarge, true);
        QVERIFY(m_standin.requests().first().body.isEmpty());
    }

    void testOversizeBodyThroughClientGets413()
    {
        auto headers = QList<QPair<QByteArray, QByteArray>>{
            qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8()),
            qMakePair(QByteArray("Content-Type"), QByteArray("image/png"))};
        const StandinClient::Reply r =
            m_client->send("POST", QStringLiteral("/data/feed/api/user/default/albumid/default"), headers,
                           QByteArray(20000, '\x01'));
        QCOMPARE(r.status, 413);
        QCOMPARE(m_standin.photos().size(), 1);
    }

    void testExpectContinueGetsInterimAnswer()
    {
        QTcpSocket socket;
        connectRaw(socket);
        socket.write("POST /oauth2/v3/token HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Length: "
                     "12\r\n\r\n");
        QByteArray buffer;
        while (!buffer.contains("\r\n\r\n") && socket.waitForReadyRead(30000))
            buffer += socket.readAll();
        QVERIFY(buffer.startsWith("HTTP/1.1 100 Continue\r\n\r\n"));
        buffer.remove(0, 25);
        socket.write("grant_type=x");
        const QByteArray response = readResponse(socket, &buffer);
        QCOMPARE(statusOf(response), 401);
        QCOMPARE(m_standin.requests().first().body, QByteArray("grant_type=x"));
    }

    void testHugeDeclaredLengthAnsweredAtOnce()
    {
        QTcpSocket socket;
        connectRaw(socket);
        socket.write("POST /oauth2/v3/token HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n\r\nabc");
        QByteArray buffer;
        QCOMPARE(statusOf(readResponse(socket, &buffer)), 413);
        QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(30000));
    }

    void testBrokenRequestsGetErrorsAndClose_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("garbage line") << QByteArray("GARBAGE\r\n\r\n") << 400;
        QTest::newRow("not http") << QByteArray("GET / SPDY/3\r\n\r\n") << 400;
        QTest::newRow("header without colon") << QByteArray("GET / HTTP/1.1\r\nbroken\r\n\r\n") << 400;
        QTest::newRow("negative length")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: -4\r\n\r\n") << 400;
        QTest::newRow("text length") << QByteArray("POST / HTTP/1.1\r\nContent-Length: ten\r\n\r\n") << 400;
        QTest::newRow("chunked") << QByteArray(
                                        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
                                 << 411;
        QTest::newRow("endless head") << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(70000, 'a')) << 431;
    }
    void testBrokenRequestsGetErrorsAndClose()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QTcpSocket socket;
        connectRaw(socket);
        socket.write(request);
        QByteArray buffer;
        const QByteArray response = readResponse(socket, &buffer);
        QCOMPARE(statusOf(response), status);
        QVERIFY(response.contains("Connection: close"));
        QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(30000));
        // The server goes on serving.
        QCOMPARE(m_client->send("GET", QStringLiteral("/tidetables/")).status, 200);
    }

    void testPipelinedRequestsAnsweredInOrder()
    {
        QTcpSocket socket;
        connectRaw(socket);
        socket.write(
            "GET /tidetables/ HTTP/1.1\r\nHost: x\r\n\r\nGET /nothing-here HTTP/1.1\r\nHost: x\r\n\r\n"
            "GET /kitchenledger/ HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        QByteArray buffer;
        const QByteArray a = readResponse(socket, &buffer);
        const QByteArray b = readResponse(socket, &buffer);
        const QByteArray c = readResponse(socket, &buffer);
        QCOMPARE(statusOf(a), 200);
        QVERIFY(a.contains("Tide Tables"));
        QCOMPARE(statusOf(b), 404);
        QCOMPARE(statusOf(c), 200);
        QVERIFY(c.contains("Kitchen Ledger"));
        QVERIFY(c.contains("Connection: close"));
    }

    // ---- seed and state ----

    void testResetRestoresSeedAndClearsLog()
    {
        QVERIFY(m_standin.removePost(TideBlog, LowTidePost));
        m_standin.addFault(StandinFault::Kind::NoReply);
        m_standin.reset();
        QVERIFY(m_standin.post(TideBlog, LowTidePost).has_value());
        QVERIFY(m_standin.faults().isEmpty());
        QCOMPARE(m_standin.requestCount(), 0);
        QVERIFY(!m_standin.isAccessTokenValid(m_token));
    }

    void testStateAccessorsChangeWhatIsServed()
    {
        StandinPost post;
        post.title = QStringLiteral("Set from the test");
        post.content = QStringLiteral("<p>x</p>");
        const QString id = m_standin.addPost(TideBlog, post);
        QVERIFY(!id.isEmpty());
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, id), m_token);
        QCOMPARE(r.status, 200);
        QVERIFY(r.body.contains("Set from the test"));
        QVERIFY(m_standin.addPost(QStringLiteral("404"), post).isEmpty());
    }

    void testSeedPlaceholderExpandedToServerAddress()
    {
        const QString base = m_standin.serverUrl().toString();
        const StandinPost post = *m_standin.post(TideBlog, LowTidePost);
        QVERIFY(post.content.contains(base + QStringLiteral("/photos/")));
        QVERIFY(!post.content.contains(QStringLiteral("{base}")));
        QVERIFY(m_standin.accounts().first().picture.startsWith(base));
    }

    void testDefaultSeedHasWhatClientsNeed()
    {
        const QList<StandinAccount> accounts = m_standin.accounts();
        QCOMPARE(accounts.size(), 2);
        const QList<StandinBlog> blogs = m_standin.blogs(accounts.first().id);
        QCOMPARE(blogs.size(), 2);
        int posts = 0, drafts = 0, scheduled = 0, comments = 0, labelled = 0;
        for (const StandinBlog& b : blogs) {
            for (const StandinPost& p : b.posts) {
                ++posts;
                drafts += p.draft;
                scheduled += p.isScheduled();
                comments += int(p.comments.size());
                labelled += !p.labels.isEmpty();
            }
        }
        QCOMPARE(posts, 30);
        QVERIFY(drafts >= 2 && scheduled >= 2 && comments > 0 && labelled > 20);
        QCOMPARE(m_standin.photos().size(), 1);
        QVERIFY(m_standin.blogs(accounts[1].id).size() == 1);
    }

    void testBadSeedRefusedAndStateKept_data()
    {
        QTest::addColumn<QByteArray>("seed");
        const QByteArray account = R"({"id": "1", "name": "A"})";
        const QByteArray blogHead =
            R"({"id": "9", "owner": "1", "name": "B", "published": "2015-01-01T00:00:00Z",
                                       "updated": "2015-01-01T00:00:00Z", )";
        QTest::newRow("repeated account") << QByteArray("{\"accounts\": [" + account + "," + account + "]}");
        QTest::newRow("unknown owner")
            << QByteArray(R"({"accounts": [{"id": "1"}], "blogs": [{"id": "9", "owner": "2",
            "path": "b", "published": "2015-01-01T00:00:00Z", "updated": "2015-01-01T00:00:00Z"}]})");
        QTest::newRow("reserved path") << QByteArray("{\"accounts\": [" + account + "], \"blogs\": [" +
                                                     blogHead + "\"path\": \"feeds\"}]}");
        QTest::newRow("path with slash") << QByteArray("{\"accounts\": [" + account + "], \"blogs\": [" +
                                                       blogHead + "\"path\": \"a/b\"}]}");
        QTest::newRow("bad date") << QByteArray(
            "{\"accounts\": [" + account + "], \"blogs\": [" + blogHead +
            "\"path\": \"b\", \"posts\": [{\"id\": \"5\", \"published\": \"soon\", "
            "\"updated\": \"2015-01-01T00:00:00Z\"}]}]}");
        QTest::newRow("repeated post")
            << QByteArray("{\"accounts\": [" + account + "], \"blogs\": [" + blogHead +
                          "\"path\": \"b\", \"posts\": [{\"id\": \"5\", \"published\": "
                          "\"2015-01-01T00:00:00Z\", \"updated\": "
                          "\"2015-01-01T00:00:00Z\"}, {\"id\": \"5\", \"published\": "
                          "\"2015-01-01T00:00:00Z\", \"updated\": "
                          "\"2015-01-01T00:00:00Z\"}]}]}");
    }
    void testBadSeedRefusedAndStateKept()
    {
        QFETCH(QByteArray, seed);
        QString error;
        QVERIFY(!m_standin.loadSeed(QJsonDocument::fromJson(seed).object(), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(m_standin.accounts().size(), 2);
        m_standin.reset();
        QCOMPARE(m_standin.blogs().size(), 3);
    }

    void testLoadedSeedSurvivesReset()
    {
        QString error;
        const QByteArray seed =
            R"({"accounts": [{"id": "1", "name": "Solo"}], "blogs": [{"id": "9", "owner": "1",
            "name": "Only blog", "path": "only", "published": "2015-01-01T00:00:00Z", "updated": "2015-01-01T00:00:00Z"}]})";
        QVERIFY2(m_standin.loadSeed(QJsonDocument::fromJson(seed).object(), &error), qPrintable(error));
        m_standin.reset();
        QCOMPARE(m_standin.accounts().size(), 1);
        QCOMPARE(m_client->send("GET", QStringLiteral("/only/")).status, 200);
        QVERIFY(m_standin.loadSeed(GoogleStandin::defaultSeed(), &error));
        QCOMPARE(m_standin.accounts().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStandinFaults)
#include "TestStandinFaults.moc"
