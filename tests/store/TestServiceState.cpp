#include "TestSupport.h"

#include "common/AppKeyPrefix.h"
#include "platform/UserDefaults.h"
#include "store/DynamicServiceState.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class TestServiceState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::useFreshDataFolder(); }

    void testEmptyStoreReadsNothing()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        const PersistentServiceState state(defaults);
        QVERIFY(!state.userId());
        QVERIFY(!state.blogId());
        QVERIFY(!state.getBlogWasQueried("b1"));
        QVERIFY(!state.getCommentsDownloaded("p1"));
        QVERIFY(!state.getLastUpdated("b1"));
        QVERIFY(!state.getLastTokenRefresh("b1"));
        QVERIFY(!state.getBlogTemplate("http://b1"));
    }

    void testDownloadedKeepsDateAndFlagInTheFile()
    {
        QTemporaryDir dir;
        const QDateTime now = QDateTime::currentDateTime();
        {
            UserDefaults defaults(dir.filePath("prefs.json"));
            PersistentServiceState(defaults).setDownloaded("b1", now);
        }
        UserDefaults reread(dir.filePath("prefs.json"));
        const PersistentServiceState state(reread);
        QCOMPARE(state.getLastUpdated("b1"), std::optional<QDateTime>(now));
        QVERIFY(state.getBlogWasQueried("b1"));
        QVERIFY(!state.getBlogWasQueried("b2"));
    }

    void testKeysAreThoseOfExistingStores()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        PersistentServiceState state(defaults);
        QCOMPARE(state.UPDATED_KEY_PREFIX, QString("LU_penhollowbloggermac_"));
        QCOMPARE(state.UPDATED_KEY_PREFIX.size(), 23);
        state.setUserId(QString("u1"));
        state.setBlogId(QString("b1"));
        state.setBlogWasQueried("b1", true);
        state.setCommentsDownloaded("p1", true);
        const QDateTime now = QDateTime::currentDateTime();
        state.setLastUpdated("b1", now);
        state.setLastTokenRefresh("b1", now);
        state.setBlogTemplate("http://b1.example/", "<html/>");
        QCOMPARE(QString("_DEV_penhollowbloggermac_CURRENT_USER_ID").size(), 40);
        QCOMPARE(defaults.stringForKey("_DEV_penhollowbloggermac_CURRENT_USER_ID"),
                 std::optional<QString>("u1"));
        QCOMPARE(defaults.stringForKey("_DEV_penhollowbloggermac_CURRENT_BLOG_ID"),
                 std::optional<QString>("b1"));
        QVERIFY(defaults.boolForKey("QB_penhollowbloggermac_b1"));
        QVERIFY(defaults.boolForKey("CD_penhollowbloggermac_p1"));
        QCOMPARE(defaults.objectForKey("LU_penhollowbloggermac_b1").toDateTime(), now);
        QCOMPARE(defaults.objectForKey("TR_penhollowbloggermac_b1").toDateTime(), now);
        QCOMPARE(defaults.stringForKey("http://b1.example/"), std::optional<QString>("<html/>"));
    }

    void testRefreshTokenKeyHasTwoUnderscoresAfterR()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        PersistentAccessTokens tokens("u1", defaults);
        tokens.setAccessToken(QString("access"));
        tokens.setRefreshToken(QString("refresh"));
        QCOMPARE(defaults.stringForKey("_DEV_penhollowbloggermac_u1"), std::optional<QString>("access"));
        QCOMPARE(defaults.stringForKey("R__DEV_penhollowbloggermac_u1"), std::optional<QString>("refresh"));
        QVERIFY(!defaults.objectForKey("R_DEV_penhollowbloggermac_u1").isValid());
    }

    void testUserIdWrittenReadsThroughFreshInstanceAndNoneRemoves()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        PersistentServiceState(defaults).setUserId(QString("u1"));
        QCOMPARE(PersistentServiceState(defaults).userId(), std::optional<QString>("u1"));
        PersistentServiceState(defaults).setUserId(std::nullopt);
        QVERIFY(!PersistentServiceState(defaults).userId());
        QVERIFY(!defaults.objectForKey("_DEV_penhollowbloggermac_CURRENT_USER_ID").isValid());
    }

    void testTextUnderDateKeyReadsAsNoDate()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        defaults.setObject(QString("2015-03-07"), "LU_penhollowbloggermac_b1");
        defaults.setObject(true, "http://b1");
        const PersistentServiceState state(defaults);
        QVERIFY(!state.getLastUpdated("b1"));
        QVERIFY(!state.getBlogTemplate("http://b1"));
    }

    void testEmptyIdIsItsOwnKeyAndKindsNeverCollide()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        PersistentServiceState state(defaults);
        state.setBlogWasQueried("", true);
        QVERIFY(defaults.boolForKey("QB_penhollowbloggermac_"));
        QVERIFY(!state.getBlogWasQueried("b1"));
        state.setBlogWasQueried("b1", true);
        const QDateTime date(QDate(2015, 3, 7), QTime(10, 5), Qt::LocalTime);
        state.setLastUpdated("b1", date);
        QVERIFY(state.getBlogWasQueried("b1"));
        QCOMPARE(state.getLastUpdated("b1"), std::optional<QDateTime>(date));
    }

    void testStateSurvivesARestartOfTheStore()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("prefs.json");
        const QDateTime date(QDate(2015, 3, 7), QTime(10, 5, 7, 123), Qt::LocalTime);
        {
            UserDefaults defaults(file);
            PersistentServiceState state(defaults);
            state.setUserId(QString("u1"));
            state.setLastUpdated("b1", date);
            state.setCommentsDownloaded("p1", true);
            PersistentAccessTokens("u1", defaults).setRefreshToken(QString("r"));
            QVERIFY(defaults.synchronize());
        }
        UserDefaults reread(file);
        const PersistentServiceState state(reread);
        QCOMPARE(state.userId(), std::optional<QString>("u1"));
        QCOMPARE(state.getLastUpdated("b1")->toMSecsSinceEpoch(), date.toMSecsSinceEpoch());
        QVERIFY(state.getCommentsDownloaded("p1"));
        QCOMPARE(PersistentAccessTokens("u1", reread).refreshToken(), std::optional<QString>("r"));
    }

    void testStandardStoreIsSharedByFreshInstances()
    {
        PersistentServiceState().setBlogId(QString("b-standard"));
        QCOMPARE(PersistentServiceState().blogId(), std::optional<QString>("b-standard"));
        PersistentAccessTokens("u9").setAccessToken(QString("a9"));
        QCOMPARE(PersistentAccessTokens("u9").accessToken(), std::optional<QString>("a9"));
        QCOMPARE(UserDefaults::standardUserDefaults().stringForKey("_DEV_penhollowbloggermac_u9"),
                 std::optional<QString>("a9"));
    }

    void testTokensOfOneUserStayApart()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        PersistentAccessTokens first("u1", defaults);
        PersistentAccessTokens other("u2", defaults);
        QVERIFY(!first.accessToken());
        QVERIFY(!first.refreshToken());
        first.setAccessToken(QString("a1"));
        QVERIFY(!first.refreshToken());
        first.setRefreshToken(QString("r1"));
        QCOMPARE(first.accessToken(), std::optional<QString>("a1"));
        QCOMPARE(PersistentAccessTokens("u1", defaults).refreshToken(), std::optional<QString>("r1"));
        QVERIFY(!other.accessToken());
        QVERIFY(!other.refreshToken());
        first.setRefreshToken(std::nullopt);
        QVERIFY(!first.refreshToken());
        QCOMPARE(first.accessToken(), std::optional<QString>("a1"));
    }

    void testAccessTokenKeySharesPrefixWithCurrentIds()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        const PersistentAccessTokens tokens("CURRENT_USER_ID_not", defaults);
        QCOMPARE(tokens.KEY_PREFIX, PersistentServiceState(defaults).KEY_PREFIX);
        QCOMPARE(tokens.KEY_PREFIX, "_DEV_" + APP_KEY_PREFIX);
    }

    void testFreshSelectionDefaults()
    {
        const DynamicServiceState state;
        QCOMPARE(state.blogId(), QString(""));
        QCOMPARE(state.userId(), QString(""));
        QCOMPARE(state.area(), PostArea::Published);
        QCOMPARE(state.sort(), PostSortOptions::UpdatedDate);
        QCOMPARE(state.sortOrder(), PostSortOrderOptions::Descending);
    }

    void testSortAndOrderChangeIndependently()
    {
        DynamicServiceState state;
        state.setSort(PostSortOptions::Title);
        QCOMPARE(state.sortOrder(), PostSortOrderOptions::Descending);
        state.setSortOrder(PostSortOrderOptions::Ascending);
        QCOMPARE(state.sort(), PostSortOptions::Title);
        state.setArea(PostArea::Draft);
        QCOMPARE(state.area(), PostArea::Draft);
    }

    void testSelectionReadWhileWrittenFromOtherThreads()
    {
        DynamicServiceState state;
        const QStringList ids{QString(300, 'a'), QString(5, 'b'), QString(1000, 'c')};
        std::atomic<bool> stop{false};
        std::atomic<int> unexpected{0};
        std::vector<std::thread> readers;
        for (int i = 0; i < 4; ++i) {
            readers.emplace_back([&] {
                while (!stop) {
                    const QString id = state.blogId();
                    if (!id.isEmpty() && !ids.contains(id)) {
                        ++unexpected;
                    }
                }
            });
        }
        for (int n = 0; n < 20000; ++n) {
            state.setBlogId(ids.at(n % ids.size()));
        }
        stop = true;
        for (std::thread& reader : readers) {
            reader.join();
        }
        QCOMPARE(unexpected.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServiceState)
#include "TestServiceState.moc"
