#include "StandinClient.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString TideBlog = QStringLiteral("4120843728710463922");
const QString ClientId = QStringLiteral("program-test-client");
const QString ClientSecret = QStringLiteral("program-test-secret");
const QString Oob = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");

// What a client reads back of a post: the texts as the feed writes them.
struct PostEntry
{
    QString id;
    QString title;
    QString content;
    QString published;
    QString updated;
};

PostEntry readEntry(const QByteArray& xml)
{
    PostEntry e;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = r.name();
        if (name == QLatin1String("id") && e.id.isEmpty())
            e.id = r.readElementText().section(QStringLiteral(".post-"), 1);
        else if (name == QLatin1String("title") && e.title.isEmpty())
            e.title = r.readElementText();
        else if (name == QLatin1String("content"))
            e.content = r.readElementText();
        else if (name == QLatin1String("published") && e.published.isEmpty())
            e.published = r.readElementText();
        else if (name == QLatin1String("updated") && e.updated.isEmpty())
            e.updated = r.readElementText();
    }
    return e;
}

QStringList postIdsOfFeed(const QByteArray& xml)
{
    QStringList ids;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("id"))
            ids.append(r.readElementText().section(QStringLiteral(".post-"), 1));
    }
    ids.removeAll(QString());
    return ids;
}

// A PNG of the given size; noise, so that it does not compress.
QByteArray noisePng(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = QRandomGenerator::global()->generate();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The google-standin program as started by hand or by scripts.
class TestStandinProgram : public QObject
{
    Q_OBJECT

private:
    QString program() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/google-standin");
    }

    // Starts the program and reads the port from its first line; 0 when it did not come.
    quint16 startProgram(QProcess& process, const QStringList& arguments)
    {
        process.start(program(), arguments);
        if (!process.waitForStarted(30000))
            return 0;
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return 0;
        }
        const QString first = QString::fromUtf8(process.readLine()).trimmed();
        static const QRegularExpression re(QStringLiteral("^Listening on port (\\d+)$"));
        const QRegularExpressionMatch m = re.match(first);
        return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    }
    void stopProgram(QProcess& process)
    {
        process.terminate();
        if (!process.waitForFinished(30000))
            process.kill();
    }
    // The program with a state file, and a client of it.
    std::unique_ptr<StandinClient> startWithState(QProcess& process, const QString& statePath)
    {
        const quint16 port =
            startProgram(process, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--state"),
                                   statePath, QStringLiteral("--client-id"), ClientId,
                                   QStringLiteral("--client-secret"), ClientSecret});
        if (port == 0)
            return nullptr;
        return std::make_unique<StandinClient>(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
    }
    static QList<QPair<QByteArray, QByteArray>> auth(const QString& token,
                                                     const QByteArray& contentType = QByteArray())
    {
        QList<QPair<QByteArray, QByteArray>> h{
            qMakePair(QByteArray("Authorization"), "OAuth " + token.toUtf8()),
            qMakePair(QByteArray("GData-Version"), QByteArray("2"))};
        if (!contentType.isEmpty())
            h.append(qMakePair(QByteArray("Content-Type"), contentType));
        return h;
    }
    // Signs in as the consent page's Allow does; the token reply's object.
    static QJsonObject signIn(StandinClient& client)
    {
        const StandinClient::Reply page = client.send(
            "GET", QStringLiteral("/o/oauth2/approval?client_id=%1&redirect_uri=%2&response_type=code&"
                                  "scope=profile&decision=allow")
                       .arg(ClientId, Oob));
        static const QRegularExpression codeRe(
            QStringLiteral("<textarea id='code' readonly>([^<]*)</textarea>"));
        const QString code = codeRe.match(QString::fromUtf8(page.body)).captured(1);
        if (code.isEmpty())
            return {};
        return QJsonDocument::fromJson(token(client, "authorization_code", QStringLiteral("code"), code).body)
            .object();
    }
    static StandinClient::Reply token(StandinClient& client, const QByteArray& grantType, const QString& key,
                                      const QString& value)
    {
        QByteArray body = key.toUtf8() + '=' + QUrl::toPercentEncoding(value) +
                          "&client_id=" + ClientId.toUtf8() + "&client_secret=" + ClientSecret.toUtf8() +
                          "&grant_type=" + grantType;
        if (grantType == "authorization_code")
            body += "&redirect_uri=" + Oob.toUtf8();
        return client.send(
            "POST", QStringLiteral("/oauth2/v3/token"),
            {qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded"))}, body);
    }
    static StandinClient::Reply uploadPhoto(StandinClient& client, const QString& token,
                                            const QByteArray& png)
    {
        auto headers = auth(token, "image/png");
        headers.append(qMakePair(QByteArray("Slug"), QByteArray("noise.png")));
        return client.send("POST", QStringLiteral("/data/feed/api/user/default/albumid/default"), headers,
                           png);
    }
    static QString photoIdOf(const QByteArray& entry)
    {
        static const QRegularExpression idRe(QStringLiteral("<gphoto:id>(\\d+)</gphoto:id>"));
        return idRe.match(QString::fromUtf8(entry)).captured(1);
    }
    static QByteArray postBody(const QString& title)
    {
        return StandinClient::postBody(title, QStringLiteral("<p>Kept & <b>sound</b> — ünïcödé</p>"),
                                       {QStringLiteral("Q&A")}, false,
                                       QStringLiteral("2014-02-03T04:05:06.789-05:00"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        QVERIFY2(QFileInfo::exists(program()), qPrintable(program()));
    }

    void testStartsOnFreePortAndPrintsIt()
    {
        QProcess process;
        const quint16 port = startProgram(process, {QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(port != 0);
        StandinClient client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        const StandinClient::Reply page = client.send("GET", QStringLiteral("/tidetables/"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("Tide Tables"));
        stopProgram(process);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void testSeedFileIsServed()
    {
        QTemporaryDir dir;
        QFile seed(dir.filePath(QStringLiteral("seed.json")));
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write(R"({"accounts": [{"id": "1", "name": "Solo"}], "blogs": [{"id": "9", "owner": "1",
            "name": "Seeded by file", "path": "seeded", "published": "2015-01-01T00:00:00Z",
            "updated": "2015-01-01T00:00:00Z"}]})");
        seed.close();
        QProcess process;
        const quint16 port = startProgram(process, {QStringLiteral("--port"), QStringLiteral("0"),
                                                    QStringLiteral("--seed"), seed.fileName()});
        QVERIFY(port != 0);
        StandinClient client(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        QVERIFY(client.send("GET", QStringLiteral("/seeded/")).body.contains("Seeded by file"));
        QCOMPARE(client.send("GET", QStringLiteral("/tidetables/")).status, 404);
        stopProgram(process);
    }

    // ---- the state file ----

    void testStateFileWrittenAtStartBeforeAnyChange()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess process;
        QVERIFY(startWithState(process, path));
        const QJsonObject state = QJsonDocument::fromJson(readFile(path)).object();
        QCOMPARE(state.value(QStringLiteral("blogs")).toArray().size(), 3);
        stopProgram(process);
        QCOMPARE(process.exitCode(), 0);
    }

    void testPostSurvivesRestartWithItsIdDatesAndContent()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess first;
        std::unique_ptr<StandinClient> client = startWithState(first, path);
        QVERIFY(client);
        const QString token = signIn(*client).value(QStringLiteral("access_token")).toString();
        QVERIFY(!token.isEmpty());
        const StandinClient::Reply added =
            client->send("POST", QStringLiteral("/feeds/%1/posts/default").arg(TideBlog),
                         auth(token, "application/atom+xml"), postBody(QStringLiteral("Before the restart")));
        QCOMPARE(added.status, 201);
        const PostEntry before = readEntry(added.body);
        QVERIFY(!before.id.isEmpty());
        const QString entryPath = QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, before.id);
        stopProgram(first);

        QProcess second;
        client = startWithState(second, path);
        QVERIFY(client);
        const StandinClient::Reply got = client->send("GET", entryPath, auth(token));
        QCOMPARE(got.status, 200);
        const PostEntry after = readEntry(got.body);
        QCOMPARE(after.id, before.id);
        QCOMPARE(after.title, QStringLiteral("Before the restart"));
        QCOMPARE(after.content, QStringLiteral("<p>Kept & <b>sound</b> — ünïcödé</p>"));
        QCOMPARE(after.published, before.published);
        QCOMPARE(after.updated, before.updated);
        QCOMPARE(after.published, QStringLiteral("2014-02-03T01:05:06.789-08:00"));
        stopProgram(second);
    }

    void testNewPostAfterRestartGetsAnUnusedId()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess first;
        std::unique_ptr<StandinClient> client = startWithState(first, path);
        QVERIFY(client);
        const QString token = signIn(*client).value(QStringLiteral("access_token")).toString();
        const StandinClient::Reply firstAdd =
            client->send("POST", QStringLiteral("/feeds/%1/posts/default").arg(TideBlog),
                         auth(token, "application/atom+xml"), postBody(QStringLiteral("First")));
        const QString kept = readEntry(firstAdd.body).id;
        QVERIFY(!kept.isEmpty());
        stopProgram(first);

        QProcess second;
        client = startWithState(second, path);
        QVERIFY(client);
        const QString feed = QStringLiteral("/feeds/%1/posts/default?max-results=500").arg(TideBlog);
        const QStringList existing = postIdsOfFeed(client->send("GET", feed, auth(token)).body);
        QVERIFY(existing.contains(kept));
        const StandinClient::Reply added =
            client->send("POST", QStringLiteral("/feeds/%1/posts/default").arg(TideBlog),
                         auth(token, "application/atom+xml"), postBody(QStringLiteral("Second")));
        QCOMPARE(added.status, 201);
        const QString fresh = readEntry(added.body).id;
        QVERIFY(!fresh.isEmpty());
        QVERIFY2(!existing.contains(fresh), qPrintable(fresh));
        QCOMPARE(postIdsOfFeed(client->send("GET", feed, auth(token)).body).size(), existing.size() + 1);
        stopProgram(second);
    }

    void testDeletedPostStaysDeletedAfterRestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess first;
        std::unique_ptr<StandinClient> client = startWithState(first, path);
        QVERIFY(client);
        const QString token = signIn(*client).value(QStringLiteral("access_token")).toString();
        const QString postPath = QStringLiteral("/feeds/%1/posts/default/8816602137345629201").arg(TideBlog);
        QCOMPARE(client->send("DELETE", postPath, auth(token)).status, 200);
        stopProgram(first);

        QProcess second;
        client = startWithState(second, path);
        QVERIFY(client);
        QCOMPARE(client->send("GET", postPath, auth(token)).status, 404);
        stopProgram(second);
    }

    void testGrantIssuedBeforeRestartStillWorks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess first;
        std::unique_ptr<StandinClient> client = startWithState(first, path);
        QVERIFY(client);
        const QJsonObject grant = signIn(*client);
        const QString access = grant.value(QStringLiteral("access_token")).toString();
        const QString refresh = grant.value(QStringLiteral("refresh_token")).toString();
        QVERIFY(!access.isEmpty() && !refresh.isEmpty());
        stopProgram(first);

        QProcess second;
        client = startWithState(second, path);
        QVERIFY(client);
        const StandinClient::Reply me =
            client->send("GET", QStringLiteral("/oauth2/v2/userinfo"), auth(access));
        QCOMPARE(me.status, 200);
        // Addresses the state wrote under the old port now name the new one.
        const QString picture =
            QJsonDocument::fromJson(me.body).object().value(QStringLiteral("picture")).toString();
        QVERIFY2(picture.startsWith(client->base().toString() + QLatin1Char('/')), qPrintable(picture));
        const StandinClient::Reply renewed =
            token(*client, "refresh_token", QStringLiteral("refresh_token"), refresh);
        QCOMPARE(renewed.status, 200);
        const QString newAccess =
            QJsonDocument::fromJson(renewed.body).object().value(QStringLiteral("access_token")).toString();
        QVERIFY(!newAccess.isEmpty());
        QCOMPARE(client->send("GET", QStringLiteral("/oauth2/v2/userinfo"), auth(newAccess)).status, 200);
        stopProgram(second);
    }

    void testCommentAndPhotoBytesSurviveRestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess first;
        std::unique_ptr<StandinClient> client = startWithState(first, path);
        QVERIFY(client);
        const QString token = signIn(*client).value(QStringLiteral("access_token")).toString();
        const QString post = QStringLiteral("8816602137345629201");
        QCOMPARE(client
                     ->send("POST", QStringLiteral("/feeds/%1/%2/comments/default").arg(TideBlog, post),
                            auth(token, "application/atom+xml"),
                            StandinClient::commentBody(QStringLiteral("Still here & well")))
                     .status,
                 201);
        const QByteArray png = noisePng(64, 48);
        const StandinClient::Reply uploaded = uploadPhoto(*client, token, png);
        QCOMPARE(uploaded.status, 201);
        const QString photoId = photoIdOf(uploaded.body);
        QVERIFY(!photoId.isEmpty());
        stopProgram(first);

        QProcess second;
        client = startWithState(second, path);
        QVERIFY(client);
        const StandinClient::Reply comments = client->send(
            "GET", QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments").arg(TideBlog, post), auth(token));
        QCOMPARE(comments.status, 200);
        const QJsonArray items =
            QJsonDocument::fromJson(comments.body).object().value(QStringLiteral("items")).toArray();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items.last().toObject().value(QStringLiteral("content")).toString(),
                 QStringLiteral("Still here & well"));
        const StandinClient::Reply image =
            client->send("GET", QStringLiteral("/photos/%1/noise.png").arg(photoId));
        QCOMPARE(image.status, 200);
        QCOMPARE(image.body, png);
        stopProgram(second);
    }

    void testBrokenStateFileExitsWithStatus2AndIsLeftUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("not JSON") << QStringLiteral("not JSON");
        QTest::newRow("empty") << QStringLiteral("empty");
        QTest::newRow("cut short") << QStringLiteral("cut short");
        QTest::newRow("a seed, not a state") << QStringLiteral("seed");
        QTest::newRow("blog of an unknown account") << QStringLiteral("unknown owner");
    }
    void testBrokenStateFileExitsWithStatus2AndIsLeftUntouched()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        {
            QProcess seeding;
            QVERIFY(startWithState(seeding, path));
            stopProgram(seeding);
        }
        const QByteArray valid = readFile(path);
        QByteArray bytes;
        if (kind == QLatin1String("not JSON"))
            bytes = "this is not JSON\n";
        else if (kind == QLatin1String("cut short"))
            bytes = valid.left(valid.size() / 2);
        else if (kind == QLatin1String("seed"))
            bytes = R"({"accounts": [{"id": "1", "name": "Solo"}], "blogs": []})";
        else if (kind == QLatin1String("unknown owner"))
            bytes = QByteArray(valid).replace("\"owner\": \"107741234567812345678\"", "\"owner\": \"0\"");
        QVERIFY(bytes != valid);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        }

        QProcess process;
        process.start(program(),
                      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--state"), path});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        const QByteArray error = process.readAllStandardError();
        QVERIFY2(error.startsWith("google-standin: ") && error.contains(path.toUtf8()), error.constData());
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QCOMPARE(readFile(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("state.json")});
    }

    void testStateFileThatCannotBeWrittenExitsWithStatus2()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("no such folder/state.json"));
        QProcess process;
        process.start(program(),
                      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--state"), path});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("google-standin: cannot write the state"));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }

    void testStateWritesNeverLeaveAPartialFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state.json"));
        QProcess process;
        std::unique_ptr<StandinClient> client = startWithState(process, path);
        QVERIFY(client);
        const QString token = signIn(*client).value(QStringLiteral("access_token")).toString();

        // Reads the file over and over while large photos make each write take a while.
        int reads = 0;
        QStringList broken;
        QTimer reader;
        reader.setInterval(0);
        connect(&reader, &QTimer::timeout, this, [&] {
            const QByteArray bytes = readFile(path);
            ++reads;
            QJsonParseError error;
            QJsonDocument::fromJson(bytes, &error);
            if (error.error != QJsonParseError::NoError)
                broken.append(QStringLiteral("%1 bytes: %2").arg(bytes.size()).arg(error.errorString()));
        });
        reader.start();
        const QByteArray png = noisePng(1000, 800);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(uploadPhoto(*client, token, png).status, 201);
        reader.stop();
        stopProgram(process);

        QVERIFY(reads > 4);
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
        QCOMPARE(
            QJsonDocument::fromJson(readFile(path)).object().value(QStringLiteral("photos")).toArray().size(),
            5);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("state.json")});
    }

    void testBadArgumentsExitWithMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("missing seed")
            << QStringList{QStringLiteral("--seed"), QStringLiteral("/nonexistent/seed.json")};
        QTest::newRow("port text") << QStringList{QStringLiteral("--port"), QStringLiteral("eighty")};
        QTest::newRow("port too large") << QStringList{QStringLiteral("--port"), QStringLiteral("70000")};
        QTest::newRow("empty state path") << QStringList{QStringLiteral("--state"), QString()};
    }
    void testBadArgumentsExitWithMessage()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(program(), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("google-standin: "));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStandinProgram)
#include "TestStandinProgram.moc"
