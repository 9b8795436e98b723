#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "platform/Alert.h"
#include "platform/UserDefaults.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QCoreApplication>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <ctime>
#include <thread>

using TestSupport::StdoutCapture;

class TestSQLiteDB : public QObject
{
    Q_OBJECT

private:
    static QStringList lines(StdoutCapture& capture)
    {
        return capture.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void testSelectThroughExecuteIsAFailure()
    {
        StoreTestDatabase store;
        StdoutCapture capture;
        QCOMPARE(store.db().execute("SELECT 1"), 0);
        const QStringList printed = lines(capture);
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().startsWith("SQLiteDB - failed to execute SQL: SELECT 1, Error: "));
    }

    void testLowerCaseInsertAnswersRowId()
    {
        StoreTestDatabase store;
        QCOMPARE(store.db().execute("insert into USERS values (NULL, 'u1', 'n', 'l', 'p')"), 1);
        QCOMPARE(store.db().execute("insert into USERS values (NULL, 'u2', 'n', 'l', 'p')"), 2);
        QCOMPARE(store.db().execute("insert into USERS values (NULL, 'u3', 'n', 'l', 'p')"), 3);
    }

    void testInsertWithLeadingBlankOrLineBreakAnswersOne()
    {
        StoreTestDatabase store;
        store.db().execute("INSERT INTO USERS VALUES (NULL, 'a', 'n', 'l', 'p')");
        store.db().execute("INSERT INTO USERS VALUES (NULL, 'b', 'n', 'l', 'p')");
        QCOMPARE(store.db().execute(" INSERT INTO USERS VALUES (NULL, 'c', 'n', 'l', 'p')"), 1);
        QCOMPARE(store.db().execute("INSERT\nINTO USERS VALUES (NULL, 'd', 'n', 'l', 'p')"), 1);
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 4);
    }

    void testUpdateAndDeleteAnswerChangedRowsOrOne()
    {
        StoreTestDatabase store;
        QCOMPARE(store.db().execute("UPDATE USERS SET UserName = 'x' WHERE UserId = 'none'"), 1);
        for (int i = 0; i < 3; ++i) {
            store.db().execute("INSERT INTO USERS VALUES (NULL, 'same', 'n', 'l', 'p')");
        }
        QCOMPARE(store.db().execute("UPDATE USERS SET UserName = ? WHERE UserId = ?",
                                    {QString("y"), QString("same")}),
                 3);
        QCOMPARE(store.db().execute("DELETE FROM USERS WHERE UserId = 'same'"), 3);
        QCOMPARE(store.db().execute("DELETE FROM USERS WHERE UserId = 'same'"), 1);
    }

    void testCreateTableAnswersOne()
    {
        StoreTestDatabase store;
        QCOMPARE(store.db().execute("CREATE TABLE T (x INT)"), 1);
    }

    void testAbsentParametersLeavePlaceholdersNull()
    {
        StoreTestDatabase store;
        StdoutCapture capture;
        const QList<SQLRow> rows = store.db().query("SELECT ? AS a, ? IS NULL AS b");
        QCOMPARE(rows.size(), 1);
        QVERIFY(!rows.first()["a"]);
        QCOMPARE(rows.first()["b"]->asInt(), 1);
        QCOMPARE(capture.text(), QString());
    }

    void testEmptyListRunsStatementWithoutPlaceholders()
    {
        StoreTestDatabase store;
        QCOMPARE(store.db().query("SELECT 5 AS five", {}).first()["five"]->asInt(), 5);
    }

    void testParameterCountMismatchPrintsAndFails()
    {
        StoreTestDatabase store;
        StdoutCapture capture;
        const QString sql("SELECT ?, ?, ?");
        QCOMPARE(store.db().query(sql, {QString("a"), 2}).size(), 0);
        QCOMPARE(store.db().execute(sql, {QString("a"), 2}), 0);
        const QStringList printed = lines(capture);
        QCOMPARE(printed.size(), 2);
        QCOMPARE(printed.first(), QString("SQLiteDB - failed to bind parameters, counts did not match. SQL: "
                                          "SELECT ?, ?, ?, Parameters: [\"a\", 2]"));
    }

    void testPrepareFailurePrintsStatementAndMessage()
    {
        StoreTestDatabase store;
        StdoutCapture capture;
        QVERIFY(store.db().query("SELECT * FROM NOWHERE").isEmpty());
        QCOMPARE(
            capture.text(),
            QString(
                "SQLiteDB - failed to prepare SQL: SELECT * FROM NOWHERE, Error: no such table: NOWHERE\n"));
    }

    void testStepErrorOnQueryPrintsAndKeepsRowsRead()
    {
        StoreTestDatabase store;
        store.db().execute("CREATE TABLE T (x INTEGER)");
        for (int i = 1; i <= 5; ++i) {
            store.db().execute("INSERT INTO T VALUES (?)", {i});
        }
        // abs() of the smallest integer fails while the third row is computed (no ORDER BY: rows stream).
        const QString sql("SELECT CASE WHEN x = 3 THEN abs(x * 0 - 9223372036854775807 - 1) ELSE x END AS v "
                          "FROM T");
        StdoutCapture capture;
        const QList<SQLRow> rows = store.db().query(sql);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1)["v"]->asInt(), 2);
        QCOMPARE(capture.text(), "SQLiteDB - failed to execute SQL: " + sql + ", Error: integer overflow\n");
    }

    void testNullTextIsAbsentAndNullIntegerIsZero()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO POSTS (BlogId, Title, CommentsCount) VALUES ('b', NULL, NULL)");
        const SQLRow row = store.db().query("SELECT * FROM POSTS").first();
        QVERIFY(!row["Title"]);
        QCOMPARE(row["CommentsCount"]->type, SQLColumn::integerTypeCode);
        QCOMPARE(row["CommentsCount"]->asInt(), 0);
        QCOMPARE(row["BlogId"]->type, SQLColumn::textTypeCode);
    }

    void testDeclaredTypesGiveTheirCodes()
    {
        StoreTestDatabase store;
        store.db().execute(
            "CREATE TABLE T (a VARCHAR (50), b VARCHAR(50), c DATETIME, d REAL, e BLOB, f WHATEVER, "
            "g BIGINT)");
        store.db().execute("INSERT INTO T VALUES ('x', 'y', '2015-03-01 10:20:30', 1.5, x'00ff', 'w', 3)");
        const SQLRow row = store.db().query("SELECT *, 1 + 1 AS expr FROM T").first();
        QCOMPARE(row["a"]->type, 3);
        QCOMPARE(row["b"]->type, 3);
        QCOMPARE(row["c"]->type, 6);
        QCOMPARE(row["d"]->type, 2);
        QCOMPARE(row["e"]->type, 4);
        QCOMPARE(row["e"]->asData(), std::optional<QByteArray>(QByteArray("\x00\xff", 2)));
        QCOMPARE(row["f"]->type, 3);
        QCOMPARE(row["g"]->type, 1);
        QCOMPARE(row["expr"]->type, 1);
    }

    void testDateColumnReadsBackTheInstantWritten_data()
    {
        QTest::addColumn<QDateTime>("date");
        // One of the two has another offset than today, whatever the season of the run.
        QTest::newRow("winter") << QDateTime(QDate(2015, 1, 10), QTime(10, 20, 30), Qt::LocalTime);
        QTest::newRow("summer") << QDateTime(QDate(2015, 7, 10), QTime(10, 20, 30), Qt::LocalTime);
    }

    void testDateColumnReadsBackTheInstantWritten()
    {
        QFETCH(QDateTime, date);
        StoreTestDatabase store;
        store.db().execute("CREATE TABLE T (d DATETIME)");
        store.db().execute("INSERT INTO T VALUES (?)", {date});
        QCOMPARE(store.db().query("SELECT CAST(d AS TEXT) AS t FROM T").first()["t"]->asString(),
                 QString("%1 10:20:30").arg(date.date().toString("yyyy-MM-dd")));
        const SQLRow row = store.db().query("SELECT d FROM T").first();
        QCOMPARE(row["d"]->type, SQLiteDB::dateColumnTypeCode);
        QCOMPARE(row["d"]->asDate()->toMSecsSinceEpoch(), date.toMSecsSinceEpoch());
    }

    void testNullDateIsAbsent()
    {
        StoreTestDatabase store;
        store.db().execute("CREATE TABLE T (d DATETIME, n INT)");
        store.db().execute("INSERT INTO T VALUES (NULL, 1)");
        store.db().execute("INSERT INTO T VALUES (86400, 2)");
        const QList<SQLRow> rows = store.db().query("SELECT d FROM T ORDER BY n");
        QVERIFY(!rows.at(0)["d"]);
        QCOMPARE(rows.at(1)["d"]->asDate()->toMSecsSinceEpoch(), 86400000);
    }

    void testDateTextSkippedBySpringChangeStillReadsADate()
    {
        // 02:30 does not exist in New York on 8 March 2015; the C library reads it as 03:30 summer time.
        StoreTestDatabase store;
        store.db().execute("CREATE TABLE T (d DATETIME)");
        store.db().execute("INSERT INTO T VALUES ('2015-03-08 02:30:00')");
        const std::optional<SQLColumn> column = store.db().query("SELECT d FROM T").first()["d"];
        QVERIFY(column);
        QCOMPARE(column->asDate()->toUTC(), QDateTime(QDate(2015, 3, 8), QTime(7, 30), Qt::UTC));
    }

    void testDateSecondsBeyondAnyDateAreAbsent()
    {
        StoreTestDatabase store;
        store.db().execute("CREATE TABLE T (d DATETIME, n INT)");
        store.db().execute("INSERT INTO T VALUES (?, 1)", {1e300});
        store.db().execute("INSERT INTO T VALUES (?, 2)", {-1e300});
        store.db().execute("INSERT INTO T VALUES (-86400, 3)");
        const QList<SQLRow> rows = store.db().query("SELECT d FROM T ORDER BY n");
        QCOMPARE(rows.size(), 3);
        QVERIFY(!rows.at(0)["d"]);
        QVERIFY(!rows.at(1)["d"]);
        QCOMPARE(rows.at(2)["d"]->asDate()->toMSecsSinceEpoch(), -86400000);
    }

    void testAlertIsAWarningShownLaterOnTheMainThread()
    {
        QList<AlertRequest> shown;
        QThread* shownOn = nullptr;
        Alert::setPresenter([&](const AlertRequest& request) {
            shown << request;
            shownOn = QThread::currentThread();
        });
        StoreTestDatabase store;
        std::thread([&] { store.db().alert("The database is full"); }).join();
        QVERIFY(shown.isEmpty());
        QTRY_COMPARE(shown.size(), 1);
        Alert::setPresenter({});
        QCOMPARE(shownOn, QThread::currentThread());
        QCOMPARE(shown[0].style, AlertStyle::Warning);
        QCOMPARE(shown[0].title, QString("SQLiteDB"));
        QCOMPARE(shown[0].message, QString("The database is full"));
    }

    void testEmbeddedNulSurvivesBothWays()
    {
        StoreTestDatabase store;
        const QString text = QString("before") + QChar(0) + QString("after ünïcødé");
        store.db().execute("CREATE TABLE T (t TEXT)");
        store.db().execute("INSERT INTO T VALUES (?)", {text});
        QCOMPARE(store.count("SELECT length(CAST(t AS BLOB)) FROM T"), text.toUtf8().size());
        QCOMPARE(store.db().query("SELECT t FROM T").first()["t"]->asString(), text);
    }

    void testIntegersAreSixtyFourBit()
    {
        StoreTestDatabase store;
        const qint64 big = 5000000000LL;
        store.db().execute("CREATE TABLE T (Id INTEGER PRIMARY KEY AUTOINCREMENT, n INT)");
        QCOMPARE(store.db().execute("INSERT INTO T VALUES (?, ?)", {big, big * 3}), big);
        QCOMPARE(store.db().execute("INSERT INTO T VALUES (NULL, 1)"), big + 1);
        const SQLRow row = store.db().query("SELECT * FROM T WHERE Id = ?", {big}).first();
        QCOMPARE(row["n"]->asInt(), big * 3);
    }

    void testTextParameterWithQuotesIsData()
    {
        StoreTestDatabase store;
        const QString evil("x'); DROP TABLE USERS; --\"");
        store.db().query("INSERT INTO USERS VALUES (NULL, ?, ?, '', '')", {evil, evil});
        QCOMPARE(
            store.db().query("SELECT * FROM USERS WHERE UserId = ?", {evil}).first()["UserName"]->asString(),
            evil);
    }

    void testOnlyFirstStatementOfTextRuns()
    {
        StoreTestDatabase store;
        store.db().execute("INSERT INTO USERS VALUES (NULL, 'a', '', '', ''); DELETE FROM USERS");
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 1);
    }

    void testBusyDatabaseWaitsForOtherConnection()
    {
        StoreTestDatabase store;
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(store.path()).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        StdoutCapture capture;
        const qint64 rowId = store.db().execute("INSERT INTO USERS VALUES (NULL, 'u', '', '', '')");
        release.join();
        sqlite3_close(other);
        QCOMPARE(rowId, 1);
        QCOMPARE(capture.text(), QString());
    }

    void testTransactionCommitsNestedWork()
    {
        StoreTestDatabase store;
        store.db().transaction([&] {
            store.db().execute("INSERT INTO USERS VALUES (NULL, 'a', '', '', '')");
            store.db().transaction(
                [&] { store.db().execute("INSERT INTO USERS VALUES (NULL, 'b', '', '', '')"); });
        });
        store.reopen();
        QCOMPARE(store.count("SELECT COUNT(*) FROM USERS"), 2);
    }

    void testRowsPersistAcrossReopen()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO USERS VALUES (NULL, ?, ?, ?, ?)",
                         {QString("u1"), QString("Ann"), QString("l"), QString("p")});
        store.reopen();
        QCOMPARE(store.db().query("SELECT * FROM USERS").first()["UserName"]->asString(), QString("Ann"));
    }

    void testMissingFileIsCopiedFromTemplate()
    {
        QTemporaryDir dir;
        const QString templatePath = dir.filePath("template.db");
        {
            SQLiteDB maker(templatePath, nullptr, QString());
            SQLAccess(maker).createDababaseStructure();
        }
        QFile::setPermissions(templatePath, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        const QString path = dir.filePath("data/data.db");
        SQLiteDB db(path, nullptr, templatePath);
        QVERIFY(db.isOpen());
        // The tables come from the template: nothing has created them here.
        QCOMPARE(db.query("SELECT name FROM sqlite_master WHERE name = 'POSTS'").size(), 1);
        QVERIFY(QFile::permissions(path) & QFileDevice::WriteOwner);
        QCOMPARE(db.execute("INSERT INTO USERS VALUES (NULL, 'u', '', '', '')"), 1);
    }

    void testBuiltTemplateHoldsTheFourTables()
    {
        const QString path = SQLiteDB::defaultTemplatePath();
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QTemporaryDir dir;
        QVERIFY(QFile::copy(path, dir.filePath("copy.db")));
        SQLiteDB db(dir.filePath("copy.db"), nullptr, QString());
        QCOMPARE(db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name IN "
                          "('USERS', 'BLOGS', 'POSTS', 'COMMENTS')")
                     .size(),
                 4);
    }

    void testBuiltTemplateHoldsTheLookUpIndexes()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(SQLiteDB::defaultTemplatePath(), dir.filePath("copy.db")));
        SQLiteDB db(dir.filePath("copy.db"), nullptr, QString());
        QCOMPARE(db.query("SELECT name FROM sqlite_master WHERE type = 'index' AND name IN "
                          "('USERS_UserId_Index', 'BLOGS_BlogId_Index', 'POSTS_PostId_Index', "
                          "'COMMENTS_CommentId_Index', 'COMMENTS_PostId_Index')")
                     .size(),
                 5);
    }

    void testMissingTemplateStillGivesADatabase()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("data.db");
        StdoutCapture capture;
        SQLiteDB db(path, nullptr, dir.filePath("no-such-template.db"));
        const QStringList printed = lines(capture);
        QCOMPARE(printed.size(), 3);
        QCOMPARE(printed.at(0), "Database path: " + path);
        QCOMPARE(printed.at(1), QString("SQLiteDB - failed to copy writable version of DB!"));
        QVERIFY(printed.at(2).startsWith("Error - "));
        QVERIFY(db.isOpen());
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(db.execute("INSERT INTO POSTS (PostId) VALUES ('p')"), 1);
    }

    void testMissingDataFolderIsCreated()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("not/there/yet/data.db");
        SQLiteDB db(path, nullptr, QString());
        QVERIFY(db.isOpen());
        QCOMPARE(db.execute("CREATE TABLE T (x INT)"), 1);
        QVERIFY(QFile::exists(path));
    }

    void testUnusableDataFolderFailsWithPrintedLines()
    {
        QTemporaryDir dir;
        // A plain file where the folder should be: nothing can be created below it, even by root.
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTemporaryDir templateDir;
        const QString templatePath = templateDir.filePath("t.db");
        {
            SQLiteDB maker(templatePath, nullptr, QString());
            SQLAccess(maker).createDababaseStructure();
        }
        StdoutCapture capture;
        SQLiteDB db(dir.filePath("blocked/data.db"), nullptr, templatePath);
        QVERIFY(!db.isOpen());
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(db.execute("SELECT 1"), 0);
        QVERIFY(db.query("SELECT 1").isEmpty());
        const QStringList printed = lines(capture);
        QVERIFY(printed.contains("SQLiteDB - failed to copy writable version of DB!"));
        QVERIFY(printed.contains("SQLiteDB - failed to open DB!"));
        QCOMPARE(printed.filter("SQLiteDB - failed to prepare SQL: CREATE TABLE IF NOT EXISTS").size(), 4);
        QVERIFY(printed.contains("SQLiteDB - failed to prepare SQL: SELECT 1, Error: database is not open"));
    }

    void testFirstTeardownCountsFromAbsentAndVacuums()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        StoreTestDatabase store;
        SQLiteDB db(store.path(), &defaults, QString());
        // Free pages that only a VACUUM gives back.
        db.execute("CREATE TABLE T (x TEXT)");
        for (int i = 0; i < 50; ++i) {
            db.execute("INSERT INTO T VALUES (?)", {QString(4000, QLatin1Char('x'))});
        }
        db.execute("DELETE FROM T");
        QVERIFY(db.query("PRAGMA freelist_count").first().data().first().second.asInt() > 0);
        {
            StdoutCapture capture;
            db.teardown();
            QCOMPARE(lines(capture), QStringList({"SQLiteDB - Launch count -1", "SQLiteDB - Optimize DB"}));
        }
        QVERIFY(!db.isOpen());
        QCOMPARE(UserDefaults(dir.filePath("prefs.json")).integerForKey("LaunchCount"), 500);
        store.reopen();
        QCOMPARE(store.count("PRAGMA freelist_count"), 0);
    }

    void testTeardownCountsDownWithoutMaintenance()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        defaults.setInteger(3, "LaunchCount");
        StoreTestDatabase store;
        SQLiteDB db(store.path(), &defaults, QString());
        StdoutCapture capture;
        db.teardown();
        db.teardown();
        QCOMPARE(lines(capture), QStringList({"SQLiteDB - Launch count 2"}));
        QCOMPARE(UserDefaults(dir.filePath("prefs.json")).integerForKey("LaunchCount"), 2);
    }

    void testStatementsAfterTeardownFailWithPrintedLine()
    {
        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath("prefs.json"));
        defaults.setInteger(10, "LaunchCount");
        StoreTestDatabase store;
        SQLiteDB db(store.path(), &defaults, QString());
        db.teardown();
        StdoutCapture capture;
        QVERIFY(db.query("SELECT 1").isEmpty());
        QCOMPARE(capture.text(),
                 QString("SQLiteDB - failed to prepare SQL: SELECT 1, Error: database is not open\n"));
    }

    void testTeardownOfUnopenedDatabaseDoesNothing()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        UserDefaults defaults(dir.filePath("prefs.json"));
        SQLiteDB db(dir.filePath("blocked/data.db"), &defaults, QString());
        StdoutCapture capture;
        db.teardown();
        QCOMPARE(capture.text(), QString());
        QVERIFY(!defaults.objectForKey("LaunchCount").isValid());
    }
};

int main(int argc, char* argv[])
{
    // A zone with daylight saving, so stored dates can have another offset than today.
    qputenv("TZ", "America/New_York");
    tzset();
    QCoreApplication app(argc, argv);
    TestSQLiteDB test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestSQLiteDB.moc"
