#include "TestSupport.h"

#include "common/GoogleDateService.h"
#include "common/StringExtensions.h"
#include "common/StringServices.h"
#include "google/AlbumXMLParser.h"
#include "google/BloggerXMLParser.h"
#include "google/CommentXMLParser.h"
#include "google/JsonServiceError.h"
#include "google/PhotoXMLParser.h"
#include "google/PostXMLParser.h"
#include "google/PostsListXMLParser.h"
#include "google/UsersAndBlogsGoogleService.h"
#include "google/XmlStructureLimits.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

QString corpusFolder(const QString& kind)
{
    return qEnvironmentVariable("PENHOLLOW_SOURCE_DIR") + QStringLiteral("/tests/corpus/") + kind;
}

// One row per file of the kind's folder.
void addCorpusRows(const QString& kind)
{
    QTest::addColumn<QString>("path");
    const QDir folder(corpusFolder(kind));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), qPrintable(folder.path()));
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("Cannot read %s", qPrintable(path));
    }
    return file.readAll();
}

// Replies reach the readers decoded as the services decode them; ".utf16" files hold raw UTF-16 units
// (lone surrogates included), which no UTF-8 file can.
QString text(const QString& path)
{
    const QByteArray bytes = contents(path);
    if (path.endsWith(QLatin1StringView(".utf16"))) {
        return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    }
    return QString::fromUtf8(bytes);
}

// A parse outcome is a result or a reason: success comes without details, failure never without.
bool isClear(const BloggerSuccessResponse& response)
{
    return response.success == response.details.isEmpty();
}

} // namespace

class TestCorpusReplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void testAtomReadersGiveAResultOrAClearError_data() { addCorpusRows(QStringLiteral("atom")); }

    void testAtomReadersGiveAResultOrAClearError()
    {
        QFETCH(QString, path);
        const QString xml = text(path);
        const BloggerXMLParser facade;

        const auto post = PostXMLParser(xml).parse();
        const auto page = PostsListXMLParser(xml).parse();
        const auto comment = CommentXMLParser(xml).parse();
        const auto album = AlbumXMLParser(xml).parse();
        const auto photo = PhotoXMLParser(xml).parse();
        QVERIFY(isClear(post.first) && isClear(page.first) && isClear(comment.first) &&
                isClear(album.first) && isClear(photo.first));

        // The facade runs a fresh reader per call: the same outcome.
        QVERIFY(facade.parsePost(xml) == post);
        QVERIFY(facade.parsePostsList(xml) == page);
        QVERIFY(facade.parseComment(xml) == comment);
        QVERIFY(facade.parseAlbum(xml) == album);
        QVERIFY(facade.parsePhoto(xml) == photo);

        if (const std::optional<QString> refusal = XmlStructureLimits::refusal(xml)) {
            for (const BloggerSuccessResponse& response :
                 {post.first, page.first, comment.first, album.first, photo.first}) {
                QCOMPARE(response, BloggerSuccessResponse(false, *refusal));
            }
            QVERIFY(!post.second && page.second.isEmpty() && !comment.second && !album.second &&
                    !photo.second);
        }
        QList<BloggerPost> posts = page.second;
        if (post.second) {
            posts.append(*post.second);
        }
        for (const BloggerPost& read : posts) {
            QVERIFY(read.commentsCount >= 0);
            QVERIFY(!read.url.isEmpty());
            QVERIFY(read.postStatus == PostStatus::Published || read.postStatus == PostStatus::Draft ||
                    read.postStatus == PostStatus::Scheduled);
        }
    }

    void testJsonReadersNeverTakeAnErrorForAValue_data() { addCorpusRows(QStringLiteral("json")); }

    void testJsonReadersNeverTakeAnErrorForAValue()
    {
        QFETCH(QString, path);
        const QJsonDocument document = QJsonDocument::fromJson(contents(path));
        if (!document.isObject()) {
            return;
        }
        const QJsonObject reply = document.object();
        const std::optional<QString> refusal = JsonServiceError::message(reply);
        const bool hasError = reply.contains(QLatin1StringView("error")) && !reply.value("error").isNull();
        QCOMPARE(refusal.has_value(), hasError);
        QVERIFY(!refusal || !refusal->isEmpty());

        const auto service = UsersAndBlogsGoogleService::create(nullptr, QStringLiteral("t"));
        QCOMPARE(service->detectServiceErrorOnJsonResponse(reply).success, !hasError);
        const BloggerUser user = service->parseUserJson(reply);
        QCOMPARE(user.userId, reply.value("id").toString());
        const BloggerPostComment comment = service->parseCommentJson(reply);
        QCOMPARE(comment.commentId, reply.value("id").toString());
        QCOMPARE(comment.content, reply.value("content").toString());
        QVERIFY(comment.blogId.isEmpty() && comment.postId.isEmpty());
        if (comment.publishDate) {
            QVERIFY(comment.publishDate->isValid());
        }
    }

    void testParsedDatesSurviveAWriteAndARead_data() { addCorpusRows(QStringLiteral("dates")); }

    void testParsedDatesSurviveAWriteAndARead()
    {
        QFETCH(QString, path);
        const GoogleDateService dates;
        const QString written = text(path);
        const std::optional<QDateTime> date = dates.parseDate(written);
        if (!date) {
            return;
        }
        QVERIFY(date->isValid());
        const QString iso = dates.isoDate(*date);
        const std::optional<QDateTime> reread = dates.parseDate(iso);
        QVERIFY2(reread.has_value(), qPrintable(iso));
        QCOMPARE(reread->toMSecsSinceEpoch(), date->toMSecsSinceEpoch());
        QCOMPARE(dates.isoDate(*reread), iso);
    }

    void testPreferencesLoadedSurviveARewrite_data() { addCorpusRows(QStringLiteral("preferences")); }

    void testPreferencesLoadedSurviveARewrite()
    {
        QFETCH(QString, path);
        QTemporaryDir folder;
        const QString store = folder.filePath(QStringLiteral("Preferences.json"));
        QVERIFY(QFile::copy(path, store));
        const QJsonDocument document = QJsonDocument::fromJson(contents(path));
        const QStringList keys = document.object().keys();

        QList<QVariant> loaded;
        {
            TestSupport::StdoutCapture quiet;
            UserDefaults defaults(store);
            for (const QString& key : keys) {
                loaded.append(defaults.objectForKey(key));
                defaults.stringForKey(key);
                defaults.boolForKey(key);
                defaults.integerForKey(key);
            }
            if (!document.isObject()) {
                // Set aside for inspection, never overwritten.
                QVERIFY(QFile::exists(store + QStringLiteral(".unreadable")));
                return;
            }
            defaults.setObject(QStringLiteral("marker"), QStringLiteral("corpus replay marker"));
        }
        const UserDefaults reopened(store);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (keys[i] != QLatin1StringView("corpus replay marker")) {
                QCOMPARE(reopened.objectForKey(keys[i]), loaded[i]);
            }
        }
    }

    void testCutTextJoinsBackWithoutHalfCharacters_data() { addCorpusRows(QStringLiteral("strings")); }

    void testCutTextJoinsBackWithoutHalfCharacters()
    {
        QFETCH(QString, path);
        const QString whole = text(path);
        const qsizetype count = StringExtensions::characterCount(whole);
        QCOMPARE(StringExtensions::fullRange(whole), (StringExtensions::CharacterRange{0, count}));
        qsizetype previousHead = 0;
        for (qsizetype n = 0; n <= count + 1; n += std::max<qsizetype>(1, count / 16)) {
            const QString head = StringExtensions::substringToIndex(whole, n);
            const QString tail = StringExtensions::substringFromIndex(whole, n);
            QCOMPARE(head + tail, whole);
            QVERIFY(head.size() >= previousHead);
            previousHead = head.size();
            if (whole.isValidUtf16()) {
                QVERIFY(head.isValidUtf16() && tail.isValidUtf16());
            }
            if (!tail.isEmpty()) {
                QVERIFY(StringExtensions::indexOf(whole, tail) <= n);
            }
        }
        QCOMPARE(StringExtensions::substringToIndex(whole, count), whole);
        if (whole.isValidUtf16()) {
            QCOMPARE(StringExtensions::urlDecoded(StringExtensions::urlEncoded(whole)), whole);
        }

        const StringServices strings;
        QVERIFY(StringExtensions::characterCount(strings.postPreview(whole)) <= 200);
        strings.decodeCommentHtml(whole);
        strings.removeHtmlEntries(whole);
    }
};

QTEST_GUILESS_MAIN(TestCorpusReplay)
#include "TestCorpusReplay.moc"
