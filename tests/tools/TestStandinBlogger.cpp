#include "GoogleStandin.h"
#include "ReplyShape.h"
#include "StandinClient.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString TideBlog = QStringLiteral("4120843728710463922");
const QString KitchenBlog = QStringLiteral("7093345128812460051");
const QString LowTidePost = QStringLiteral("8816602137345629201");
const QString AtomNs = QStringLiteral("http://www.w3.org/2005/Atom");

struct FeedEntry
{
    QString id;
    QString title;
    QString published;
    QString updated;
    QStringList labels;
    QString draftNamespace; // namespace of app:control, empty when no draft marker
    bool draft = false;
    bool hasAlternate = false;
    int total = -1;
};

QString postIdOf(const QString& tagId)
{
    return tagId.section(QStringLiteral(".post-"), 1);
}

// A small reader of the feed, independent of the stand-in's writer.
QList<FeedEntry> readEntries(const QByteArray& xml, QString* nextLink = nullptr, int* totalResults = nullptr)
{
    QList<FeedEntry> out;
    QXmlStreamReader r(xml);
    FeedEntry* current = nullptr;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = r.name().toString();
        if (name == QLatin1String("entry")) {
            out.append(FeedEntry());
            current = &out.last();
        } else if (!current && name == QLatin1String("link") &&
                   r.attributes().value(QStringLiteral("rel")) == QLatin1String("next") && nextLink) {
            *nextLink = r.attributes().value(QStringLiteral("href")).toString();
        } else if (!current && name == QLatin1String("totalResults") && totalResults) {
            *totalResults = r.readElementText().toInt();
        } else if (current && name == QLatin1String("id")) {
            current->id = postIdOf(r.readElementText());
        } else if (current && name == QLatin1String("title")) {
            current->title = r.readElementText();
        } else if (current && name == QLatin1String("published")) {
            current->published = r.readElementText();
        } else if (current && name == QLatin1String("updated")) {
            current->updated = r.readElementText();
        } else if (current && name == QLatin1String("category")) {
            current->labels.append(r.attributes().value(QStringLiteral("term")).toString());
        } else if (current && name == QLatin1String("control")) {
            current->draftNamespace = r.namespaceUri().toString();
        } else if (current && name == QLatin1String("draft")) {
            current->draft = r.readElementText() == QLatin1String("yes");
        } else if (current && name == QLatin1String("link") &&
                   r.attributes().value(QStringLiteral("rel")) == QLatin1String("alternate")) {
            current->hasAlternate = true;
        } else if (current && name == QLatin1String("total")) {
            current->total = r.readElementText().toInt();
        }
    }
    return out;
}

// A lone entry document, read as a feed of one.
QList<FeedEntry> readEntryDocument(const QByteArray& xml)
{
    return readEntries("<feed>" + xml.mid(xml.indexOf("<entry")) + "</feed>");
}

QDateTime parseDate(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QJsonObject parseObject(const QByteArray& body)
{
    return QJsonDocument::fromJson(body).object();
}

} // namespace

class TestStandinBlogger : public QObject
{
    Q_OBJECT

private:
    GoogleStandin m_standin;
    std::unique_ptr<StandinClient> m_client;
    QString m_token;

    QList<QPair<QByteArray, QByteArray>> writeHeaders(bool overridePut = false)
    {
        QList<QPair<QByteArray, QByteArray>> h{
            qMakePair(QByteArray("Content-Type"), QByteArray("application/atom+xml")),
            qMakePair(QByteArray("GData-Version"), QByteArray("2"))};
        if (overridePut)
            h.append(qMakePair(QByteArray("X-HTTP-Method-Override"), QByteArray("PUT")));
        h.append(qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8()));
        return h;
    }
    QList<QPair<QByteArray, QByteArray>> authOnly()
    {
        return {qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8())};
    }
    QString feedPath(const QString& blog, int maxResults, int startIndex)
    {
        return QStringLiteral("/feeds/%1/posts/default?orderby=updated&max-results=%2&start-index=%3&rand=99")
            .arg(blog)
            .arg(maxResults)
            .arg(startIndex);
    }
    QString postIdTitled(const QString& blog, const QString& title)
    {
        const StandinBlog stored = *m_standin.blog(blog);
        for (const StandinPost& p : stored.posts) {
            if (p.title == title)
                return p.id;
        }
        return {};
    }
    void compareXmlShape(const QByteArray& actual, const QString& fixture)
    {
        QString error;
        const QSet<QString> shape = ReplyShape::xml(actual, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QSet<QString> expected = ReplyShape::xml(TestSupport::readFixture(fixture));
        QVERIFY(!expected.isEmpty());
        QVERIFY2(shape == expected,
                 qPrintable(fixture + QLatin1Char('\n') + ReplyShape::difference(shape, expected)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        QVERIFY(m_standin.start(0) != 0);
        m_client = std::make_unique<StandinClient>(m_standin.serverUrl());
    }
    void init()
    {
        m_standin.reset();
        m_token = m_standin.issueAccessToken();
    }

    // ---- feed ----

    void testFeedPageShapeMatchesFixture()
    {
        // One page holding published, draft and scheduled posts, with labels, comments and an image.
        const StandinClient::Reply r = m_client->get(feedPath(TideBlog, 30, 1), m_token);
        QCOMPARE(r.status, 200);
        QVERIFY(r.contentType.startsWith("application/atom+xml"));
        compareXmlShape(r.body, QStringLiteral("posts-feed-page.xml"));
    }

    void testFeedOrderedByUpdatedNewestFirst()
    {
        const QList<FeedEntry> entries = readEntries(m_client->get(feedPath(TideBlog, 100, 1), m_token).body);
        QCOMPARE(entries.size(), m_standin.blog(TideBlog)->posts.size());
        for (int i = 1; i < entries.size(); ++i)
            QVERIFY2(parseDate(entries[i - 1].updated) >= parseDate(entries[i].updated),
                     qPrintable(entries[i].title));
    }

    void testPagingCoversEveryPostOnce()
    {
        QStringList seen;
        int total = -1;
        for (int page = 0; page < 5; ++page) {
            QString next;
            const QList<FeedEntry> entries = readEntries(
                m_client->get(feedPath(TideBlog, 20, page * 20 + 1), m_token).body, &next, &total);
            for (const FeedEntry& e : entries)
                seen.append(e.id);
            QCOMPARE(next.isEmpty(), page * 20 + entries.size() >= total);
        }
        QCOMPARE(total, 24);
        QCOMPARE(seen.size(), 24);
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 24);
    }

    void testPagePastEndMatchesEmptyFixture()
    {
        const StandinClient::Reply r = m_client->get(feedPath(TideBlog, 20, 81), m_token);
        QCOMPARE(r.status, 200);
        QVERIFY(readEntries(r.body).isEmpty());
        compareXmlShape(r.body, QStringLiteral("posts-feed-empty.xml"));
    }

    void testInvalidPagingParametersRefused_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("start-index 0") << "max-results=20&start-index=0";
        QTest::newRow("start-index text") << "max-results=20&start-index=abc";
        QTest::newRow("max-results negative") << "max-results=-5&start-index=1";
        QTest::newRow("unknown orderby") << "orderby=title";
    }
    void testInvalidPagingParametersRefused()
    {
        QFETCH(QString, query);
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/feeds/%1/posts/default?").arg(TideBlog) + query, m_token);
        QCOMPARE(r.status, 400);
        QVERIFY(!r.body.contains("<feed"));
    }

    void testDraftAndScheduledMarkers()
    {
        const QList<FeedEntry> entries = readEntries(m_client->get(feedPath(TideBlog, 100, 1), m_token).body);
        int drafts = 0, scheduled = 0;
        for (const FeedEntry& e : entries) {
            if (e.draft) {
                ++drafts;
                QCOMPARE(e.draftNamespace, QStringLiteral("http://www.w3.org/2007/app"));
                QVERIFY(!e.hasAlternate);
                QCOMPARE(e.total, -1);
            } else {
                QVERIFY(e.hasAlternate);
                QVERIFY(e.total >= 0);
                if (parseDate(e.published) > parseDate(e.updated))
                    ++scheduled;
            }
        }
        QCOMPARE(drafts, 4);
        QCOMPARE(scheduled, 2);
    }

    void testUnknownBlogGets404()
    {
        QCOMPARE(m_client->get(feedPath(QStringLiteral("1234"), 20, 1), m_token).status, 404);
        QCOMPARE(
            m_client->get(QStringLiteral("/feeds/1234/posts/default/%1").arg(LowTidePost), m_token).status,
            404);
    }

    // ---- single entries ----

    void testEntryShapeMatchesFixture()
    {
        const QString id = postIdTitled(TideBlog, QStringLiteral("Rock pools of the north shore"));
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/feeds/%1/posts/default/%2?rand=1").arg(TideBlog, id), m_token);
        QCOMPARE(r.status, 200);
        compareXmlShape(r.body, QStringLiteral("post-entry.xml"));
    }

    void testEntryWithoutGDataVersionUsesOldAppNamespace()
    {
        const QString id = postIdTitled(TideBlog, QStringLiteral("Ideas for summer"));
        const StandinClient::Reply r = m_client->get(
            QStringLiteral("/feeds/%1/posts/default/%2?rand=1").arg(TideBlog, id), m_token, false);
        QCOMPARE(r.status, 200);
        compareXmlShape(r.body, QStringLiteral("post-entry-gdata1.xml"));
        const QList<FeedEntry> entries = readEntryDocument(r.body);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].draftNamespace, QStringLiteral("http://purl.org/atom/app#"));
    }

    void testUnknownPostGets404()
    {
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/feeds/%1/posts/default/42?rand=1").arg(TideBlog), m_token);
        QCOMPARE(r.status, 404);
    }

    // ---- add and update ----

    void testAddPostThenListShowsItFirst()
    {
        const QByteArray body = StandinClient::postBody(
            QStringLiteral("Tide & \"time\" <waits>"), QStringLiteral("<p>For no one.</p>"),
            {QStringLiteral("Q&A"), QStringLiteral("say \"hi\"")}, false);
        const StandinClient::Reply r = m_client->send(
            "POST", QStringLiteral("/feeds/%1/posts/default?rand=3").arg(TideBlog), writeHeaders(), body);
        QCOMPARE(r.status, 201);
        compareXmlShape(r.body, QStringLiteral("post-entry.xml"));
        const QList<FeedEntry> created = readEntryDocument(r.body);
        QCOMPARE(created.size(), 1);
        QCOMPARE(created[0].title, QStringLiteral("Tide & \"time\" <waits>"));
        QCOMPARE(created[0].labels, QStringList({QStringLiteral("Q&A"), QStringLiteral("say \"hi\"")}));
        QCOMPARE(created[0].total, 0);

        const QList<FeedEntry> listed = readEntries(m_client->get(feedPath(TideBlog, 20, 1), m_token).body);
        QCOMPARE(listed.first().id, created[0].id);
        QCOMPARE(m_standin.post(TideBlog, created[0].id)->content, QStringLiteral("<p>For no one.</p>"));
    }

    void testAddDraftAndScheduledPosts()
    {
        const StandinClient::Reply draft =
            m_client->send("POST", QStringLiteral("/feeds/%1/posts/default").arg(KitchenBlog), writeHeaders(),
                           StandinClient::postBody(QStringLiteral("Draft"), QStringLiteral("x"), {}, true));
        QCOMPARE(draft.status, 201);
        QVERIFY(readEntryDocument(draft.body).value(0).draft);

        const StandinClient::Reply later =
            m_client->send("POST", QStringLiteral("/feeds/%1/posts/default").arg(KitchenBlog), writeHeaders(),
                           StandinClient::postBody(QStringLiteral("Later"), QStringLiteral("y"), {}, false,
                                                   QStringLiteral("2035-06-01T08:00:00-07:00")));
        QCOMPARE(later.status, 201);
        const FeedEntry e = readEntryDocument(later.body).value(0);
        QVERIFY(!e.draft);
        QCOMPARE(parseDate(e.published), QDateTime(QDate(2035, 6, 1), QTime(15, 0), Qt::UTC));
        QVERIFY(parseDate(e.published) > parseDate(e.updated));
    }

    void testUpdateByPutAndByMethodOverride_data()
    {
        QTest::addColumn<bool>("viaOverride");
        QTest::newRow("PUT") << false;
        QTest::newRow("POST with override") << true;
    }
    void testUpdateByPutAndByMethodOverride()
    {
        QFETCH(bool, viaOverride);
        const QString id = postIdTitled(TideBlog, QStringLiteral("Half-written: storm season"));
        const QByteArray body =
            StandinClient::postBody(QStringLiteral("Storm season"), QStringLiteral("<p>Done.</p>"),
                                    {QStringLiteral("weather")}, false);
        const StandinClient::Reply r = m_client->send(
            viaOverride ? "POST" : "PUT",
            QStringLiteral("/feeds/%1/posts/default/%2?rand=5").arg(TideBlog, id), writeHeaders(true), body);
        QCOMPARE(r.status, 200);
        const StandinPost stored = *m_standin.post(TideBlog, id);
        QCOMPARE(stored.title, QStringLiteral("Storm season"));
        QVERIFY(!stored.draft);
        // A draft that goes live gets its address and is no longer counted as a draft.
        const FeedEntry e = readEntryDocument(r.body).value(0);
        QVERIFY(e.hasAlternate);
        QVERIFY(!stored.urlPath.isEmpty());
        QCOMPARE(m_standin.blog(TideBlog)->posts.size(), 24);
    }

    void testMalformedAtomBodyRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("truncated") << QByteArray("<entry xmlns='http://www.w3.org/2005/Atom'><title>x</ti");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not atom") << QByteArray("<entry><title>x</title></entry>");
        QTest::newRow("json") << QByteArray("{\"title\": \"x\"}");
        QTest::newRow("entity bomb") << QByteArray(
            "<!DOCTYPE e [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
            "<entry xmlns='http://www.w3.org/2005/Atom'><title>&b;</title></entry>");
        QTest::newRow("bad date") << StandinClient::postBody(QStringLiteral("t"), QStringLiteral("c"), {},
                                                             false, QStringLiteral("tomorrow"));
    }
    void testMalformedAtomBodyRefusedAndChangesNothing()
    {
        QFETCH(QByteArray, body);
        const QString id = postIdTitled(TideBlog, QStringLiteral("Kelp forests"));
        const StandinClient::Reply add = m_client->send(
            "POST", QStringLiteral("/feeds/%1/posts/default").arg(TideBlog), writeHeaders(), body);
        QCOMPARE(add.status, 400);
        QVERIFY(!add.body.isEmpty());
        const StandinClient::Reply put = m_client->send(
            "PUT", QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, id), writeHeaders(true), body);
        QCOMPARE(put.status, 400);
        QCOMPARE(m_standin.blog(TideBlog)->posts.size(), 24);
        QCOMPARE(m_standin.post(TideBlog, id)->title, QStringLiteral("Kelp forests"));
    }

    // ---- delete ----

    void testDeleteAnswers204ThenPostIsGone()
    {
        const QString path =
            QStringLiteral("/blogger/v3/blogs/%1/posts/%2?rand=8").arg(TideBlog, LowTidePost);
        const StandinClient::Reply r = m_client->send("DELETE", path, authOnly());
        QCOMPARE(r.status, 204);
        QVERIFY(r.body.isEmpty());
        QCOMPARE(
            m_client->get(QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, LowTidePost), m_token)
                .status,
            404);
        const QList<FeedEntry> listed = readEntries(m_client->get(feedPath(TideBlog, 100, 1), m_token).body);
        for (const FeedEntry& e : listed)
            QVERIFY(e.id != LowTidePost);
        const StandinClient::Reply again = m_client->send("DELETE", path, authOnly());
        QCOMPARE(again.status, 404);
        QCOMPARE(ReplyShape::json(again.body), ReplyShape::json(TestSupport::readFixture("error-404.json")));
    }

    void testDeleteOfUnknownBlogOrWithoutTokenRefused()
    {
        const StandinClient::Reply unknown = m_client->send(
            "DELETE", QStringLiteral("/blogger/v3/blogs/99/posts/%1").arg(LowTidePost), authOnly());
        QCOMPARE(unknown.status, 404);
        QCOMPARE(ReplyShape::json(unknown.body),
                 ReplyShape::json(TestSupport::readFixture("error-404.json")));
        const StandinClient::Reply anonymous = m_client->send(
            "DELETE", QStringLiteral("/blogger/v3/blogs/%1/posts/%2").arg(TideBlog, LowTidePost));
        QCOMPARE(anonymous.status, 401);
        QCOMPARE(ReplyShape::json(anonymous.body),
                 ReplyShape::json(TestSupport::readFixture("error-401.json")));
        QVERIFY(m_standin.post(TideBlog, LowTidePost).has_value());
    }

    // ---- comments ----

    void testCommentsListMatchesFixture()
    {
        const StandinClient::Reply r = m_client->get(
            QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments?maxResults=20").arg(TideBlog, LowTidePost),
            m_token, false);
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("comments.json")));
        QCOMPARE(parseObject(r.body).value("items").toArray().size(), 3);
    }

    void testCommentsPagingCoversEveryCommentOnce()
    {
        const QString id = postIdTitled(TideBlog, QStringLiteral("Seals at Godrevy"));
        QStringList seen;
        QString token;
        int pages = 0;
        do {
            QString path =
                QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments?maxResults=2").arg(TideBlog, id);
            if (!token.isEmpty())
                path += QStringLiteral("&pageToken=") + token;
            const QJsonObject o = parseObject(m_client->get(path, m_token, false).body);
            for (const QJsonValue& v : o.value("items").toArray())
                seen.append(v.toObject().value("id").toString());
            token = o.value("nextPageToken").toString();
            ++pages;
        } while (!token.isEmpty() && pages < 10);
        QCOMPARE(pages, 3);
        QCOMPARE(seen.size(), 5);
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 5);
    }

    void testPageTokenNearIntegerLimitEndsPaging()
    {
        // An offset close to the largest int must not wrap around into a further page.
        const QString token =
            QString::fromLatin1(QByteArray("offset:2147483647").toBase64(QByteArray::Base64UrlEncoding));
        const QString id = postIdTitled(TideBlog, QStringLiteral("Seals at Godrevy"));
        const StandinClient::Reply r =
            m_client->get(QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments?maxResults=20&pageToken=%3")
                              .arg(TideBlog, id, token),
                          m_token, false);
        QCOMPARE(r.status, 200);
        const QJsonObject o = parseObject(r.body);
        QVERIFY(o.value("items").toArray().isEmpty());
        QVERIFY2(!o.contains("nextPageToken"), r.body.constData());
    }

    void testInvalidCommentPagingRefused()
    {
        const QString base =
            QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments").arg(TideBlog, LowTidePost);
        QCOMPARE(m_client->get(base + QStringLiteral("?pageToken=garbage!"), m_token, false).status, 400);
        QCOMPARE(m_client->get(base + QStringLiteral("?maxResults=0"), m_token, false).status, 400);
        QCOMPARE(
            m_client
                ->get(QStringLiteral("/blogger/v3/blogs/%1/posts/1/comments").arg(TideBlog), m_token, false)
                .status,
            404);
    }

    void testCommentGetMatchesFixture()
    {
        const QString commentId = m_standin.post(TideBlog, LowTidePost)->comments.first().id;
        const StandinClient::Reply r = m_client->get(
            QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments/%3").arg(TideBlog, LowTidePost, commentId),
            m_token, false);
        QCOMPARE(r.status, 200);
        QCOMPARE(ReplyShape::json(r.body), ReplyShape::json(TestSupport::readFixture("comment.json")));
        QCOMPARE(
            m_client
                ->get(QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments/77").arg(TideBlog, LowTidePost),
                      m_token, false)
                .status,
            404);
    }

    void testAddCommentMatchesFixtureAndCounts()
    {
        const StandinClient::Reply r =
            m_client->send("POST", QStringLiteral("/feeds/%1/%2/comments/default").arg(TideBlog, LowTidePost),
                           writeHeaders(), StandinClient::commentBody(QStringLiteral("Nice & <b>bold</b>")));
        QCOMPARE(r.status, 201);
        compareXmlShape(r.body, QStringLiteral("comment-entry.xml"));
        const StandinPost post = *m_standin.post(TideBlog, LowTidePost);
        QCOMPARE(post.comments.size(), 4);
        QCOMPARE(post.comments.last().content, QStringLiteral("Nice & <b>bold</b>"));
        const FeedEntry e =
            readEntries(
                m_client
                    ->get(QStringLiteral("/feeds/%1/posts/default/%2").arg(TideBlog, LowTidePost), m_token)
                    .body.replace("<entry", "<feed><entry") +
                "</feed>")
                .value(0);
        QCOMPARE(e.total, 4);
    }

    void testAddCommentWithoutContentRefused()
    {
        const StandinClient::Reply r =
            m_client->send("POST", QStringLiteral("/feeds/%1/%2/comments/default").arg(TideBlog, LowTidePost),
                           writeHeaders(), StandinClient::commentBody(QString()));
        QCOMPARE(r.status, 400);
        QCOMPARE(m_standin.post(TideBlog, LowTidePost)->comments.size(), 3);
    }

    void testDeleteCommentThenGetIs404()
    {
        const QString commentId = m_standin.post(TideBlog, LowTidePost)->comments.first().id;
        const StandinClient::Reply r = m_client->send(
            "DELETE",
            QStringLiteral("/feeds/%1/%2/comments/default/%3").arg(TideBlog, LowTidePost, commentId),
            authOnly());
        QCOMPARE(r.status, 200);
        QCOMPARE(m_client
                     ->get(QStringLiteral("/blogger/v3/blogs/%1/posts/%2/comments/%3")
                               .arg(TideBlog, LowTidePost, commentId),
                           m_token, false)
                     .status,
                 404);
        QCOMPARE(
            m_client
                ->send(
                    "DELETE",
                    QStringLiteral("/feeds/%1/%2/comments/default/%3").arg(TideBlog, LowTidePost, commentId),
                    authOnly())
                .status,
            404);
    }

    // ---- photos ----

    void testPhotoUploadMatchesFixtureAndServesBytes()
    {
        const StandinPhoto seeded = m_standin.photos().first();
        auto headers = authOnly();
        headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("image/png")));
        headers.append(qMakePair(QByteArray("Slug"), QByteArray("beach.png")));
        const StandinClient::Reply r = m_client->send(
            "POST", QStringLiteral("/data/feed/api/user/default/albumid/default"), headers, seeded.data);
        QCOMPARE(r.status, 201);
        compareXmlShape(r.body, QStringLiteral("photo-entry.xml"));
        QXmlStreamReader xml(r.body);
        QString src;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("content") &&
                xml.namespaceUri() == AtomNs)
                src = xml.attributes().value(QStringLiteral("src")).toString();
        }
        QVERIFY(src.startsWith(m_standin.serverUrl().toString()));
        const StandinClient::Reply image =
            m_client->send("GET", src.mid(m_standin.serverUrl().toString().size()));
        QCOMPARE(image.status, 200);
        QCOMPARE(image.body, seeded.data);
        QCOMPARE(image.contentType, QByteArray("image/png"));
        QCOMPARE(m_standin.photos().size(), 2);
    }

    void testPhotoUploadRefusesWhatIsNoImage_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("text") << QByteArray("text/plain") << QByteArray("hello");
        QTest::newRow("empty") << QByteArray("image/jpeg") << QByteArray();
        QTest::newRow("garbage jpeg") << QByteArray("image/jpeg") << QByteArray("\xFF\xD8 not really", 14);
    }
    void testPhotoUploadRefusesWhatIsNoImage()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        auto headers = authOnly();
        headers.append(qMakePair(QByteArray("Content-Type"), type));
        const StandinClient::Reply r = m_client->send(
            "POST", QStringLiteral("/data/feed/api/user/default/albumid/default"), headers, body);
        QCOMPARE(r.status, 400);
        QCOMPARE(m_standin.photos().size(), 1);
    }

    // ---- blog pages ----

    void testBlogPagesAndTemplateAddress()
    {
        const QString blogUrl = m_standin.serverUrl().toString() + QStringLiteral("/tidetables/");
        const StandinClient::Reply home = m_client->send("GET", QStringLiteral("/tidetables/"));
        QCOMPARE(home.status, 200);
        QVERIFY(home.body.contains("Tide Tables"));
        QVERIFY(!home.body.contains("Half-written"));
        // The application appends "/temp/post/title.html" to an address that already ends in "/".
        const StandinClient::Reply temp = m_client->send(
            "GET", (blogUrl + QStringLiteral("/temp/post/title.html")).mid(blogUrl.indexOf("/tidetables")));
        QVERIFY(temp.body.contains("Tide Tables"));
        QVERIFY(temp.body.contains("post-body") || temp.body.contains("status-msg-body"));
        const StandinClient::Reply post = m_client->send(
            "GET", QStringLiteral("/tidetables/") + m_standin.post(TideBlog, LowTidePost)->urlPath);
        QCOMPARE(post.status, 200);
        QVERIFY(post.body.contains("Low tide at Porthcurno &amp; beyond"));
        QCOMPARE(m_client->send("GET", QStringLiteral("/no-such-blog/")).status, 404);
    }

    // ---- routing ----

    void testMethodsAndPathsOutsideTheServicesRefused_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type");
        const QString post =
            QStringLiteral("/blogger/v3/blogs/") + TideBlog + QStringLiteral("/posts/") + LowTidePost;
        const QString feed = QStringLiteral("/feeds/") + TideBlog + QLatin1Char('/');
        QTest::newRow("consent by PUT")
            << QByteArray("PUT") << QStringLiteral("/o/oauth2/auth") << 405 << QByteArray("text/html");
        QTest::newRow("unknown sign-in page")
            << QByteArray("GET") << QStringLiteral("/o/oauth2/other") << 404 << QByteArray("text/html");
        QTest::newRow("token by GET") << QByteArray("GET") << QStringLiteral("/oauth2/v3/token") << 405
                                      << QByteArray("application/json");
        QTest::newRow("userinfo by POST") << QByteArray("POST") << QStringLiteral("/oauth2/v2/userinfo")
                                          << 405 << QByteArray("application/json");
        QTest::newRow("blogs of another user")
            << QByteArray("GET") << QStringLiteral("/blogger/v3/users/42/blogs") << 404
            << QByteArray("application/json");
        QTest::newRow("unknown JSON path")
            << QByteArray("GET") << QStringLiteral("/blogger/v3") << 404 << QByteArray("application/json");
        QTest::newRow("JSON post by GET")
            << QByteArray("GET") << post << 405 << QByteArray("application/json");
        QTest::newRow("JSON comments by POST") << QByteArray("POST") << post + QStringLiteral("/comments")
                                               << 405 << QByteArray("application/json");
        QTest::newRow("JSON path too long") << QByteArray("GET") << post + QStringLiteral("/comments/1/x")
                                            << 404 << QByteArray("application/json");
        QTest::newRow("feed by DELETE") << QByteArray("DELETE") << feed + QStringLiteral("posts/default")
                                        << 405 << QByteArray("text/plain");
        QTest::newRow("unknown feed path")
            << QByteArray("GET") << feed + QStringLiteral("nothing") << 404 << QByteArray("text/plain");
        QTest::newRow("comment add by GET")
            << QByteArray("GET") << feed + LowTidePost + QStringLiteral("/comments/default") << 405
            << QByteArray("text/plain");
        QTest::newRow("photo upload by GET")
            << QByteArray("GET") << QStringLiteral("/data/feed/api/user/default/albumid/default") << 405
            << QByteArray("text/plain");
        QTest::newRow("photo by DELETE")
            << QByteArray("DELETE") << QStringLiteral("/photos/1/a.png") << 405 << QByteArray("text/plain");
        QTest::newRow("unknown photo")
            << QByteArray("GET") << QStringLiteral("/photos/1/a.png") << 404 << QByteArray("text/html");
        QTest::newRow("picture by POST")
            << QByteArray("POST") << QStringLiteral("/img/a.gif") << 404 << QByteArray("text/html");
        QTest::newRow("picture") << QByteArray("GET") << QStringLiteral("/img/a.gif") << 200
                                 << QByteArray("image/gif");
        QTest::newRow("blog page by POST")
            << QByteArray("POST") << QStringLiteral("/tidetables/") << 404 << QByteArray("text/html");
    }
    void testMethodsAndPathsOutsideTheServicesRefused()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        const QList<QPair<QByteArray, QByteArray>> auth{
            qMakePair(QByteArray("Authorization"), "OAuth " + m_token.toUtf8())};
        const StandinClient::Reply r = m_client->send(method, path, auth);
        QCOMPARE(r.status, status);
        QVERIFY2(r.contentType.startsWith(type), r.contentType.constData());
        QCOMPARE(m_standin.post(TideBlog, LowTidePost).has_value(), true);
    }
};

QTEST_GUILESS_MAIN(TestStandinBlogger)
#include "TestStandinBlogger.moc"
