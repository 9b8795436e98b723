#include "GoogleStandin.h"
#include "StandinClient.h"
#include "StandinDates.h"
#include "StandinStateFile.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QString OldBase = QStringLiteral("http://127.0.0.1:4123");
const QString NewBase = QStringLiteral("http://127.0.0.1:5077");
const QString TideBlog = QStringLiteral("4120843728710463922");
const QString LowTidePost = QStringLiteral("8816602137345629201");
const QString Oob = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");

QDateTime at(const char* text)
{
    return StandinDates::parse(QLatin1String(text));
}

// The default seed with one record of every kind the seed cannot express.
StandinState richState()
{
    StandinState state;
    QString error;
    if (!state.loadSeed(GoogleStandin::defaultSeed(), OldBase, &error))
        qFatal("default seed: %s", qPrintable(error));
    StandinBlog& blog = state.blogs.first();

    StandinPost draft;
    draft.id = QStringLiteral("1000000000000000001");
    draft.title = QStringLiteral("Brouillon — ünïcödé 🌊 \"quoted\"");
    draft.content = QStringLiteral("<p>line\nbreak\ttab</p>");
    draft.labels = {QStringLiteral("Q&A"), QString(), QStringLiteral("日本")};
    draft.published = at("2016-07-01T23:59:59.999+05:30");
    draft.updated = at("2016-07-02T00:00:00.001-09:00");
    draft.draft = true;
    StandinComment comment;
    comment.id = QStringLiteral("2000000000000000002");
    comment.authorName = QStringLiteral("Anonymous");
    comment.published = at("2016-07-03T10:00:00.123Z");
    comment.updated = at("2016-07-04T11:30:00.456Z");
    comment.content = QStringLiteral("edited later");
    draft.comments.append(comment);
    StandinComment undated = comment;
    undated.id = QStringLiteral("2000000000000000003");
    undated.updated = QDateTime();
    draft.comments.append(undated);
    blog.posts.prepend(draft);

    StandinPhoto photo;
    photo.id = QStringLiteral("3000000000000000004");
    photo.ownerId = state.accounts.first().id;
    photo.albumId = state.accounts.first().albumId;
    photo.fileName = QStringLiteral("every byte.bin");
    photo.contentType = QByteArray("image/x-\xE9", 9);
    for (int i = 0; i < 256; ++i)
        photo.data.append(char(i));
    photo.published = at("2017-01-01T00:00:00.000Z");
    photo.width = 7;
    photo.height = 3;
    state.photos.append(photo);

    const QString mara = state.accounts.first().id;
    state.codes.insert(QStringLiteral("4/0Adcode"),
                       StandinGrant{mara, QStringLiteral("profile"), QStringLiteral("client"), Oob, true});
    state.accessTokens.insert(
        QStringLiteral("tok-a"),
        StandinGrant{mara, QStringLiteral("profile email"), QStringLiteral("client"), QString(), false});
    state.accessTokens.insert(QStringLiteral("tok-b"), StandinGrant{mara, QStringLiteral("profile"),
                                                                    QStringLiteral("c2"), QString(), true});
    state.refreshTokens.insert(
        QStringLiteral("ref-a"),
        StandinGrant{mara, QStringLiteral("profile"), QStringLiteral("client"), QString(), false});
    return state;
}

// Through bytes, as the file carries it.
QJsonObject throughFile(const QJsonObject& json)
{
    return QJsonDocument::fromJson(QJsonDocument(json).toJson()).object();
}

// Sets (or with an undefined value removes) the value at a path of keys and list indices.
QJsonValue setAt(const QJsonValue& node, QStringList path, const QJsonValue& value)
{
    const QString step = path.takeFirst();
    if (node.isArray()) {
        QJsonArray a = node.toArray();
        const int i = step.toInt();
        if (path.isEmpty())
            a[i] = value;
        else
            a[i] = setAt(a[i], path, value);
        return a;
    }
    QJsonObject o = node.toObject();
    if (path.isEmpty() && value.isUndefined())
        o.remove(step);
    else
        o[step] = path.isEmpty() ? value : setAt(o[step], path, value);
    return o;
}

void compareStates(const StandinState& actual, const StandinState& expected)
{
    QCOMPARE(actual.accounts.size(), expected.accounts.size());
    QVERIFY(actual.accounts == expected.accounts);
    QCOMPARE(actual.blogs.size(), expected.blogs.size());
    for (qsizetype b = 0; b < expected.blogs.size(); ++b) {
        QCOMPARE(actual.blogs[b].posts.size(), expected.blogs[b].posts.size());
        for (qsizetype p = 0; p < expected.blogs[b].posts.size(); ++p) {
            const StandinPost& a = actual.blogs[b].posts[p];
            const StandinPost& e = expected.blogs[b].posts[p];
            QCOMPARE(a.id, e.id);
            QCOMPARE(a.title, e.title);
            QCOMPARE(a.labels, e.labels);
            QCOMPARE(a.published, e.published);
            QCOMPARE(a.updated, e.updated);
            QVERIFY2(a == e, qPrintable(e.id));
        }
        QVERIFY(actual.blogs[b] == expected.blogs[b]);
    }
    QCOMPARE(actual.photos.size(), expected.photos.size());
    for (qsizetype p = 0; p < expected.photos.size(); ++p) {
        QCOMPARE(actual.photos[p].data, expected.photos[p].data);
        QCOMPARE(actual.photos[p].contentType, expected.photos[p].contentType);
        QVERIFY(actual.photos[p] == expected.photos[p]);
    }
    QVERIFY(actual.codes == expected.codes);
    QVERIFY(actual.accessTokens == expected.accessTokens);
    QVERIFY(actual.refreshTokens == expected.refreshTokens);
}

QString formBody(const QList<QPair<QString, QString>>& fields)
{
    QStringList parts;
    for (const auto& f : fields)
        parts.append(f.first + QLatin1Char('=') + QString::fromUtf8(QUrl::toPercentEncoding(f.second)));
    return parts.join(QLatin1Char('&'));
}

} // namespace

// The state file: what it keeps, what it refuses, and that a running stand-in keeps it current.
class TestStandinStateFile : public QObject
{
    Q_OBJECT

private:
    GoogleStandin m_standin;
    std::unique_ptr<StandinClient> m_client;
    QTemporaryDir m_dir;
    QString m_path;
    QString m_token;

    QList<QPair<QByteArray, QByteArray>> authHeaders(const QByteArray& contentType = QByteArray())
    {
        QList<QPair<QByteArray, QByteArray>> h{
            qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8()),
            qMakePair(QByteArray("GData-Version"), QByteArray("2"))};
        if (!contentType.isEmpty())
            h.append(qMakePair(QByteArray("Content-Type"), contentType));
        return h;
    }
    StandinState stateOnDisk()
    {
        QJsonObject json;
        QString error;
        StandinState state;
        if (!StandinStateFile::read(m_path, &json, &error) ||
            !StandinStateFile::fromJson(json, m_standin.serverUrl().toString(), &state, &error))
            qWarning("%s", qPrintable(error));
        return state;
    }
    static QStringList liveTokens(const QHash<QString, StandinGrant>& grants)
    {
        QStringList out;
        for (auto it = grants.begin(); it != grants.end(); ++it) {
            if (!it->spent)
                out.append(it.key());
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    static QStringList sorted(QStringList list)
    {
        std::sort(list.begin(), list.end());
        return list;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("state.json"));
        QVERIFY(m_standin.start(0) != 0);
        m_standin.setStateFile(m_path);
        m_client = std::make_unique<StandinClient>(m_standin.serverUrl());
    }
    void init()
    {
        m_standin.reset();
        m_token = m_standin.issueAccessToken();
        QFile::remove(m_path);
    }

    // ---- the format ----

    void testRoundTripKeepsEveryRecordExactly()
    {
        const StandinState original = richState();
        StandinState loaded;
        QString error;
        QVERIFY2(StandinStateFile::fromJson(throughFile(StandinStateFile::toJson(original, OldBase)), OldBase,
                                            &loaded, &error),
                 qPrintable(error));
        compareStates(loaded, original);
        // Milliseconds and offsets survive as the same instant.
        QCOMPARE(loaded.blogs.first().posts.first().published.toMSecsSinceEpoch(),
                 at("2016-07-01T18:29:59.999Z").toMSecsSinceEpoch());
        QVERIFY(!loaded.blogs.first().posts.first().comments.last().updated.isValid());
    }

    void testSameStateWritesSameBytes()
    {
        const StandinState state = richState();
        const QByteArray first = QJsonDocument(StandinStateFile::toJson(state, OldBase)).toJson();
        StandinState loaded;
        QVERIFY(
            StandinStateFile::fromJson(QJsonDocument::fromJson(first).object(), OldBase, &loaded, nullptr));
        QCOMPARE(QJsonDocument(StandinStateFile::toJson(loaded, OldBase)).toJson(), first);
    }

    void testNewPortMovesOnlyTheStandinsOwnAddress()
    {
        StandinState state = richState();
        StandinPost& post = state.blogs.first().posts.first();
        post.content = OldBase + QStringLiteral("/photos/1/a.png ") + OldBase +
                       QStringLiteral("4/other-port.png {base}/kept literally");
        state.accessTokens[QStringLiteral("tok-a")].redirectUri = OldBase;
        StandinState loaded;
        QVERIFY(StandinStateFile::fromJson(throughFile(StandinStateFile::toJson(state, OldBase)), NewBase,
                                           &loaded, nullptr));
        QCOMPARE(loaded.blogs.first().posts.first().content,
                 NewBase + QStringLiteral("/photos/1/a.png ") + OldBase +
                     QStringLiteral("4/other-port.png {base}/kept literally"));
        QCOMPARE(loaded.accounts.first().picture, NewBase + QStringLiteral("/img/mara-quill.png"));
        // The client's redirect address is not the stand-in's, whatever its port.
        QCOMPARE(loaded.accessTokens.value(QStringLiteral("tok-a")).redirectUri, OldBase);
    }

    void testBrokenStateRefusedAndNothingChanged_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("reason");
        using L = QStringList;
        const QJsonValue gone(QJsonValue::Undefined);
        QTest::newRow("no format, as in a seed")
            << L{"format"} << gone << QStringLiteral("not a google-standin state");
        QTest::newRow("later version") << L{"version"} << QJsonValue(2) << QStringLiteral("version 2");
        QTest::newRow("no base address") << L{"baseUrl"} << gone << "\"baseUrl\" is missing";
        QTest::newRow("accounts not a list")
            << L{"accounts"} << QJsonValue(QStringLiteral("x")) << QStringLiteral("a list");
        QTest::newRow("post date no date")
            << L{"blogs", "0", "posts", "1", "published"} << QJsonValue(QStringLiteral("yesterday"))
            << "\"published\" is not a date";
        QTest::newRow("post title a number")
            << L{"blogs", "0", "posts", "1", "title"} << QJsonValue(42) << "\"title\" is not a text";
        QTest::newRow("post without updated")
            << L{"blogs", "0", "posts", "1", "updated"} << gone << "\"updated\" is missing";
        QTest::newRow("repeated post id")
            << L{"blogs", "0", "posts", "1", "id"} << QJsonValue(QStringLiteral("1000000000000000001"))
            << QStringLiteral("repeated");
        QTest::newRow("comment without id") << L{"blogs", "0", "posts", "0", "comments", "0", "id"}
                                            << QJsonValue(QString()) << QStringLiteral("an id");
        QTest::newRow("offset a fraction")
            << L{"blogs", "0", "utcOffsetMinutes"} << QJsonValue(1.5) << QStringLiteral("a whole number");
        QTest::newRow("blog of nobody") << L{"blogs", "1", "owner"} << QJsonValue(QStringLiteral("404"))
                                        << QStringLiteral("unknown owner");
        QTest::newRow("blog on a service path")
            << L{"blogs", "1", "path"} << QJsonValue(QStringLiteral("feeds"))
            << QStringLiteral("unusable path");
        QTest::newRow("photo bytes no base64")
            << L{"photos", "1", "data"} << QJsonValue(QStringLiteral("@@not base64@@"))
            << QStringLiteral("base64");
        QTest::newRow("draft flag a text")
            << L{"blogs", "0", "posts", "0", "draft"} << QJsonValue(QStringLiteral("yes"))
            << QStringLiteral("true or false");
        QTest::newRow("repeated token")
            << L{"accessTokens", "1", "token"} << QJsonValue(QStringLiteral("tok-a"))
            << QStringLiteral("repeated token");
    }
    void testBrokenStateRefusedAndNothingChanged()
    {
        QFETCH(QStringList, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, reason);
        const QJsonObject good = StandinStateFile::toJson(richState(), OldBase);
        const QJsonObject broken = setAt(good, path, value).toObject();
        QVERIFY(broken != good);

        StandinState target = richState();
        target.blogs.removeLast();
        const StandinState before = target;
        QString error;
        QVERIFY(!StandinStateFile::fromJson(broken, OldBase, &target, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        compareStates(target, before);
    }

    void testUnreadableFileReported_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("broken JSON");
        QTest::newRow("cut short") << QByteArray("{\"format\": \"google-standin state\", \"acc")
                                   << QStringLiteral("broken JSON");
        QTest::newRow("a list") << QByteArray("[]") << QStringLiteral("not a JSON object");
    }
    void testUnreadableFileReported()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QFile file(m_dir.filePath(QStringLiteral("unreadable.json")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        QJsonObject json;
        QString error;
        QVERIFY(!StandinStateFile::read(file.fileName(), &json, &error));
        QVERIFY2(error.startsWith(file.fileName()) && error.contains(reason), qPrintable(error));
        QVERIFY(!StandinStateFile::read(m_dir.filePath(QStringLiteral("missing.json")), &json, &error));
    }

    // ---- a running stand-in keeps the file current ----

    void testEveryChangeIsOnDiskBeforeItsReply_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QString entry = QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, LowTidePost);
        const QString comments = QStringLiteral("/feeds/%1/%2/comments/default").arg(TideBlog, LowTidePost);
        const QByteArray atom("application/atom+xml");
        QTest::newRow("add post") << QByteArray("POST")
                                  << QStringLiteral("/feeds/%1/posts/default").arg(TideBlog) << atom
                                  << StandinClient::postBody("New", "<p>n</p>", {}, false) << 201;
        QTest::newRow("update post") << QByteArray("PUT") << entry << atom
                                     << StandinClient::postBody("Changed", "<p>c</p>", {"x"}, false) << 200;
        QTest::newRow("delete post (Atom)")
            << QByteArray("DELETE") << entry << QByteArray() << QByteArray() << 200;
        QTest::newRow("delete post (JSON)")
            << QByteArray("DELETE")
            << QStringLiteral("/blogger/v3/blogs/%1/posts/%2").arg(TideBlog, LowTidePost) << QByteArray()
            << QByteArray() << 204;
        QTest::newRow("add comment") << QByteArray("POST") << comments << atom
                                     << StandinClient::commentBody(QStringLiteral("hello")) << 201;
        QTest::newRow("delete comment")
            << QByteArray("DELETE") << comments + QStringLiteral("/3310985522117467013") << QByteArray()
            << QByteArray() << 200;
        QTest::newRow("upload photo")
            << QByteArray("POST") << QStringLiteral("/data/feed/api/user/default/albumid/default")
            << QByteArray("image/png") << QByteArray() << 201;
    }
    void testEveryChangeIsOnDiskBeforeItsReply()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        if (contentType == "image/png")
            body = m_standin.photos().first().data;
        QVERIFY(!QFile::exists(m_path));
        const StandinClient::Reply r = m_client->send(method, path, authHeaders(contentType), body);
        QCOMPARE(r.status, status);
        QVERIFY(QFile::exists(m_path));
        const StandinState disk = stateOnDisk();
        QVERIFY(disk.blogs == m_standin.blogs());
        QVERIFY(disk.photos == m_standin.photos());
    }

    void testTokenGrantsAreOnDiskBeforeTheirReply()
    {
        const StandinConfig config = m_standin.config();
        const QString code = m_standin.issueAuthorizationCode();
        QVERIFY(liveTokens(stateOnDisk().codes).contains(code));
        QFile::remove(m_path);

        const StandinClient::Reply exchanged = m_client->send(
            "POST", QStringLiteral("/oauth2/v3/token"),
            {qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded"))},
            formBody({{"code", code},
                      {"client_id", config.clientId},
                      {"client_secret", config.clientSecret},
                      {"redirect_uri", Oob},
                      {"grant_type", "authorization_code"}})
                .toUtf8());
        QCOMPARE(exchanged.status, 200);
        const QJsonObject tokens = QJsonDocument::fromJson(exchanged.body).object();
        StandinState disk = stateOnDisk();
        QVERIFY(disk.codes.value(code).spent);
        QVERIFY(liveTokens(disk.accessTokens).contains(tokens.value("access_token").toString()));
        QVERIFY(liveTokens(disk.refreshTokens).contains(tokens.value("refresh_token").toString()));

        QFile::remove(m_path);
        const StandinClient::Reply refreshed = m_client->send(
            "POST", QStringLiteral("/oauth2/v3/token"),
            {qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded"))},
            formBody({{"refresh_token", tokens.value("refresh_token").toString()},
                      {"client_id", config.clientId},
                      {"client_secret", config.clientSecret},
                      {"grant_type", "refresh_token"}})
                .toUtf8());
        QCOMPARE(refreshed.status, 200);
        disk = stateOnDisk();
        QCOMPARE(liveTokens(disk.accessTokens), sorted(m_standin.accessTokens()));
        QVERIFY(
            liveTokens(disk.accessTokens)
                .contains(QJsonDocument::fromJson(refreshed.body).object().value("access_token").toString()));

        m_standin.expireAllAccessTokens();
        QVERIFY(liveTokens(stateOnDisk().accessTokens).isEmpty());
        m_standin.revokeAllRefreshTokens();
        QVERIFY(liveTokens(stateOnDisk().refreshTokens).isEmpty());
    }

    void testRefusedOrReadingRequestsLeaveTheFileAlone_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("authorized");
        QTest::newRow("list posts") << QByteArray("GET")
                                    << QStringLiteral("/feeds/%1/posts/default").arg(TideBlog) << true;
        QTest::newRow("blog page") << QByteArray("GET") << QStringLiteral("/tidetables/") << false;
        QTest::newRow("user information")
            << QByteArray("GET") << QStringLiteral("/oauth2/v2/userinfo") << true;
        QTest::newRow("delete without token")
            << QByteArray("DELETE")
            << QStringLiteral("/blogger/v3/blogs/%1/posts/%2").arg(TideBlog, LowTidePost) << false;
    }
    void testRefusedOrReadingRequestsLeaveTheFileAlone()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(bool, authorized);
        const StandinClient::Reply r =
            m_client->send(method, path, authorized ? authHeaders() : QList<QPair<QByteArray, QByteArray>>());
        QVERIFY(r.status != 0);
        QVERIFY(!QFile::exists(m_path));
    }

    void testLoadedStateReplacesTheRunningOne()
    {
        const QString added = m_standin.addPost(TideBlog, StandinPost{});
        QVERIFY(!added.isEmpty());
        QString error;
        QVERIFY(QFile::copy(m_path, m_dir.filePath(QStringLiteral("kept.json"))));
        QVERIFY(m_standin.removePost(TideBlog, added));
        QVERIFY(!m_standin.post(TideBlog, added));
        QVERIFY2(m_standin.loadStateFile(m_dir.filePath(QStringLiteral("kept.json")), &error),
                 qPrintable(error));
        QVERIFY(m_standin.post(TideBlog, added).has_value());
        StandinState disk = stateOnDisk();
        QVERIFY(disk.blog(TideBlog) != nullptr);
        QVERIFY(StandinState::post(*disk.blog(TideBlog), added) != nullptr);
        QFile::remove(m_dir.filePath(QStringLiteral("kept.json")));
    }
};

QTEST_GUILESS_MAIN(TestStandinStateFile)
#include "TestStandinStateFile.moc"
