#include "PostsSQLAccess.h"

#include "common/GoogleDateService.h"
#include "common/StringServices.h"
#include "model/PostAreaAndStatusConverter.h"
#include "store/SQLRowReader.h"
#include "store/SQLiteDB.h"
#include "store/StoreOutcome.h"

#include <array>
#include <atomic>
#include <utility>
#include <vector>

namespace {

const QString SetCommentsCountSql =
    QStringLiteral("UPDATE POSTS SET CommentsCount = ? WHERE PostId = ? AND PostArea = ?");
const QString AddToCommentsCountSql =
    QStringLiteral("UPDATE POSTS SET CommentsCount = MAX(COALESCE(CommentsCount, 0) + ?, 0) WHERE PostId = ? "
                   "AND PostArea = ?");

// A post belongs to the blog it names; a row or a post without a blog (never written so by this version)
// matches any. Bound with the blog id twice.
const QString SameBlogSql =
    QStringLiteral("(BlogId = ? OR COALESCE(?, '') = '' OR COALESCE(BlogId, '') = '')");

QString dateText(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid()) {
        return QString("");
    }
    return GoogleDateService().isoDate(*date);
}

QString labelsText(const QStringList& labels)
{
    QString text("");
    for (const QString& label : labels) {
        text += label;
        text += QLatin1Char(',');
    }
    return text;
}

enum PostColumn
{
    IdColumn,
    BlogIdColumn,
    PostIdColumn,
    PublishDateColumn,
    UpdatedDateColumn,
    TitleColumn,
    ContentColumn,
    ContentPreviewColumn,
    LabelsColumn,
    CommentsCountColumn,
    PostUrlColumn,
    OfflineForPostWithIdColumn,
    PostStatusColumn,
    ColumnCount
};

const std::array<QString, ColumnCount>& columnNames()
{
    static const std::array<QString, ColumnCount> names{
        QStringLiteral("Id"),          QStringLiteral("BlogId"),
        QStringLiteral("PostId"),      QStringLiteral("PublishDate"),
        QStringLiteral("UpdatedDate"), QStringLiteral("Title"),
        QStringLiteral("Content"),     QStringLiteral("ContentPreview"),
        QStringLiteral("Labels"),      QStringLiteral("CommentsCount"),
        QStringLiteral("PostUrl"),     QStringLiteral("OfflineForPostWithId"),
        QStringLiteral("PostStatus")};
    return names;
}

// One mapping from columns to a post, whether they come from an SQLRow or straight from the statement:
// text(column) and integer(column) give what asString() and asInt() give, none for an absent column;
// date(column, into) sets `into` to the column's date when the column is there; status() the post status
// column's status.
template <typename Text, typename Integer, typename Date, typename Status>
void fillFromColumns(BloggerPost& post, const Text& text, const Integer& integer, const Date& date,
                     const Status& status)
{
    if (const std::optional<std::int64_t> value = integer(IdColumn)) {
        post.internalId = *value;
    }
    if (std::optional<QString> value = text(BlogIdColumn)) {
        post.blogId = std::move(*value);
    }
    if (std::optional<QString> value = text(PostIdColumn)) {
        post.postId = std::move(*value);
    }
    date(PublishDateColumn, post.publishDate);
    date(UpdatedDateColumn, post.updatedDate);
    if (std::optional<QString> value = text(TitleColumn)) {
        post.title = std::move(*value);
    }
    if (std::optional<QString> value = text(ContentColumn)) {
        post.content = std::move(*value);
    }
    if (std::optional<QString> value = text(ContentPreviewColumn)) {
        post.contentPreview = std::move(*value);
    }
    if (const std::optional<QString> value = text(LabelsColumn)) {
        post.labels = value->split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    if (const std::optional<std::int64_t> value = integer(CommentsCountColumn)) {
        post.commentsCount = *value;
    }
    if (std::optional<QString> value = text(PostUrlColumn)) {
        post.url = std::move(*value);
    }
    if (std::optional<QString> value = text(OfflineForPostWithIdColumn)) {
        post.offlineForPostWithId = std::move(*value);
    }
    if (const std::optional<PostStatus> value = status()) {
        post.postStatus = *value;
    }
}

// Reads posts off a statement; the columns are looked up by name once, on the first row. Every select
// here is of the one table, so a name stands for one column.
class PostReader
{
public:
    PostReader() = default;
    // For a select without the BlogId column, of the rows of one blog: every post shares that text.
    explicit PostReader(QString blogId) : m_blogId(std::move(blogId)) {}

    // Into a post made in place, so a long listing moves no post after it is read.
    void read(const SQLRowReader& reader, BloggerPost& post)
    {
        if (!m_resolved) {
            for (int column = 0; column < ColumnCount; ++column) {
                const SQLRowReader::Field field = reader.field(columnNames()[column]);
                m_columns[column] = field.isEmpty() ? -1 : field.first();
            }
            m_resolved = true;
        }
        fillFromColumns(
            post,
            [&](PostColumn column) {
                return m_columns[column] < 0 ? std::nullopt : reader.string(m_columns[column]);
            },
            [&](PostColumn column) {
                return m_columns[column] < 0 ? std::nullopt : reader.integer(m_columns[column]);
            },
            [&](PostColumn column, std::optional<QDateTime>& into) {
                if (m_columns[column] >= 0) {
                    date(reader, m_columns[column], into);
                }
            },
            [&] { return m_columns[PostStatusColumn] < 0 ? std::nullopt : status(reader); });
        if (m_blogId && m_columns[BlogIdColumn] < 0) {
            post.blogId = *m_blogId;
        }
    }

private:
    // Parsed from the stored bytes: a listing reads a date for every row, and a text would be made only
    // to be parsed.
    static void date(const SQLRowReader& reader, int column, std::optional<QDateTime>& into)
    {
        if (const std::optional<QByteArrayView> bytes = reader.utf8(column)) {
            into = GoogleDateService().parseDate(QLatin1StringView(bytes->data(), bytes->size()));
        } else if (const std::optional<QString> text = reader.string(column)) {
            into = GoogleDateService().parseDate(*text);
        }
    }

    // A listing holds a handful of statuses: each text is made and looked up once per read.
    std::optional<PostStatus> status(const SQLRowReader& reader)
    {
        const int column = m_columns[PostStatusColumn];
        const std::optional<QByteArrayView> bytes = reader.utf8(column);
        if (!bytes) {
            if (std::optional<QString> text = reader.string(column)) {
                return PostAreaAndStatusConverter().statusFromString(*text);
            }
            return std::nullopt;
        }
        for (const auto& [text, status] : m_statuses) {
            if (text == *bytes) {
                return status;
            }
        }
        const PostStatus status = PostAreaAndStatusConverter().statusFromString(QString::fromUtf8(*bytes));
        m_statuses.emplace_back(bytes->toByteArray(), status);
        return status;
    }

    std::optional<QString> m_blogId;
    std::array<int, ColumnCount> m_columns{};
    bool m_resolved = false;
    std::vector<std::pair<QByteArray, PostStatus>> m_statuses;
};

} // namespace

PostsSQLAccess::PostsSQLAccess() : PostsSQLAccess(SQLiteDB::sharedInstance()) {}

PostsSQLAccess::PostsSQLAccess(SQLiteDB& db)
    : db(&db),
      ADD_POST_SQL(QStringLiteral("INSERT INTO POSTS VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")),
      UPDATE_POST_SQL(QStringLiteral("UPDATE POSTS SET PublishDate = ?, UpdatedDate = ?, Title = ?, Content "
                                     "= ?, ContentPreview = ?, Labels = "
                                     "?, CommentsCount = ?, PostUrl = ?, PostStatus = ?, PostArea = ?,  "
                                     "OfflineForPostWithId = ? WHERE PostId = ? AND ") +
                      SameBlogSql),
      UPDATE_POST_STATUS_SQL(QStringLiteral("UPDATE POSTS SET PostStatus = ?, PostArea = ? WHERE Id = ?")),
      GET_POST_SQL(QStringLiteral("SELECT * FROM POSTS WHERE PostId = ? ORDER BY Id")),
      GET_OFFLINE_POST_SQL(QStringLiteral("SELECT * FROM POSTS WHERE OfflineForPostWithId = ?")),
      GET_POST_ID_SQL(QStringLiteral("SELECT * FROM POSTS WHERE Id = ?")),
      // The filter value is bound; only the enumerations' raw values are put into the text.
      GET_POSTS_SQL(QStringLiteral(
          "SELECT * FROM POSTS WHERE BlogId = ? AND {FILTER_BY} = ? ORDER BY {ORDER_BY} {ORDER}")),
      GET_ALL_POSTS_SQL(QStringLiteral("SELECT * FROM POSTS WHERE BlogId = ?")),
      DELETE_POST_SQL(QStringLiteral("DELETE FROM POSTS WHERE PostId = ?")),
      DELETE_POST_ID_SQL(QStringLiteral("DELETE FROM POSTS WHERE Id = ?")),
      GET_POST_ROW_ID_SQL(
          QStringLiteral("SELECT Id, BlogId FROM POSTS WHERE PostId = ? ORDER BY Id LIMIT 1")),
      // GET_POSTS_SQL with only the listed columns; the area and sort indexes serve it without sorting
      // the table (areas and statuses differ in more than case), and equal keys stay in row id order
      // whichever way the index is walked, as GET_POSTS_SQL gives them.
      // The blog id is the one asked for: every row shares that text instead of reading its own.
      GET_POST_ROWS_SQL(
          QStringLiteral("SELECT Id, PostId, UpdatedDate, Title, ContentPreview, CommentsCount, PostStatus "
                         "FROM POSTS WHERE BlogId = ? AND {FILTER_BY} = ? COLLATE NOCASE ORDER BY {ORDER_BY} "
                         "{ORDER}, Id")),
      GET_POST_ROW_IDS_SQL(QStringLiteral("SELECT Id FROM POSTS WHERE BlogId = ? AND {FILTER_BY} = ? COLLATE "
                                          "NOCASE ORDER BY {ORDER_BY} {ORDER}, Id")),
      GET_POST_ROWS_OF_POST_SQL(
          QStringLiteral("SELECT Id, BlogId, PostId, UpdatedDate, Title, ContentPreview, "
                         "CommentsCount, PostStatus FROM POSTS WHERE PostId = ?")),
      GET_POST_ROW_OF_ID_SQL(QStringLiteral("SELECT Id, BlogId, PostId, UpdatedDate, Title, ContentPreview, "
                                            "CommentsCount, PostStatus FROM POSTS WHERE Id = ?"))
{
}

std::optional<BloggerPost> PostsSQLAccess::firstPost(const QString& sql, const QVariantList& parameters,
                                                     bool* ok) const
{
    std::optional<BloggerPost> post;
    PostReader reader;
    const bool read = db->readRows(sql, parameters, [&](const SQLRowReader& row) {
        post.emplace();
        reader.read(row, *post);
        return false;
    });
    report(ok, read);
    return read ? post : std::nullopt;
}

QList<BloggerPost> PostsSQLAccess::posts(const QString& sql, const QVariantList& parameters, bool* ok) const
{
    QList<BloggerPost> result;
    PostReader reader;
    const bool read = db->readRows(sql, parameters, [&](const SQLRowReader& row) {
        reader.read(row, result.emplaceBack());
        return true;
    });
    report(ok, read);
    return result;
}

std::optional<BloggerPost> PostsSQLAccess::getBlogPost(const QString& postId, bool* ok) const
{
    return firstPost(GET_POST_SQL, {postId}, ok);
}

std::optional<BloggerPost> PostsSQLAccess::getOfflineBlogPost(const QString& postId, bool* ok) const
{
    return firstPost(GET_OFFLINE_POST_SQL, {postId}, ok);
}

std::optional<BloggerPost> PostsSQLAccess::getBlogPostById(std::int64_t id, bool* ok) const
{
    return firstPost(GET_POST_ID_SQL, {QVariant::fromValue<qint64>(id)}, ok);
}

QList<BloggerPost> PostsSQLAccess::listBlogPosts(const QString& blogId, PostSortOptions sort,
                                                 PostSortOrderOptions order, PostFilterOptions filter,
                                                 const QString& filterText, bool* ok) const
{
    QString sql = GET_POSTS_SQL;
    sql.replace(QStringLiteral("{ORDER_BY}"), rawValue(sort));
    sql.replace(QStringLiteral("{ORDER}"), rawValue(order));
    sql.replace(QStringLiteral("{FILTER_BY}"), rawValue(filter));
    return posts(sql, {blogId, filterText}, ok);
}

QList<BloggerPost> PostsSQLAccess::listBlogPostRows(const QString& blogId, PostSortOptions sort,
                                                    PostSortOrderOptions order, PostFilterOptions filter,
                                                    const QString& filterText, bool* ok) const
{
    QString sql = GET_POST_ROWS_SQL;
    sql.replace(QStringLiteral("{ORDER_BY}"), rawValue(sort));
    sql.replace(QStringLiteral("{ORDER}"), rawValue(order));
    sql.replace(QStringLiteral("{FILTER_BY}"), rawValue(filter));
    // SQLite does not tell how many rows will come, and 10,000 posts copied as the list grows cost a
    // tenth of reading them: a listing is most often as long as the one before it.
    static std::atomic<qsizetype> lastListingSize = 0;
    const qsizetype expected = lastListingSize.load(std::memory_order_relaxed);
    QList<BloggerPost> rows;
    rows.reserve(expected);
    PostReader reader(blogId);
    const bool read = db->readRows(sql, {blogId, filterText}, [&](const SQLRowReader& row) {
        reader.read(row, rows.emplaceBack());
        return true;
    });
    lastListingSize.store(rows.size(), std::memory_order_relaxed);
    // A short area listed after a long one does not keep the long one's room. Only then: squeezing moves
    // every post into a new block, and a list that grew on its own keeps the usual room to grow.
    if (expected > rows.size() + rows.size() / 4 + 16) {
        rows.squeeze();
    }
    report(ok, read);
    return rows;
}

QList<std::int64_t> PostsSQLAccess::listBlogPostRowIds(const QString& blogId, PostSortOptions sort,
                                                       PostSortOrderOptions order, PostFilterOptions filter,
                                                       const QString& filterText, bool* ok) const
{
    QString sql = GET_POST_ROW_IDS_SQL;
    sql.replace(QStringLiteral("{ORDER_BY}"), rawValue(sort));
    sql.replace(QStringLiteral("{ORDER}"), rawValue(order));
    sql.replace(QStringLiteral("{FILTER_BY}"), rawValue(filter));
    QList<std::int64_t> ids;
    SQLRowReader::Field field;
    bool resolved = false;
    const bool read = db->readRows(sql, {blogId, filterText}, [&](const SQLRowReader& row) {
        if (!resolved) {
            field = row.field(QStringLiteral("Id"));
            resolved = true;
        }
        if (const std::optional<std::int64_t> id = row.integer(field)) {
            ids.append(*id);
        }
        return true;
    });
    report(ok, read);
    return read ? ids : QList<std::int64_t>();
}

QList<BloggerPost> PostsSQLAccess::getBlogPostRows(const QString& postId, bool* ok) const
{
    return posts(GET_POST_ROWS_OF_POST_SQL, {postId}, ok);
}

std::optional<BloggerPost> PostsSQLAccess::getBlogPostRowById(std::int64_t id, bool* ok) const
{
    return firstPost(GET_POST_ROW_OF_ID_SQL, {QVariant::fromValue<qint64>(id)}, ok);
}

QList<BloggerPost> PostsSQLAccess::listAllBlogPosts(const QString& blogId, bool* ok) const
{
    return posts(GET_ALL_POSTS_SQL, {blogId}, ok);
}

std::optional<std::int64_t> PostsSQLAccess::firstRowIdOfPost(const QString& postId, bool* ok) const
{
    std::optional<std::int64_t> id;
    const bool read = db->readRows(GET_POST_ROW_ID_SQL, {postId}, [&](const SQLRowReader& row) {
        id = row.integer(row.field(QStringLiteral("Id")));
        return false;
    });
    report(ok, read);
    return read ? id : std::nullopt;
}

bool PostsSQLAccess::addBlogPostIfNotExists(const BloggerPost& post, bool* ok, QString* storedBlogId) const
{
    bool exists = false;
    const bool read = db->readRows(GET_POST_ROW_ID_SQL, {post.postId}, [&](const SQLRowReader& row) {
        exists = true;
        if (storedBlogId) {
            *storedBlogId = row.string(row.field(QStringLiteral("BlogId"))).value_or(QString());
        }
        return false;
    });
    if (!read || exists) {
        report(ok, read);
        return false;
    }
    bool written = false;
    db->query(ADD_POST_SQL,
              {post.blogId, post.postId, dateText(post.publishDate), dateText(post.updatedDate), post.title,
               post.content, StringServices().postPreview(post.content), labelsText(post.labels),
               QVariant::fromValue<qint64>(post.commentsCount), post.url, rawValue(post.postStatus),
               rawValue(post.area()), post.offlineForPostWithId},
              &written);
    report(ok, written);
    return written;
}

bool PostsSQLAccess::updateBlogPost(const BloggerPost& post) const
{
    bool written = false;
    db->query(UPDATE_POST_SQL,
              {dateText(post.publishDate), dateText(post.updatedDate), post.title, post.content,
               StringServices().postPreview(post.content), labelsText(post.labels),
               QVariant::fromValue<qint64>(post.commentsCount), post.url, rawValue(post.postStatus),
               rawValue(post.area()), post.offlineForPostWithId, post.postId, post.blogId, post.blogId},
              &written);
    return written;
}

bool PostsSQLAccess::isSameBlog(const QString& blogId, const QString& storedBlogId)
{
    return blogId.isEmpty() || storedBlogId.isEmpty() || blogId == storedBlogId;
}

bool PostsSQLAccess::updateBlogPostStatus(std::int64_t id, PostStatus status) const
{
    const PostArea area = PostAreaAndStatusConverter().areaForStatus(status);
    bool written = false;
    db->query(UPDATE_POST_STATUS_SQL, {rawValue(status), rawValue(area), QVariant::fromValue<qint64>(id)},
              &written);
    return written;
}

bool PostsSQLAccess::deleteBlogPost(const QString& postId) const
{
    bool written = false;
    db->query(DELETE_POST_SQL, {postId}, &written);
    return written;
}

bool PostsSQLAccess::deleteBlogPostById(std::int64_t id) const
{
    bool written = false;
    db->query(DELETE_POST_ID_SQL, {QVariant::fromValue<qint64>(id)}, &written);
    return written;
}

BloggerPost PostsSQLAccess::blogPostFromRow(const SQLRow& row) const
{
    const auto& names = columnNames();
    BloggerPost post;
    fillFromColumns(
        post,
        [&](PostColumn column) -> std::optional<QString> {
            const SQLColumn* value = row.find(names[column]);
            return value ? std::optional<QString>(value->asString()) : std::nullopt;
        },
        [&](PostColumn column) -> std::optional<std::int64_t> {
            const SQLColumn* value = row.find(names[column]);
            return value ? std::optional<std::int64_t>(value->asInt()) : std::nullopt;
        },
        [&](PostColumn column, std::optional<QDateTime>& into) {
            if (const SQLColumn* value = row.find(names[column])) {
                into = GoogleDateService().parseDate(value->asString());
            }
        },
        [&]() -> std::optional<PostStatus> {
            const SQLColumn* value = row.find(names[PostStatusColumn]);
            return value ? std::optional<PostStatus>(
                               PostAreaAndStatusConverter().statusFromString(value->asString()))
                         : std::nullopt;
        });
    return post;
}

QMultiHash<QString, PostStatus> PostsSQLAccess::statusesOfPosts(const QStringList& postIds, bool* ok) const
{
    QMultiHash<QString, PostStatus> statuses;
    if (postIds.isEmpty()) {
        report(ok, true);
        return statuses;
    }
    QVariantList ids;
    QStringList marks;
    for (const QString& postId : postIds) {
        ids.append(postId);
        marks.append(QStringLiteral("?"));
    }
    const QString sql =
        QStringLiteral("SELECT PostId, PostStatus FROM POSTS WHERE PostId IN (") + marks.join(',') + ')';
    const PostAreaAndStatusConverter converter;
    SQLRowReader::Field idField;
    SQLRowReader::Field statusField;
    bool resolved = false;
    const bool read = db->readRows(sql, ids, [&](const SQLRowReader& row) {
        if (!resolved) {
            idField = row.field(QStringLiteral("PostId"));
            statusField = row.field(QStringLiteral("PostStatus"));
            resolved = true;
        }
        const std::optional<QString> id = row.string(idField);
        const std::optional<QString> status = row.string(statusField);
        if (id && status) {
            statuses.insert(*id, converter.statusFromString(*status));
        }
        return true;
    });
    report(ok, read);
    return read ? statuses : QMultiHash<QString, PostStatus>();
}

bool PostsSQLAccess::setCommentsCount(const QString& postId, std::int64_t count) const
{
    bool written = false;
    db->query(SetCommentsCountSql,
              {QVariant::fromValue<qint64>(count), postId, rawValue(PostArea::Published)}, &written);
    return written;
}

bool PostsSQLAccess::addToCommentsCount(const QString& postId, std::int64_t difference) const
{
    bool written = false;
    db->query(AddToCommentsCountSql,
              {QVariant::fromValue<qint64>(difference), postId, rawValue(PostArea::Published)}, &written);
    return written;
}
