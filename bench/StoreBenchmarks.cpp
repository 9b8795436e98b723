// The local store's hot paths, each beside its floor on raw sqlite3, in turns; prints the ratios.
// Run a Release build:
//   ./build/bin/bench_store [--turns=5] [--rows=TEXT] [--benchmark_min_time=0.2]
#include "support/FloorComparison.h"

#include "common/GoogleDateService.h"
#include "common/StringServices.h"
#include "model/PostAreaAndStatusConverter.h"
#include "store/CommentsLocalAccessAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace {

const QString ListBlog = QStringLiteral("blog-list");
const QString WriteBlog = QStringLiteral("blog-write");

// Dates as instants, as the feed reader hands them over for storing.
BloggerPost samplePost(const QString& blogId, int n, const QString& titlePrefix = QStringLiteral("Title"))
{
    const QDateTime base(QDate(2015, 1, 1), QTime(8, 0), Qt::UTC);
    QString content =
        QStringLiteral("<p>Paragraph %1 with <b>bold</b> text and a <a href=\"http://x\">link</a>.</p>")
            .arg(n);
    content = content.repeated(20);
    return BloggerPost(blogId, QStringLiteral("post-%1").arg(n), base.addSecs(3600LL * ((n * 7919) % 10000)),
                       base.addSecs(60LL * ((n * 104729) % 100000)),
                       titlePrefix + QStringLiteral(" %1").arg((n * 31) % 10007), content, QString(),
                       {QStringLiteral("one"), QStringLiteral("two")}, (n * 13) % 97,
                       QStringLiteral("http://blog.example/%1.html").arg(n), PostStatus::Published,
                       QStringLiteral("0"));
}

QList<BloggerPost> samplePosts(int count, const QString& titlePrefix = QStringLiteral("Title"))
{
    QList<BloggerPost> posts;
    for (int n = 0; n < count; ++n) {
        posts.append(samplePost(WriteBlog, n, titlePrefix));
    }
    return posts;
}

BloggerPostComment sampleComment(const QString& postId, int n)
{
    const BloggerUser author(QStringLiteral("author-%1").arg(n % 50), QStringLiteral("Author %1").arg(n % 50),
                             QStringLiteral("http://profile/%1").arg(n % 50),
                             QStringLiteral("http://picture/%1").arg(n % 50));
    return BloggerPostComment(QStringLiteral("b"), postId, QStringLiteral("%1-comment-%2").arg(postId).arg(n),
                              author, QDateTime(QDate(2015, 3, 1), QTime(0, 0), Qt::UTC).addSecs(n * 600LL),
                              QStringLiteral("A comment of some length, number %1.").arg(n));
}

// The structure the application makes at start: the four tables and their indexes.
void createSchema(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    SQLiteDB db(path, nullptr, QString());
    SQLAccess(db).createDababaseStructure();
}

// The texts the store binds for a post, worked out as the store works them out.
struct PostTexts
{
    QByteArray blogId, postId, publish, updated, title, content, preview, labels, url, status, area, offline;
    qint64 commentsCount;
};

PostTexts textsOf(const BloggerPost& post)
{
    const GoogleDateService dates;
    QString labels;
    for (const QString& label : post.labels) {
        labels += label + QLatin1Char(',');
    }
    return {post.blogId.toUtf8(),
            post.postId.toUtf8(),
            dates.isoDate(*post.publishDate).toUtf8(),
            dates.isoDate(*post.updatedDate).toUtf8(),
            post.title.toUtf8(),
            post.content.toUtf8(),
            StringServices().postPreview(post.content).toUtf8(),
            labels.toUtf8(),
            post.url.toUtf8(),
            rawValue(post.postStatus).toUtf8(),
            rawValue(post.area()).toUtf8(),
            post.offlineForPostWithId.toUtf8(),
            post.commentsCount};
}

void bindText(sqlite3_stmt* statement, int index, const QByteArray& text)
{
    sqlite3_bind_text64(statement, index, text.constData(), static_cast<sqlite3_uint64>(text.size()),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
}

sqlite3* openRaw(const QString& path)
{
    sqlite3* db = nullptr;
    // Without SQLite's own lock, as the store opens its connection.
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    return db;
}

QList<PostTexts> textsOf(const QList<BloggerPost>& posts)
{
    QList<PostTexts> texts;
    for (const BloggerPost& post : posts) {
        texts.append(textsOf(post));
    }
    return texts;
}

// The floor of a batch add-or-update: one transaction, statements prepared once, the look-up by the
// indexed post id, then an insert or an update of the same columns the store writes. The texts to
// bind (preview, dates, labels) are worked out before, outside the time taken.
void rawAddOrUpdate(sqlite3* db, const QList<PostTexts>& posts)
{
    sqlite3_stmt* lookUp = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "SELECT Id FROM POSTS WHERE PostId = ? LIMIT 1", -1, &lookUp, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO POSTS VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1,
                       &insert, nullptr);
    sqlite3_prepare_v2(db,
                       "UPDATE POSTS SET PublishDate = ?, UpdatedDate = ?, Title = ?, Content = ?, "
                       "ContentPreview = ?, Labels = ?, CommentsCount = ?, PostUrl = ?, PostStatus = ?, "
                       "PostArea = ?, OfflineForPostWithId = ? WHERE PostId = ?",
                       -1, &update, nullptr);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const PostTexts& post : posts) {
        bindText(lookUp, 1, post.postId);
        const bool found = sqlite3_step(lookUp) == SQLITE_ROW;
        sqlite3_reset(lookUp);
        if (found) {
            bindText(update, 1, post.publish);
            bindText(update, 2, post.updated);
            bindText(update, 3, post.title);
            bindText(update, 4, post.content);
            bindText(update, 5, post.preview);
            bindText(update, 6, post.labels);
            sqlite3_bind_int64(update, 7, post.commentsCount);
            bindText(update, 8, post.url);
            bindText(update, 9, post.status);
            bindText(update, 10, post.area);
            bindText(update, 11, post.offline);
            bindText(update, 12, post.postId);
            sqlite3_step(update);
            sqlite3_reset(update);
            continue;
        }
        bindText(insert, 1, post.blogId);
        bindText(insert, 2, post.postId);
        bindText(insert, 3, post.publish);
        bindText(insert, 4, post.updated);
        bindText(insert, 5, post.title);
        bindText(insert, 6, post.content);
        bindText(insert, 7, post.preview);
        bindText(insert, 8, post.labels);
        sqlite3_bind_int64(insert, 9, post.commentsCount);
        bindText(insert, 10, post.url);
        bindText(insert, 11, post.status);
        bindText(insert, 12, post.area);
        bindText(insert, 13, post.offline);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(lookUp);
    sqlite3_finalize(insert);
    sqlite3_finalize(update);
}

// ---- add new posts, batch (1,000 and 10,000) ----

void BM_AddNewPosts_Service(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("write.db"));
    const QList<BloggerPost> posts = samplePosts(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        createSchema(path);
        auto db = std::make_unique<SQLiteDB>(path, nullptr, QString());
        const PostsLocalAccessAppService service(*db);
        state.ResumeTiming();
        bool ok = false;
        benchmark::DoNotOptimize(service.addOrUpdatePosts(posts, &ok));
        if (!ok) {
            state.SkipWithError("not stored");
        }
    }
}
BENCHMARK(BM_AddNewPosts_Service)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AddNewPosts_Raw(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("write.db"));
    const QList<PostTexts> posts = textsOf(samplePosts(int(state.range(0))));
    for (auto _ : state) {
        state.PauseTiming();
        createSchema(path);
        sqlite3* db = openRaw(path);
        state.ResumeTiming();
        rawAddOrUpdate(db, posts);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddNewPosts_Raw)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- update 1,000 stored posts, batch ----

// A database holding the thousand posts, copied afresh for each iteration.
QString storedThousand(QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("stored.db"));
    createSchema(path);
    SQLiteDB db(path, nullptr, QString());
    PostsLocalAccessAppService(db).addOrUpdatePosts(samplePosts(1000));
    return path;
}

QString freshCopy(const QString& source, QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("update.db"));
    QFile::remove(path);
    QFile::copy(source, path);
    return path;
}

void BM_UpdateStoredPosts_Service(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString stored = storedThousand(dir);
    const QList<BloggerPost> posts = samplePosts(1000, QStringLiteral("Changed"));
    for (auto _ : state) {
        state.PauseTiming();
        auto db = std::make_unique<SQLiteDB>(freshCopy(stored, dir), nullptr, QString());
        const PostsLocalAccessAppService service(*db);
        state.ResumeTiming();
        bool ok = false;
        benchmark::DoNotOptimize(service.addOrUpdatePosts(posts, &ok));
        if (!ok) {
            state.SkipWithError("not stored");
        }
    }
}
BENCHMARK(BM_UpdateStoredPosts_Service)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpdateStoredPosts_Raw(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString stored = storedThousand(dir);
    const QList<PostTexts> posts = textsOf(samplePosts(1000, QStringLiteral("Changed")));
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3* db = openRaw(freshCopy(stored, dir));
        state.ResumeTiming();
        rawAddOrUpdate(db, posts);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UpdateStoredPosts_Raw)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- store 500 and 5,000 comments ----

void BM_StoreComments_Service(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("comments.db"));
    QList<BloggerPostComment> comments;
    for (int n = 0; n < state.range(0); ++n) {
        comments.append(sampleComment(QStringLiteral("post"), n));
    }
    for (auto _ : state) {
        state.PauseTiming();
        createSchema(path);
        auto db = std::make_unique<SQLiteDB>(path, nullptr, QString());
        const CommentsLocalAccessAppService service(*db);
        state.ResumeTiming();
        const bool stored = db->transaction([&] {
            for (const BloggerPostComment& comment : comments) {
                bool ok = false;
                service.addOrUpdatePostComment(comment, &ok);
                if (!ok) {
                    return false;
                }
            }
            return true;
        });
        if (!stored) {
            state.SkipWithError("not stored");
        }
    }
}
BENCHMARK(BM_StoreComments_Service)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- reads: one database of 10,000 posts of one blog and two posts with 500 and 5,000 comments ----

QString commentedPost(int comments)
{
    return QStringLiteral("post-with-%1-comments").arg(comments);
}

class ReadFixture
{
public:
    static ReadFixture& instance()
    {
        static ReadFixture fixture;
        return fixture;
    }
    QString path() const { return m_dir.filePath(QStringLiteral("read.db")); }

private:
    ReadFixture()
    {
        createSchema(path());
        SQLiteDB db(path(), nullptr, QString());
        QList<BloggerPost> posts;
        for (int n = 0; n < 10000; ++n) {
            posts.append(samplePost(ListBlog, n));
        }
        PostsLocalAccessAppService(db).addOrUpdatePosts(posts);
        const CommentsLocalAccessAppService comments(db);
        db.transaction([&] {
            for (int count : {500, 5000}) {
                for (int n = 0; n < count; ++n) {
                    comments.addOrUpdatePostComment(sampleComment(commentedPost(count), n));
                }
            }
        });
    }
    QTemporaryDir m_dir;
};

std::string sortLabel(PostSortOptions sort, PostSortOrderOptions order)
{
    return (rawValue(sort) + QLatin1Char(' ') + rawValue(order)).toStdString();
}

void BM_ListPosts_Service(benchmark::State& state)
{
    const auto sort = static_cast<PostSortOptions>(state.range(0));
    const auto order = static_cast<PostSortOrderOptions>(state.range(1));
    SQLiteDB db(ReadFixture::instance().path(), nullptr, QString());
    const PostsLocalAccessAppService service(db);
    for (auto _ : state) {
        const QList<BloggerPost> posts = service.listFilteredPostsForBlog(
            ListBlog, sort, order, PostFilterOptions::ByArea, QStringLiteral("Published"));
        if (posts.size() != 10000) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(posts.data());
    }
    state.SetLabel(sortLabel(sort, order));
}

// The floor: the same statement on sqlite3, each row read by column index into the same record.
void BM_ListPosts_Raw(benchmark::State& state)
{
    const auto sort = static_cast<PostSortOptions>(state.range(0));
    const auto order = static_cast<PostSortOrderOptions>(state.range(1));
    sqlite3* db = openRaw(ReadFixture::instance().path());
    const QByteArray sql =
        (QStringLiteral("SELECT * FROM POSTS WHERE BlogId = ? AND PostArea = ? ORDER BY ") + rawValue(sort) +
         QLatin1Char(' ') + rawValue(order))
            .toUtf8();
    const QByteArray blog = ListBlog.toUtf8();
    const GoogleDateService dates;
    const PostAreaAndStatusConverter converter;
    auto text = [](sqlite3_stmt* s, int i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return QString::fromUtf8(t, sqlite3_column_bytes(s, i));
    };
    for (auto _ : state) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr);
        bindText(s, 1, blog);
        bindText(s, 2, QByteArrayLiteral("Published"));
        QList<BloggerPost> posts;
        while (sqlite3_step(s) == SQLITE_ROW) {
            BloggerPost post;
            post.internalId = sqlite3_column_int64(s, 0);
            post.blogId = text(s, 1);
            post.postId = text(s, 2);
            post.publishDate = dates.parseDate(text(s, 3));
            post.updatedDate = dates.parseDate(text(s, 4));
            post.title = text(s, 5);
            post.content = text(s, 6);
            post.contentPreview = text(s, 7);
            post.labels = text(s, 8).split(QLatin1Char(','), Qt::SkipEmptyParts);
            post.commentsCount = sqlite3_column_int64(s, 9);
            post.url = text(s, 10);
            post.postStatus = converter.statusFromString(text(s, 11));
            post.offlineForPostWithId = text(s, 13);
            posts.append(std::move(post));
        }
        sqlite3_finalize(s);
        if (posts.size() != 10000) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(posts.data());
    }
    sqlite3_close(db);
    state.SetLabel(sortLabel(sort, order));
}

void sortAndOrderArgs(benchmark::internal::Benchmark* bench)
{
    for (int sort = 0; sort < 4; ++sort) {
        for (int order = 0; order < 2; ++order) {
            bench->Args({sort, order});
        }
    }
    bench->ArgNames({"sort", "order"})->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_ListPosts_Service)->Apply(sortAndOrderArgs);
BENCHMARK(BM_ListPosts_Raw)->Apply(sortAndOrderArgs);

void BM_CommentsJoin_Service(benchmark::State& state)
{
    SQLiteDB db(ReadFixture::instance().path(), nullptr, QString());
    const CommentsLocalAccessAppService service(db);
    const QString post = commentedPost(int(state.range(0)));
    for (auto _ : state) {
        const QList<BloggerPostComment> comments = service.listAllCommentsForPost(post);
        if (comments.size() != state.range(0)) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(comments.data());
    }
}
BENCHMARK(BM_CommentsJoin_Service)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_CommentsJoin_Raw(benchmark::State& state)
{
    sqlite3* db = openRaw(ReadFixture::instance().path());
    const QByteArray post = commentedPost(int(state.range(0))).toUtf8();
    const GoogleDateService dates;
    auto text = [](sqlite3_stmt* s, int i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return t ? std::optional<QString>(QString::fromUtf8(t, sqlite3_column_bytes(s, i))) : std::nullopt;
    };
    for (auto _ : state) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT * FROM COMMENTS LEFT JOIN USERS ON COMMENTS.AuthorId = USERS.UserId WHERE "
                           "COMMENTS.PostId = ? ORDER BY PublishDate DESC",
                           -1, &s, nullptr);
        bindText(s, 1, post);
        QList<BloggerPostComment> comments;
        while (sqlite3_step(s) == SQLITE_ROW) {
            BloggerPostComment comment;
            comment.blogId = text(s, 1).value_or(comment.blogId);
            comment.postId = text(s, 2).value_or(comment.postId);
            comment.commentId = text(s, 3).value_or(comment.commentId);
            comment.publishDate = dates.parseDate(text(s, 5).value_or(QString()));
            comment.content = text(s, 6).value_or(comment.content);
            comment.author.userId = text(s, 9).value_or(comment.author.userId);
            comment.author.userName = text(s, 10).value_or(comment.author.userName);
            comment.author.userLink = text(s, 11).value_or(comment.author.userLink);
            comment.author.userPicture = text(s, 12).value_or(comment.author.userPicture);
            comments.append(std::move(comment));
        }
        sqlite3_finalize(s);
        if (comments.size() != state.range(0)) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(comments.data());
    }
    sqlite3_close(db);
}
BENCHMARK(BM_CommentsJoin_Raw)->Arg(500)->Arg(5000)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    FloorComparison table;
    for (int sort = 0; sort < 4; ++sort) {
        for (int order = 0; order < 2; ++order) {
            const std::string args = "/sort:" + std::to_string(sort) + "/order:" + std::to_string(order);
            table.add({"list 10,000 posts, " + sortLabel(PostSortOptions(sort), PostSortOrderOptions(order)),
                       "BM_ListPosts_Service" + args + "/real_time", "BM_ListPosts_Raw" + args + "/real_time",
                       1.5});
        }
    }
    table.add({"add 1,000 new posts, batch", "BM_AddNewPosts_Service/1000/real_time",
               "BM_AddNewPosts_Raw/1000/real_time", 1.5});
    table.add({"update 1,000 stored posts, batch (floor indexed)", "BM_UpdateStoredPosts_Service/real_time",
               "BM_UpdateStoredPosts_Raw/real_time", 1.5});
    table.add({"add 10,000 new posts, batch (floor indexed)", "BM_AddNewPosts_Service/10000/real_time",
               "BM_AddNewPosts_Raw/10000/real_time", 0});
    table.add({"add new posts, batch: 10,000 against 1,000 (growth)",
               "BM_AddNewPosts_Service/10000/real_time", "BM_AddNewPosts_Service/1000/real_time", 12});
    table.add({"store comments: 5,000 against 500 (growth)", "BM_StoreComments_Service/5000/real_time",
               "BM_StoreComments_Service/500/real_time", 12});
    for (int count : {500, 5000}) {
        const std::string args = "/" + std::to_string(count) + "/real_time";
        table.add({"read the comments of a post (join), " + std::to_string(count),
                   "BM_CommentsJoin_Service" + args, "BM_CommentsJoin_Raw" + args, 2});
    }
    return table.run(argc, argv);
}
