#include "StoreTestDatabase.h"
#include "TestSupport.h"

#include "store/BlogsSQLAccess.h"
#include "store/CommentsSQLAccess.h"
#include "store/PostsSQLAccess.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"
#include "store/UsersSQLAccess.h"

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

    // The structure as databases were made before the indexes existed: the four tables only.
    static void createTablesOnly(SQLiteDB& db)
    {
        const SQLAccess access(db);
        for (const QString& sql : {access.CREATE_USERS_TABLE_SQL, access.CREATE_BLOGS_TABLE_SQL,
                                   access.CREATE_POSTS_TABLE_SQL, access.CREATE_COMMENTS_TABLE_SQL}) {
            db.execute(sql);
        }
    }

    static QStringList indexNames(SQLiteDB& db)
    {
        QStringList names;
        for (const SQLRow& row :
             db.query("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name")) {
            names << row["name"]->asString();
        }
        return names;
    }

    // Rows that make order matter: a post id twice (also in another blog), ties in every sort column,
    // an author stored twice, comments at the same time.
    static void fillWithTies(SQLiteDB& db)
    {
        for (int i = 0; i < 12; ++i) {
            const QString blog = i % 5 == 4 ? "b2" : "b1";
            const QString postId = i % 4 == 3 ? "dup" : "p" + QString::number(i);
            db.execute(
                "INSERT INTO POSTS VALUES (NULL, ?, ?, ?, ?, ?, '<p>c</p>', 'c', 'x,', ?, 'u', ?, ?, ?)",
                {blog, postId, i % 3 ? "2015-03-07T10:05:00.000Z" : "", "2015-03-07T10:05:00.000Z",
                 "T" + QString::number(i % 2), i % 3, i % 2 ? "Draft" : "Published",
                 i % 2 ? "Draft" : "Published", i % 6 == 1 ? "p0" : "0"});
        }
        for (int i = 0; i < 3; ++i) {
            db.execute("INSERT INTO USERS VALUES (NULL, ?, ?, '#', '#')",
                       {i == 2 ? "a0" : "a" + QString::number(i), "Author " + QString::number(i)});
            db.execute("INSERT INTO BLOGS VALUES (NULL, ?, 'a0', 'Blog', 'http://b', 'LIVE')",
                       {i == 2 ? "b1" : "b" + QString::number(i + 1)});
        }
        for (int i = 0; i < 9; ++i) {
            db.execute("INSERT INTO COMMENTS VALUES (NULL, 'b1', ?, ?, ?, ?, 'text', 0)",
                       {i % 2 ? "p1" : "dup", i == 8 ? "c0" : "c" + QString::number(i),
                        "a" + QString::number(i % 3), i % 3 ? "2015-03-07T10:05:00.000Z" : ""});
        }
    }

    // Every read of the table classes, printed in the order the rows come.
    static QStringList everyRead(SQLiteDB& db)
    {
        QStringList printed;
        const PostsSQLAccess posts(db);
        for (const QString& id : QStringList{"p0", "dup", "p5"}) {
            printed << posts.getBlogPost(id).value_or(BloggerPost()).toString();
            printed << posts.getOfflineBlogPost(id).value_or(BloggerPost()).toString();
        }
        for (const QString& blog : QStringList{"b1", "b2"}) {
            for (const BloggerPost& post : posts.listAllBlogPosts(blog)) {
                printed << post.toString();
            }
            for (PostSortOptions sort : {PostSortOptions::PublishDate, PostSortOptions::UpdatedDate,
                                         PostSortOptions::Title, PostSortOptions::CommentsCount}) {
                for (PostSortOrderOptions order :
                     {PostSortOrderOptions::Ascending, PostSortOrderOptions::Descending}) {
                    for (const BloggerPost& post :
                         posts.listBlogPosts(blog, sort, order, PostFilterOptions::ByArea, "Published")) {
                        printed << post.toString();
                    }
                }
            }
        }
        const CommentsSQLAccess comments(db);
        for (const QString& post : QStringList{"p1", "dup"}) {
            for (const BloggerPostComment& comment : comments.listPostComments(post)) {
                printed << comment.toString();
            }
        }
        printed << comments.getPostComment("c0").value_or(BloggerPostComment()).toString();
        const UsersSQLAccess users(db);
        printed << users.getUser("a0").value_or(BloggerUser()).toString();
        for (const BloggerUser& user : users.listUsers()) {
            printed << user.toString();
        }
        const BlogsSQLAccess blogs(db);
        printed << blogs.getBlog("b1").value_or(BloggerBlog()).toString();
        for (const BloggerBlog& blog : blogs.listBlogsForUser("a0")) {
            printed << blog.toString();
        }
        return printed;
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

    void testDatabaseMadeBeforeTheIndexesGetsThemAtStart()
    {
        QTemporaryDir dir;
        SQLiteDB db(dir.filePath("old.db"), nullptr, QString());
        createTablesOnly(db);
        fillWithTies(db);
        QVERIFY(indexNames(db).isEmpty());
        const qint64 rows = db.query("SELECT COUNT(*) AS n FROM POSTS").first()["n"]->asInt();
        StdoutCapture capture;
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(capture.text(), QString());
        QCOMPARE(indexNames(db),
                 QStringList({"BLOGS_BlogId_Index", "COMMENTS_CommentId_Index", "COMMENTS_PostId_Index",
                              "POSTS_Area_CommentsCountDesc_Index", "POSTS_Area_PublishDateDesc_Index",
                              "POSTS_Area_Title_Index", "POSTS_Area_UpdatedDateDesc_Index",
                              "POSTS_PostId_Index", "POSTS_Status_Title_Index", "USERS_UserId_Index"}));
        QCOMPARE(db.query("SELECT COUNT(*) AS n FROM POSTS").first()["n"]->asInt(), rows);
        // Each look-up by record id now goes through its index instead of reading the whole table.
        const QStringList lookUps{
            "SELECT * FROM POSTS WHERE PostId = 'x'", "SELECT * FROM USERS WHERE UserId = 'x'",
            "SELECT * FROM BLOGS WHERE BlogId = 'x'", "SELECT * FROM COMMENTS WHERE CommentId = 'x'",
            "SELECT * FROM COMMENTS WHERE PostId = 'x'"};
        for (const QString& lookUp : lookUps) {
            const QString plan = db.query("EXPLAIN QUERY PLAN " + lookUp).first()["detail"]->asString();
            QVERIFY2(plan.contains("USING INDEX"), qPrintable(lookUp + ": " + plan));
        }
    }

    void testPreviewsOfAnOlderFileAreRefreshedOnce()
    {
        QTemporaryDir dir;
        SQLiteDB db(dir.filePath("old.db"), nullptr, QString());
        createTablesOnly(db);
        db.execute("INSERT INTO POSTS (PostId, Content, ContentPreview) VALUES ('1', ?, 'The sandwas gold')",
                   {QString("<p>The sand</p><p>was&nbsp;gold</p>")});
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(db.query("SELECT ContentPreview FROM POSTS").first()["ContentPreview"]->asString(),
                 QString("The sand was gold"));
        // Once only: a later start leaves what the store wrote since.
        db.execute("UPDATE POSTS SET ContentPreview = 'kept'");
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(db.query("SELECT ContentPreview FROM POSTS").first()["ContentPreview"]->asString(),
                 QString("kept"));
    }

    void testIndexesKeepEveryReadAndItsOrder()
    {
        QTemporaryDir dir;
        SQLiteDB db(dir.filePath("data.db"), nullptr, QString());
        createTablesOnly(db);
        fillWithTies(db);
        const QStringList before = everyRead(db);
        SQLAccess(db).createDababaseStructure();
        QCOMPARE(indexNames(db).size(), 10);
        QCOMPARE(everyRead(db), before);
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
