#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QTemporaryDir>
#include <QTest>

using TestSupport::StdoutCapture;

class TestSQLAccess : public QObject
{
    Q_OBJECT

private:
    static QList<QPair<QString, QString>> columns(SQLiteDB& db, const QString& table)
    {
        QList<QPair<QString, QString>> result;
        for (const SQLRow& row :
             db.query("SELECT name, type FROM pragma_table_info(?) ORDER BY cid", {table})) {
            result.append({row["name"]->asString(), row["type"]->asString()});
        }
        return result;
    }

private Q_SLOTS:
    void testEmptyFileGetsFourTablesWithDeclaredTypes()
    {
        QTemporaryDir dir;
        SQLiteDB db(dir.filePath("data.db"), nullptr, QString());
        SQLAccess(db).createDababaseStructure();
        using Columns = QList<QPair<QString, QString>>;
        QCOMPARE(columns(db, "USERS"), Columns({{"Id", "INTEGER"},
                                                {"UserId", "VARCHAR (50)"},
                                                {"UserName", "VARCHAR (255)"},
                                                {"UserLink", "VARCHAR (1024)"},
                                                {"UserPicture", "VARCHAR (1024)"}}));
        QCOMPARE(columns(db, "BLOGS"), Columns({{"Id", "INTEGER"},
                                                {"BlogId", "VARCHAR (50)"},
                                                {"UserId", "VARCHAR (50)"},
                                                {"BlogName", "VARCHAR (255)"},
                                                {"BlogUrl", "VARCHAR (1024)"},
                                                {"BlogStatus", "VARCHAR (25)"}}));
        QCOMPARE(columns(db, "POSTS"), Columns({{"Id", "INTEGER"},
                                                {"BlogId", "VARCHAR (50)"},
                                                {"PostId", "VARCHAR (50)"},
                                                {"PublishDate", "VARCHAR (50)"},
                                                {"UpdatedDate", "VARCHAR (50)"},
                                                {"Title", "VARCHAR (255)"},
                                                {"Content", "TEXT"},
                                                {"ContentPreview", "TEXT"},
                                                {"Labels", "VARCHAR (5000)"},
                                                {"CommentsCount", "INT"},
                                                {"PostUrl", "VARCHAR (1024)"},
                                                {"PostStatus", "VARCHAR (10)"},
                                                {"PostArea", "VARCHAR (10)"},
                                                {"OfflineForPostWithId", "VARCHAR (50)"}}));
        QCOMPARE(columns(db, "COMMENTS"), Columns({{"Id", "INTEGER"},
                                                   {"BlogId", "VARCHAR (50)"},
                                                   {"PostId", "VARCHAR (50)"},
                                                   {"CommentId", "VARCHAR (50)"},
                                                   {"AuthorId", "VARCHAR (50)"},
                                                   {"PublishDate", "VARCHAR (50)"},
                                                   {"Content", "TEXT"},
                                                   {"SentimentScore", "INT"}}));
    }

    void testEveryColumnReadsBackAsIntegerOrText()
    {
        StoreTestDatabase store;
        SQLiteDB& db = store.db();
        db.query("INSERT INTO USERS VALUES (NULL, '1', '2', '3', '4')");
        db.query("INSERT INTO BLOGS VALUES (NULL, '1', '2', '3', '4', '5')");
        db.query("INSERT INTO POSTS VALUES (NULL, '1', '2', '3', '4', '5', '6', '7', '8', 9, '10', '11', "
                 "'12', '13')");
        db.query("INSERT INTO COMMENTS VALUES (NULL, '1', '2', '3', '4', '5', '6', 7)");
        for (const QString table : {"USERS", "BLOGS", "POSTS", "COMMENTS"}) {
            const SQLRow row = db.query("SELECT * FROM " + table).first();
            for (const SQLRow::Entry& entry : row.data()) {
                const bool integer =
                    entry.first == "Id" || entry.first == "CommentsCount" || entry.first == "SentimentScore";
                QCOMPARE(entry.second.type, integer ? 1 : 3);
            }
        }
    }

    void testSecondRunChangesNothingAndPrintsNothing()
    {
        StoreTestDatabase store;
        store.db().query("INSERT INTO POSTS (PostId) VALUES ('kept')");
        StdoutCapture capture;
        SQLAccess(store.db()).createDababaseStructure();
        SQLAccess(store.db()).createDababaseStructure();
        QCOMPARE(capture.text(), QString());
        QCOMPARE(store.count("SELECT COUNT(*) FROM POSTS WHERE PostId = 'kept'"), 1);
    }

    void testExistingTableWithOtherColumnsStaysAsItIs()
    {
        QTemporaryDir dir;
        SQLiteDB db(dir.filePath("data.db"), nullptr, QString());
        db.execute("CREATE TABLE USERS (Only TEXT)");
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(columns(db, "USERS"), (QList<QPair<QString, QString>>{{"Only", "TEXT"}}));
        QCOMPARE(columns(db, "POSTS").size(), 14);
    }

    void testStatementTextsAreThoseOfExistingDatabases()
    {
        StoreTestDatabase store;
        const SQLAccess access(store.db());
        QCOMPARE(access.DROP_USERS, QString("DROP TABLE IF EXISTS USERS;"));
        QCOMPARE(access.DROP_COMMENTS, QString("DROP TABLE IF EXISTS COMMENTS;"));
        // sqlite_master keeps the text after "CREATE TABLE IF NOT EXISTS " minus the clause.
        const QString stored =
            store.db().query("SELECT sql FROM sqlite_master WHERE name = 'BLOGS'").first()["sql"]->asString();
        QCOMPARE("CREATE TABLE IF NOT EXISTS " + stored.mid(QString("CREATE TABLE ").size()) + ";",
                 access.CREATE_BLOGS_TABLE_SQL);
    }
};

QTEST_GUILESS_MAIN(TestSQLAccess)
#include "TestSQLAccess.moc"
