#include "TestSupport.h"

#include "platform/ApplicationFolders.h"
#include "platform/UserDefaults.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QDir>
#include <QFile>
#include <QTest>

using TestSupport::StdoutCapture;

// The process-wide connection, as the application uses it: one per process, so one executable.
class TestSQLiteDBShared : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A data folder that does not exist yet.
        const QString fresh = TestSupport::useFreshDataFolder();
        QDir(fresh).removeRecursively();
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(fresh + "/nested/folder"));
    }

    void testFirstUseCopiesTemplateIntoNewDataFolder()
    {
        StdoutCapture capture;
        SQLiteDB& db = SQLiteDB::sharedInstance();
        const QString expected = QDir(ApplicationFolders::dataFolder()).filePath("data.db");
        QCOMPARE(capture.text(), "Database path: " + expected + "\n");
        QCOMPARE(db.databasePath(), expected);
        QVERIFY(db.isOpen());
        QCOMPARE(db.query("SELECT name FROM sqlite_master WHERE name = 'COMMENTS'").size(), 1);
        QVERIFY(QFile::permissions(expected) & QFileDevice::WriteOwner);
    }

    void testBothFormsGiveTheOneInstance()
    {
        QCOMPARE(&SQLiteDB::sharedInstance("group.ignored"), &SQLiteDB::sharedInstance());
        QCOMPARE(SQLiteDB::sharedInstance().GROUP, QString());
    }

    void testStructureOnTemplateChangesNothing()
    {
        StdoutCapture capture;
        SQLAccess().createDababaseStructure();
        QCOMPARE(capture.text(), QString());
    }

    void testServicesUseTheSharedConnection()
    {
        PostsLocalAccessAppService service;
        QVERIFY(service.addOrUpdatePost(BloggerPost("b1", "p1", std::nullopt, std::nullopt, "T", "c", "", {},
                                                    0, "u", PostStatus::Draft, "0")));
        QCOMPARE(SQLiteDB::sharedInstance().query("SELECT * FROM POSTS").size(), 1);
    }

    void testShutdownRunsExitMaintenanceOnce()
    {
        StdoutCapture capture;
        SQLiteDB::shutdown();
        SQLiteDB::shutdown();
        QCOMPARE(capture.text(), QString("SQLiteDB - Launch count -1\nSQLiteDB - Optimize DB\n"));
        const QString preferences = QDir(ApplicationFolders::dataFolder()).filePath("Preferences.json");
        QCOMPARE(UserDefaults(preferences).integerForKey("LaunchCount"), 500);
        QVERIFY(!SQLiteDB::sharedInstance().isOpen());
    }

    void testDataSurvivesTheShutdown()
    {
        SQLiteDB reopened(QDir(ApplicationFolders::dataFolder()).filePath("data.db"), nullptr, QString());
        QCOMPARE(PostsLocalAccessAppService(reopened).getPost("p1")->title, QString("T"));
    }
};

QTEST_GUILESS_MAIN(TestSQLiteDBShared)
#include "TestSQLiteDBShared.moc"
