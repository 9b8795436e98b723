#include "BlockRecorder.h"
#include "HeldDatabaseLock.h"
#include "StandinHarness.h"
#include "TestSupport.h"

#include "google/GoogleResponseAnalysisService.h"
#include "services/UserBlogsRemotePersistenceAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"
#include "store/UserBlogsLocalAccessAppService.h"

#include <QJsonArray>
#include <QtTest>

#include <algorithm>

namespace {

const QString maraId = QStringLiteral("107741234567812345678");
const QString nedId = QStringLiteral("118899001122334455667");
const QString loneId = QStringLiteral("129900112233445566778");

struct Outcome
{
    BloggerUser user;
    QList<BloggerBlog> blogs;
};

QStringList blogIds(QList<BloggerBlog> blogs)
{
    QStringList ids;
    for (const BloggerBlog& blog : blogs) {
        ids.append(blog.blogId);
    }
    ids.sort();
    return ids;
}

QStringList storedUserIds()
{
    QStringList ids;
    for (const BloggerUser& user : UserBlogsLocalAccessAppService().listUsers()) {
        ids.append(user.userId);
    }
    ids.sort();
    return ids;
}

} // namespace

class TestUserBlogsRemotePersistenceAppService : public QObject
{
    Q_OBJECT

    std::unique_ptr<StandinHarness> h;
    std::unique_ptr<BlockRecorder<Outcome>> m_success;
    std::unique_ptr<BlockRecorder<BloggerSuccessResponse>> m_error;
    std::shared_ptr<UserBlogsRemotePersistenceAppService> m_service;

    bool run(const QString& accessToken)
    {
        m_service->getAndPersistUserAndBlogs(accessToken);
        return waitForOneOf(*m_success, *m_error);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::useFreshDataFolder();
        SQLAccess().createDababaseStructure();
    }

    void init()
    {
        // One database for the whole process: every case starts without these accounts.
        for (const QString& userId : {maraId, nedId, loneId}) {
            UserBlogsLocalAccessAppService().deleteUser(userId, true);
        }
        h = std::make_unique<StandinHarness>();
        m_success = std::make_unique<BlockRecorder<Outcome>>();
        m_error = std::make_unique<BlockRecorder<BloggerSuccessResponse>>();
        m_service = UserBlogsRemotePersistenceAppService::create(h->auth);
        m_service->setTimeoutInterval(5);
        auto success = m_success->block();
        m_service->onGetAndPersistUserAndBlogsSuccess = [success](BloggerUser user,
                                                                  QList<BloggerBlog> blogs) {
            success(Outcome{user, blogs});
        };
        m_service->onGetAndPersistUserAndBlogsError = m_error->block();
    }

    void cleanup()
    {
        m_service.reset();
        h.reset();
    }

    void testUserAndAllBlogsAreStoredAndHandedOver()
    {
        QVERIFY(run(h->accessToken));
        QCOMPARE(m_success->calls(), 1);
        const Outcome outcome = m_success->last();
        QCOMPARE(outcome.user.userId, maraId);
        QCOMPARE(outcome.user.userName, QString("Mara Quill"));
        QCOMPARE(blogIds(outcome.blogs), QStringList({"4120843728710463922", "7093345128812460051"}));
        for (const BloggerBlog& blog : outcome.blogs) {
            QCOMPARE(blog.userId, maraId);
            QVERIFY(!blog.blogName.isEmpty());
        }

        const UserBlogsLocalAccessAppService store;
        QCOMPARE(store.getUser(maraId).value(), outcome.user);
        QList<BloggerBlog> stored = store.listAllBlogsForUser(maraId);
        QCOMPARE(blogIds(stored), blogIds(outcome.blogs));
        for (const BloggerBlog& blog : outcome.blogs) {
            QVERIFY(stored.contains(blog));
        }
    }

    void testSecondAccountIsStoredBesideTheFirst()
    {
        QVERIFY(run(h->accessToken));
        m_success = std::make_unique<BlockRecorder<Outcome>>();
        auto success = m_success->block();
        m_service->onGetAndPersistUserAndBlogsSuccess = [success](BloggerUser user,
                                                                  QList<BloggerBlog> blogs) {
            success(Outcome{user, blogs});
        };
        QVERIFY(run(h->standin.issueAccessToken(nedId)));
        QCOMPARE(m_success->last().user.userId, nedId);
        QCOMPARE(storedUserIds(), QStringList({maraId, nedId}));
        QCOMPARE(blogIds(UserBlogsLocalAccessAppService().listAllBlogsForUser(nedId)),
                 QStringList{"5120000000000000001"});
        QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(maraId).size(), 2);
    }

    void testRefreshingTheAccountUpdatesWithoutDuplicates()
    {
        QVERIFY(run(h->accessToken));
        m_service->getAndPersistUserAndBlogs(h->accessToken);
        QVERIFY(QTest::qWaitFor([&] { return m_success->calls() + m_error->calls() == 2; }, 10000));
        QCOMPARE(m_success->calls(), 2);
        QCOMPARE(storedUserIds(), QStringList{maraId});
        QCOMPARE(UserBlogsLocalAccessAppService().listAllBlogsForUser(maraId).size(), 2);
    }

    void testAccountWithoutBlogsIsAnErrorAndStoresNothing()
    {
        QJsonObject seed = GoogleStandin::defaultSeed();
        QJsonArray accounts = seed.value("accounts").toArray();
        accounts.append(QJsonObject{{"id", loneId}, {"name", "Lone Reader"}});
        seed.insert("accounts", accounts);
        QString error;
        QVERIFY2(h->standin.loadSeed(seed, &error), qPrintable(error));
        const QStringList before = storedUserIds();

        QVERIFY(run(h->standin.issueAccessToken(loneId)));
        QCOMPARE(m_error->calls(), 1);
        QCOMPARE(m_error->last().details, UserBlogsRemotePersistenceAppService::noBlogMessage());
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(loneId).has_value());
        QCOMPARE(storedUserIds(), before);
        QCOMPARE(h->standin.requests("GET", "/blogger/v3/users/self/blogs").size(), 1);
    }

    void testAccountThatCannotBeStoredIsAnError()
    {
        SQLiteDB::sharedInstance().setBusyTimeout(50);
        {
            // Another process writes to the database for longer than the busy time-out.
            HeldDatabaseLock other(SQLiteDB::sharedInstance().databasePath(), HeldDatabaseLock::Kind::Write);
            QVERIFY(other.isHeld());
            QVERIFY(run(h->accessToken));
        }
        SQLiteDB::sharedInstance().setBusyTimeout(5000);
        QCOMPARE(m_error->calls(), 1);
        QCOMPARE(m_error->last().details, UserBlogsRemotePersistenceAppService::notStoredMessage());
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(maraId).has_value());
    }

    void testBlogListFailureStoresNotEvenTheUser_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("json error object") << int(StandinFault::Kind::ErrorObject);
        QTest::newRow("html error page") << int(StandinFault::Kind::HtmlErrorPage);
        QTest::newRow("malformed body") << int(StandinFault::Kind::MalformedBody);
        QTest::newRow("no reply") << int(StandinFault::Kind::NoReply);
    }

    void testBlogListFailureStoresNotEvenTheUser()
    {
        QFETCH(int, kind);
        h->standin.addFault(StandinFault::Kind(kind), "/blogger/v3/users/self/blogs");
        QVERIFY(run(h->accessToken));
        QCOMPARE(m_error->calls(), 1);
        QVERIFY(!m_error->last().details.isEmpty());
        QCOMPARE(h->standin.requests("GET", "/oauth2/v1/userinfo").size(), 1);
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(maraId).has_value());
        QVERIFY(UserBlogsLocalAccessAppService().listAllBlogsForUser(maraId).isEmpty());
    }

    void testUserDetailsFailureAsksNoBlogs()
    {
        h->standin.addFault(StandinFault::Kind::ErrorObject, "/oauth2/v1/userinfo");
        QVERIFY(run(h->accessToken));
        QCOMPARE(m_error->last().details, QString("Backend Error"));
        QVERIFY(h->standin.requests("GET", "/blogger/v3/").isEmpty());
        QVERIFY(!UserBlogsLocalAccessAppService().getUser(maraId).has_value());
    }

    void testRejectedAccessTokenAdvisesSigningInAgain()
    {
        QVERIFY(run("not-a-token"));
        QCOMPARE(m_error->last().details,
                 "Invalid Credentials." + GoogleResponseAnalysisService::reauthentificationAdvice());
        QVERIFY(UserBlogsLocalAccessAppService().listUsers().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUserBlogsRemotePersistenceAppService)
#include "TestUserBlogsRemotePersistenceAppService.moc"
