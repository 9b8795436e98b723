#include "SQLAccess.h"

#include "common/StringServices.h"
#include "store/SQLRowReader.h"
#include "store/SQLiteDB.h"

#include <utility>
#include <vector>

namespace {

// PRAGMA user_version of a database whose stored previews follow the current preview rule. Older files
// hold previews that ran words together.
constexpr std::int64_t PreviewsReadableVersion = 1;

} // namespace

SQLAccess::SQLAccess() : SQLAccess(SQLiteDB::sharedInstance()) {}

SQLAccess::SQLAccess(SQLiteDB& db)
    : db(&db), CREATE_USERS_TABLE_SQL(
                   QStringLiteral("CREATE TABLE IF NOT EXISTS USERS (Id INTEGER PRIMARY KEY "
                                  "AUTOINCREMENT,UserId VARCHAR (50),UserName "
                                  "VARCHAR (255),UserLink VARCHAR (1024),UserPicture VARCHAR (1024));")),
      CREATE_BLOGS_TABLE_SQL(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS BLOGS (Id INTEGER PRIMARY KEY AUTOINCREMENT,BlogId VARCHAR (50),UserId "
          "VARCHAR (50),BlogName VARCHAR (255),BlogUrl VARCHAR (1024),BlogStatus VARCHAR (25));")),
      CREATE_POSTS_TABLE_SQL(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS POSTS (Id INTEGER PRIMARY KEY AUTOINCREMENT,BlogId VARCHAR (50),PostId "
          "VARCHAR (50),PublishDate VARCHAR (50),UpdatedDate VARCHAR (50),Title VARCHAR (255),Content "
          "TEXT,ContentPreview TEXT,Labels VARCHAR (5000),CommentsCount INT,PostUrl VARCHAR "
          "(1024),PostStatus "
          "VARCHAR (10),PostArea VARCHAR (10),OfflineForPostWithId VARCHAR (50));")),
      CREATE_COMMENTS_TABLE_SQL(QStringLiteral(
          "CREATE TABLE IF NOT EXISTS COMMENTS (Id INTEGER PRIMARY KEY AUTOINCREMENT,BlogId VARCHAR "
          "(50),PostId "
          "VARCHAR (50),CommentId VARCHAR (50),AuthorId VARCHAR (50),PublishDate VARCHAR (50),Content "
          "TEXT,SentimentScore INT);")),
      CREATE_USERS_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS USERS_UserId_Index ON USERS (UserId);")),
      CREATE_BLOGS_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS BLOGS_BlogId_Index ON BLOGS (BlogId);")),
      CREATE_POSTS_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS POSTS_PostId_Index ON POSTS (PostId);")),
      CREATE_COMMENTS_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS COMMENTS_CommentId_Index ON COMMENTS (CommentId);")),
      CREATE_COMMENTS_POST_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS COMMENTS_PostId_Index ON COMMENTS (PostId);")),
      CREATE_POSTS_AREA_UPDATED_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS POSTS_Area_UpdatedDateDesc_Index ON POSTS (PostArea "
                         "COLLATE NOCASE, BlogId, UpdatedDate DESC);")),
      CREATE_POSTS_AREA_PUBLISHED_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS POSTS_Area_PublishDateDesc_Index ON POSTS (PostArea "
                         "COLLATE NOCASE, BlogId, PublishDate DESC);")),
      CREATE_POSTS_AREA_TITLE_INDEX_SQL(QStringLiteral("CREATE INDEX IF NOT EXISTS POSTS_Area_Title_Index ON "
                                                       "POSTS (PostArea COLLATE NOCASE, BlogId, Title);")),
      CREATE_POSTS_AREA_COMMENTS_INDEX_SQL(
          QStringLiteral("CREATE INDEX IF NOT EXISTS POSTS_Area_CommentsCountDesc_Index ON POSTS (PostArea "
                         "COLLATE NOCASE, BlogId, CommentsCount DESC);")),
      CREATE_POSTS_STATUS_INDEX_SQL(QStringLiteral(
          "CREATE INDEX IF NOT EXISTS POSTS_Status_Title_Index ON POSTS (PostStatus, BlogId, Title);")),
      DROP_ASCENDING_POSTS_INDEXES_SQL(
          {QStringLiteral("DROP INDEX IF EXISTS POSTS_Area_UpdatedDate_Index;"),
           QStringLiteral("DROP INDEX IF EXISTS POSTS_Area_PublishDate_Index;"),
           QStringLiteral("DROP INDEX IF EXISTS POSTS_Area_CommentsCount_Index;")}),
      DROP_USERS(QStringLiteral("DROP TABLE IF EXISTS USERS;")),
      DROP_BLOGS(QStringLiteral("DROP TABLE IF EXISTS BLOGS;")),
      DROP_POSTS(QStringLiteral("DROP TABLE IF EXISTS POSTS;")),
      DROP_COMMENTS(QStringLiteral("DROP TABLE IF EXISTS COMMENTS;"))
{
}

void SQLAccess::createDababaseStructure()
{
    db->query(CREATE_USERS_TABLE_SQL);
    db->query(CREATE_BLOGS_TABLE_SQL);
    db->query(CREATE_POSTS_TABLE_SQL);
    db->query(CREATE_COMMENTS_TABLE_SQL);
    db->query(CREATE_USERS_INDEX_SQL);
    db->query(CREATE_BLOGS_INDEX_SQL);
    db->query(CREATE_POSTS_INDEX_SQL);
    db->query(CREATE_COMMENTS_INDEX_SQL);
    db->query(CREATE_COMMENTS_POST_INDEX_SQL);
    db->query(CREATE_POSTS_AREA_UPDATED_INDEX_SQL);
    db->query(CREATE_POSTS_AREA_PUBLISHED_INDEX_SQL);
    db->query(CREATE_POSTS_AREA_TITLE_INDEX_SQL);
    db->query(CREATE_POSTS_AREA_COMMENTS_INDEX_SQL);
    db->query(CREATE_POSTS_STATUS_INDEX_SQL);
    for (const QString& drop : DROP_ASCENDING_POSTS_INDEXES_SQL) {
        db->query(drop);
    }
    refreshStoredPreviews();
}

void SQLAccess::refreshStoredPreviews()
{
    std::int64_t version = -1;
    db->readRows(QStringLiteral("PRAGMA user_version;"), {}, [&](const SQLRowReader& row) {
        version = row.integer(row.field(QStringLiteral("user_version"))).value_or(-1);
        return false;
    });
    if (version < 0 || version >= PreviewsReadableVersion) {
        return;
    }
    // One transaction: a run cut short leaves the old version, so the next start does it all again.
    db->transaction([&] {
        std::vector<std::pair<std::int64_t, QString>> previews;
        const StringServices strings;
        const bool read =
            db->readRows(QStringLiteral("SELECT Id, Content FROM POSTS;"), {}, [&](const SQLRowReader& row) {
                const std::optional<std::int64_t> id = row.integer(row.field(QStringLiteral("Id")));
                if (id) {
                    previews.emplace_back(
                        *id, strings.postPreview(
                                 row.string(row.field(QStringLiteral("Content"))).value_or(QString())));
                }
                return true;
            });
        if (!read) {
            return false;
        }
        for (const auto& [id, preview] : previews) {
            db->execute(QStringLiteral("UPDATE POSTS SET ContentPreview = ? WHERE Id = ?;"),
                        {preview, QVariant::fromValue(id)});
        }
        db->execute(QStringLiteral("PRAGMA user_version = %1;").arg(PreviewsReadableVersion));
        return true;
    });
}
