#include "platform/LocalPictureServer.h"
#include "platform/LocalPictures.h"
#include "services/PostPreviewComposer.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

BloggerPost postWith(const QString& title, const QString& content)
{
    BloggerPost post;
    post.title = title;
    post.content = content;
    return post;
}

// The shape of a blog's page for an address that holds no post: the template around a notice.
const QString MissingPage = QStringLiteral(
    "<!DOCTYPE html>\n<html><head><title>Tide Tables</title><style>.post-title{color:red}</style></head>\n"
    "<body><div class='header'><h1>Tide Tables</h1></div>\n<div class='main' id='main'>\n"
    "<div class='status-msg-wrap'><div class='status-msg-body'>Sorry, the page you were looking for in this "
    "blog does not exist.</div><div class='status-msg-border'><div class='status-msg-bg'></div></div></div>\n"
    "</div>\n<div class='footer'>Powered by Blogger.</div></body></html>");

// A red pixel.
QByteArray pngBytes()
{
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QString();
    }
    file.write(bytes);
    return path;
}

// A blocking client of 127.0.0.1, as the web engine's or another program's: each step waits at most
// waitMs. A small receive buffer makes the server's writes block as soon as the client stops reading.
int connectTo(quint16 port, int waitMs = 30000, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    }
    const timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof(wait));
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const QByteArray& bytes)
{
    return ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

// One request of a page to the server, which runs on this thread: made and sent, then `meanwhile` runs
// before the server can read it. The reply is read as fast as it comes, as the web engine would, until
// the server closes.
QByteArray fetchServed(quint16 port, const QByteArray& request, const std::function<void()>& meanwhile = {})
{
    const int fd = connectTo(port);
    if (fd < 0 || !sendAll(fd, request)) {
        return "<not sent>";
    }
    if (meanwhile) {
        meanwhile();
    }
    // The server runs in this event loop, at its own pace, until the reader has seen the end.
    QEventLoop loop;
    QByteArray reply;
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        char buffer[64 * 1024];
        for (ssize_t got = 0; (got = ::recv(fd, buffer, sizeof(buffer), 0)) > 0;) {
            reply.append(buffer, got);
        }
        ended = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool closed = ended;
    ::shutdown(fd, SHUT_RDWR);
    reader.join();
    ::close(fd);
    return closed ? reply : reply + "<no end>";
}

} // namespace

// The preview pages: the post in its blog's template, the post alone, and its local images inlined.
class TestPostPreviewComposer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void testTitles()
    {
        QCOMPARE(PostPreviewComposer::previewTitle("Low tide"), QString::fromUtf8("Preview \u00B7 Low tide"));
        QCOMPARE(PostPreviewComposer::livePreviewTitle(""), QString::fromUtf8("Live Preview \u00B7 "));
    }

    void testTemplateAddressWithOrWithoutTrailingSlash()
    {
        QCOMPARE(PostPreviewComposer::templateAddress("http://127.0.0.1:5000/tidetables/"),
                 QStringLiteral("http://127.0.0.1:5000/tidetables/temp/post/title.html"));
        QCOMPARE(PostPreviewComposer::templateAddress("https://x.blogspot.com"),
                 QStringLiteral("https://x.blogspot.com/temp/post/title.html"));
    }

    void testPostReplacesTheNoticeOfTheTemplate()
    {
        const QString page = PostPreviewComposer().livePreviewHtml(
            MissingPage, postWith("Low tide & <beyond>", "<p>The sand was <b>gold</b>.</p>"));
        QVERIFY(!page.contains("Sorry, the page"));
        QVERIFY(!page.contains("status-msg"));
        QVERIFY(page.contains("<h3 class='post-title entry-title'>Low tide &amp; &lt;beyond&gt;</h3>"));
        QVERIFY(page.contains("<p>The sand was <b>gold</b>.</p>"));
        // Where the notice was: inside the main column, before the footer, with the template kept.
        const qsizetype main = page.indexOf("id='main'");
        const qsizetype post = page.indexOf("post hentry");
        QVERIFY(main >= 0 && main < post && post < page.indexOf("class='footer'"));
        QVERIFY(page.contains("<style>.post-title{color:red}</style>"));
        QVERIFY(page.contains("<title>Low tide &amp; &lt;beyond&gt;</title>"));
        // The notice's four elements went, the post's three came.
        QCOMPARE(page.count("</div>"), MissingPage.count("</div>") - 4 + 3);
    }

    void testNoticeInCapitalsAndDoubleQuotesIsFound()
    {
        const QString tpl =
            QStringLiteral("<html><body><DIV class=\"main\"><DIV class=\"widget status-msg-wrap\">"
                           "<DIV>Missing</DIV></DIV></DIV></body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "C"));
        QVERIFY(!page.contains("Missing"));
        QVERIFY(page.startsWith("<html><body><DIV class=\"main\"><div class='post hentry'>"));
        QVERIFY(page.endsWith("</div>\n</DIV></body></html>"));
    }

    void testWithoutNoticeThePostGoesFirstIntoTheBlogPosts()
    {
        const QString tpl = QStringLiteral(
            "<html><body><div class='blog-posts hfeed'><div class='old'>Old</div></div></body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.indexOf("New") < page.indexOf("Old"));
        QVERIFY(page.indexOf("blog-posts") < page.indexOf("New"));
    }

    void testWithoutBlogPartsThePostOpensTheBody()
    {
        const QString tpl = QStringLiteral("<html><head></head><BODY class='x'><p>Rest</p></BODY></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.startsWith("<html><head></head><BODY class='x'><div class='post hentry'>"));
        QVERIFY(page.indexOf("New") < page.indexOf("Rest"));
    }

    void testTemplateThatIsNoPageGivesThePostAlone()
    {
        const QString page =
            PostPreviewComposer().livePreviewHtml("Service unavailable", postWith("T", "New"));
        QCOMPARE(page, PostPreviewComposer().plainPreviewHtml(postWith("T", "New")));
    }

    void testUnclosedNoticeDoesNotSwallowThePage()
    {
        const QString tpl = QStringLiteral("<html><body><div class='status-msg-wrap'><p>Rest</body></html>");
        const QString page = PostPreviewComposer().livePreviewHtml(tpl, postWith("T", "New"));
        QVERIFY(page.contains("Rest"));
        QVERIFY(page.contains("New"));
    }

    void testPlainPreviewHasEscapedTitleAndContentAsIs()
    {
        const QString page =
            PostPreviewComposer().plainPreviewHtml(postWith("<b>Bold</b> title", "<em>x</em>"));
        QVERIFY(page.contains("<title>&lt;b&gt;Bold&lt;/b&gt; title</title>"));
        QVERIFY(page.contains("<h1 class='post-title entry-title'>&lt;b&gt;Bold&lt;/b&gt; title</h1>"));
        QVERIFY(page.contains("<em>x</em>"));
    }

    void testOnlyPicturesInTheImagesFolderGetPictureAddresses()
    {
        QTemporaryDir data;
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(data.path()));
        const QString folder = data.filePath("Applications");
        QDir().mkpath(folder);
        const QString inside = writeFile(folder + "/ABC-photo.png", pngBytes());
        const QString outside = writeFile(data.filePath("photo.png"), pngBytes());
        const QString html = QStringLiteral("<p>a</p><img src=\"file://") + inside +
                             QStringLiteral("\" alt=\"x\"><IMG SRC='") +
                             QUrl::fromLocalFile(inside).toString(QUrl::FullyEncoded) +
                             QStringLiteral("'><img src=\"file://") + outside +
                             QStringLiteral("\"><img src=\"file://") + folder +
                             QStringLiteral("/../photo.png\"><img src=\"file:///etc/passwd\">"
                                            "<img src=\"https://example.com/a.png\">"
                                            "<a href=\"file://") +
                             inside + QStringLiteral("\">x</a>");
        QStringList names;
        const QString out = PostPreviewComposer().withLocalPictureAddresses(html, names);
        QCOMPARE(names, QStringList{"ABC-photo.png"});
        QVERIFY(out.startsWith("<p>a</p><img src=\"penhollow-picture://pictures/ABC-photo.png\" alt=\"x\">"
                               "<IMG SRC='penhollow-picture://pictures/ABC-photo.png'>"));
        // Anything else is left for the page to fail on: no page of ours loads file: addresses.
        QVERIFY(out.contains("file://" + outside));
        QVERIFY(out.contains("file://" + folder + "/../photo.png"));
        QVERIFY(out.contains("file:///etc/passwd"));
        QVERIFY(out.contains("https://example.com/a.png"));
        QVERIFY(out.endsWith("<a href=\"file://" + inside + "\">x</a>"));

        // Served from elsewhere, under a base address.
        QStringList servedNames;
        QCOMPARE(PostPreviewComposer().withLocalPictureAddresses(
                     "<img src='file://" + inside + "' width='4'>", servedNames, "http://127.0.0.1:9/key/"),
                 QStringLiteral("<img src='http://127.0.0.1:9/key/ABC-photo.png' width='4'>"));
        QCOMPARE(servedNames, QStringList{"ABC-photo.png"});

        // Where they cannot be served to a page whose scripts run: boxes in their place, sized as asked or
        // as the picture is.
        const QString boxed = PostPreviewComposer().withLocalPicturePlaceholders(
            "<img class='wide' src='file://" + inside + "' width='40' alt='a \"b\"'><img src=\"file://" +
                inside + "\" style='float: left'>",
            [](const QString&) { return QSize(7, 5); });
        QVERIFY(!boxed.contains("file:") && !boxed.contains("penhollow-picture") && !boxed.contains("<img"));
        QVERIFY2(
            boxed.startsWith("<span class=\"wide\" title=\"a &quot;b&quot;\" style=\"display: inline-block;"),
            qPrintable(boxed));
        QVERIFY(boxed.contains("width: 40px; height: 5px;"));
        QVERIFY(boxed.contains("width: 7px; height: 5px;"));
        QVERIFY(boxed.contains("float: left\">Picture from this computer</span>"));
        qunsetenv("PENHOLLOW_DATA_DIR");
    }

    void testPictureSchemeReadsOnlyPlainPictureFilesOfTheImagesFolder()
    {
        QTemporaryDir data;
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(data.path()));
        const QString folder = data.filePath("Applications");
        QDir().mkpath(folder);
        writeFile(folder + "/dot.png", pngBytes());
        writeFile(folder + "/notes.png", "not a picture at all");
        writeFile(data.filePath("secret.png"), pngBytes());
        QVERIFY(QFile::link(data.filePath("secret.png"), folder + "/link.png"));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + "/pipe.png").constData(), 0600), 0);
        QFile big(folder + "/big.png");
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(pngBytes());
        QVERIFY(big.resize(LocalPictures::MaximumPictureSize + 1));
        big.close();

        const std::optional<LocalPictures::Picture> dot = LocalPictures::read("dot.png");
        QVERIFY(dot);
        QCOMPARE(dot->data, pngBytes());
        QCOMPARE(dot->mimeType, QByteArray("image/png"));
        for (const char* name :
             {"notes.png", "link.png", "pipe.png", "big.png", "../secret.png", "..", "missing.png"}) {
            QVERIFY2(!LocalPictures::read(QString::fromLatin1(name)), name);
        }
        QCOMPARE(LocalPictures::nameForAddress("penhollow-picture://pictures/dot.png"),
                 std::optional<QString>("dot.png"));
        QVERIFY(!LocalPictures::nameForAddress("penhollow-picture://pictures/../secret.png"));
        QVERIFY(!LocalPictures::nameForAddress("penhollow-picture://pictures/"));
        QVERIFY(!LocalPictures::nameForAddress("file:///dot.png"));
        qunsetenv("PENHOLLOW_DATA_DIR");
    }

    void testPictureServerAnswersOnlyPlainRequestsForGrantedPictures()
    {
        QTemporaryDir data;
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(data.path()));
        QDir().mkpath(data.filePath("Applications"));
        writeFile(data.filePath("Applications/dot.png"), pngBytes());
        writeFile(data.filePath("Applications/other.png"), pngBytes());
        LocalPictureServer& server = LocalPictureServer::instance();
        const QString grant = server.openGrant();
        QVERIFY(!grant.isEmpty());
        server.allow(grant, {"dot.png"});
        const QUrl base(server.addressBase(grant));
        QCOMPARE(base.host(), QStringLiteral("127.0.0.1"));

        const auto ask = [&](const QByteArray& request) {
            QTcpSocket socket;
            QByteArray reply;
            connect(&socket, &QTcpSocket::readyRead, &socket, [&] { reply += socket.readAll(); });
            socket.connectToHost(QHostAddress::LocalHost, quint16(base.port()));
            socket.write(request);
            const bool closed =
                QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 20000);
            return closed ? reply : QByteArray("<no answer>");
        };
        const QByteArray path = base.path().toLatin1();
        const QByteArray host = "\r\nHost: 127.0.0.1:" + QByteArray::number(base.port()) + "\r\n";
        const QByteArray ok = ask("GET " + path + "dot.png HTTP/1.1" + host + "\r\n");
        QVERIFY2(ok.startsWith("HTTP/1.1 200 OK\r\n") && ok.endsWith(pngBytes()), ok.constData());
        QVERIFY(!ok.toLower().contains("access-control-allow-origin"));
        QVERIFY(ask("GET " + path + "dot.png HTTP/1.1\r\nHost: localhost:" + QByteArray::number(base.port()) +
                    "\r\n\r\n")
                    .startsWith("HTTP/1.1 200 OK\r\n"));
        for (const QByteArray& refused :
             QList<QByteArray>{"GET " + path + "other.png HTTP/1.1" + host + "\r\n",
                               "GET " + path + "dot.png HTTP/1.1" + host + "Origin: http://blog\r\n\r\n",
                               "GET " + path + "dot.png HTTP/1.1" + host + "Host: x\r\n\r\n",
                               // A page rebinding its own name to 127.0.0.1 would read them as its own.
                               "GET " + path + "dot.png HTTP/1.1\r\nHost: rebind.example.com:" +
                                   QByteArray::number(base.port()) + "\r\n\r\n"}) {
            QVERIFY2(ask(refused).startsWith("HTTP/1.1 404"), refused.constData());
        }
        // Requests that name no grant, or never end, are dropped.
        QCOMPARE(ask("GET " + path + "../dot.png HTTP/1.1" + host + "\r\n"), QByteArray());
        QCOMPARE(ask("GET /nokey/dot.png HTTP/1.1" + host + "\r\n"), QByteArray());
        QCOMPARE(ask(QByteArray(9000, 'x')), QByteArray());
        server.closeGrant(grant);
        QCOMPARE(ask("GET " + path + "dot.png HTTP/1.1" + host + "\r\n"), QByteArray());
        qunsetenv("PENHOLLOW_DATA_DIR");
    }

    void testHostileClientsCannotStarveThePictureServer_data()
    {
        QTest::addColumn<QByteArray>("clients");
        // Clients without a key used to hold all 16 places, leaving a live preview's pictures blank.
        QTest::newRow("idle") << QByteArray("idle");
        // Clients that asked for a large picture and never read kept their places, each with the whole file.
        QTest::newRow("never reading") << QByteArray("never reading");
        // Connections that came right behind a page's request pushed it out before it was read.
        QTest::newRow("flood") << QByteArray("flood");
    }

    void testHostileClientsCannotStarveThePictureServer()
    {
        QFETCH(QByteArray, clients);
        QTemporaryDir data;
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(data.path()));
        QDir().mkpath(data.filePath("Applications"));
        writeFile(data.filePath("Applications/dot.png"), pngBytes());
        const QByteArray large = pngBytes() + QByteArray(19 * 1024 * 1024, 'x');
        writeFile(data.filePath("Applications/large.png"), large);
        LocalPictureServer& server = LocalPictureServer::instance();
        const QString earlier = server.openGrant();
        server.allow(earlier, {"large.png"});
        const quint16 port = quint16(QUrl(server.addressBase(earlier)).port());
        const auto request = [port](const QString& grant, const QByteArray& name) {
            return "GET /" + grant.toLatin1() + "/" + name +
                   " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n";
        };
        std::vector<int> hostile;
        const auto closeHostile = [&hostile] {
            for (const int fd : hostile) {
                ::close(fd);
            }
            hostile.clear();
        };
        const auto end = qScopeGuard(closeHostile);
        if (clients != "flood") {
            for (int i = 0; i < 16; ++i) {
                hostile.push_back(connectTo(port, 30000, clients == "never reading" ? 4096 : 0));
                QVERIFY(hostile.back() >= 0);
                QVERIFY(clients == "idle" || sendAll(hostile.back(), request(earlier, "large.png")));
            }
        }
        if (clients == "never reading") {
            // Each is being answered and reads nothing more: the server's writes to all of them block.
            QTRY_VERIFY(std::all_of(hostile.cbegin(), hostile.cend(), [](int fd) {
                int waiting = 0;
                return ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0;
            }));
        }
        // Right behind each request of the page, before the server has read it, come 40 connections that
        // stay silent, never finish their line or send garbage; they stay open until the next request.
        const auto flood = [&] {
            closeHostile();
            const QList<QByteArray> sends{"", "GET /", "\x16\x03\x01 no end"};
            for (int i = 0; i < 40; ++i) {
                if (const int fd = connectTo(port, 1000); fd >= 0) {
                    sendAll(fd, sends.at(i % sends.size()));
                    hostile.push_back(fd);
                }
            }
        };

        // A new preview's grant: each of its pictures arrives whole.
        const QByteArray name = clients == "never reading" ? "large.png" : "dot.png";
        const QByteArray picture = name == "large.png" ? large : pngBytes();
        const QString grant = server.openGrant();
        server.allow(grant, {QString::fromLatin1(name)});
        for (int i = 0; i < (clients == "flood" ? 20 : 1); ++i) {
            const QByteArray reply =
                fetchServed(port, request(grant, name), clients == "flood" ? flood : std::function<void()>());
            QVERIFY2(reply.startsWith("HTTP/1.1 200 OK\r\n") && reply.endsWith(picture),
                     qPrintable(QString::number(i) + ": " + QString::fromLatin1(reply.left(100))));
        }
        if (clients == "never reading") {
            // One that had taken nothing for a while gave the page its place; the others are dropped once
            // their time to take the answer is up.
            const auto droppedClients = [&hostile] {
                return std::count_if(hostile.cbegin(), hostile.cend(), [](int fd) {
                    pollfd state{fd, POLLIN, 0};
                    return ::poll(&state, 1, 0) == 1 && (state.revents & POLLHUP);
                });
            };
            QCOMPARE(droppedClients(), 1);
            QTRY_COMPARE_WITH_TIMEOUT(droppedClients(), 16, 40000);
        }
        server.closeGrant(earlier);
        server.closeGrant(grant);
        qunsetenv("PENHOLLOW_DATA_DIR");
    }
};

QTEST_GUILESS_MAIN(TestPostPreviewComposer)
#include "TestPostPreviewComposer.moc"
