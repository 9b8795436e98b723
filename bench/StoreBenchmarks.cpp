// Wrapper against raw sqlite3 for the local store's hot paths. Run a Release build:
//   ./build/bin/bench_store --benchmark_counters_tabular=true
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
const QString JoinPost = QStringLiteral("post-with-comments");

BloggerPost samplePost(const QString& blogId, int n)
{
    const QDateTime base(QDate(2015, 1, 1), QTime(8, 0), Qt::LocalTime);
    QString content =
        QStringLiteral("<p>Paragraph %1 with <b>bold</b> text and a <a href=\"http://x\">link</a>.</p>")
            .arg(n);
    content = content.repeated(20);
    return BloggerPost(
        blogId, QStringLiteral("post-%1").arg(n), base.addSecs(3600LL * ((n * 7919) % 10000)),
        base.addSecs(60LL * ((n * 104729) % 100000)), QStringLiteral("Title %1").arg((n * 31) % 10007),
        content, QString(), {QStringLiteral("one"), QStringLiteral("two")}, (n * 13) % 97,
        QStringLiteral("http://blog.example/%1.html").arg(n), PostStatus::Published, QStringLiteral("0"));
}

QString freshPath(QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile::remove(path);
    return path;
}

// The same texts the wrapper binds, computed outside the timed floor loop's statement work.
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

void createSchema(const QString& path)
{
    SQLiteDB db(path, nullptr, QString());
    SQLAccess(db).createDababaseStructure();
}

// Raw floor of add-if-absent: look-up, then insert, same statements, prepared once.
void rawAddPosts(sqlite3* db, const QList<PostTexts>& posts, bool oneTransaction)
{
    sqlite3_stmt* lookUp = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM POSTS WHERE PostId = ?", -1, &lookUp, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO POSTS VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1,
                       &insert, nullptr);
    if (oneTransaction) {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    for (const PostTexts& post : posts) {
        bindText(lookUp, 1, post.postId);
        const bool found = sqlite3_step(lookUp) == SQLITE_ROW;
        sqlite3_reset(lookUp);
        if (found) {
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
    if (oneTransaction) {
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(lookUp);
    sqlite3_finalize(insert);
}

QList<BloggerPost> thousandPosts()
{
    QList<BloggerPost> posts;
    for (int n = 0; n < 1000; ++n) {
        posts.append(samplePost(QStringLiteral("blog-write"), n));
    }
    return posts;
}

// Each iteration writes the thousand posts into a new file database; `write` does the timed part.
template <typename Write> void addOrUpdateThousandThroughService(benchmark::State& state, Write write)
{
    QTemporaryDir dir;
    const QList<BloggerPost> posts = thousandPosts();
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = freshPath(dir, QStringLiteral("write.db"));
        createSchema(path);
        auto db = std::make_unique<SQLiteDB>(path, nullptr, QString());
        const PostsLocalAccessAppService service(*db);
        state.ResumeTiming();
        write(service, posts);
    }
    state.SetItemsProcessed(state.iterations() * posts.size());
}

void BM_AddOrUpdate1000_Service(benchmark::State& state)
{
    addOrUpdateThousandThroughService(
        state, [](const PostsLocalAccessAppService& service, const QList<BloggerPost>& posts) {
            for (const BloggerPost& post : posts) {
                benchmark::DoNotOptimize(service.addOrUpdatePost(post));
            }
        });
}
BENCHMARK(BM_AddOrUpdate1000_Service)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_AddOrUpdate1000_ServiceBatch(benchmark::State& state)
{
    addOrUpdateThousandThroughService(
        state, [](const PostsLocalAccessAppService& service, const QList<BloggerPost>& posts) {
            benchmark::DoNotOptimize(service.addOrUpdatePosts(posts));
        });
}
BENCHMARK(BM_AddOrUpdate1000_ServiceBatch)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// journal: 0 rollback journal (the store's mode), 1 WAL with synchronous=FULL (same durability).
void BM_AddOrUpdate1000_Raw(benchmark::State& state)
{
    const bool oneTransaction = state.range(0) != 0;
    const bool wal = state.range(1) != 0;
    QTemporaryDir dir;
    QList<PostTexts> texts;
    for (const BloggerPost& post : thousandPosts()) {
        texts.append(textsOf(post));
    }
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = freshPath(dir, QStringLiteral("write.db"));
        QFile::remove(path + QStringLiteral("-wal"));
        createSchema(path);
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        if (wal) {
            sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        }
        state.ResumeTiming();
        rawAddPosts(db, texts, oneTransaction);
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * texts.size());
}
BENCHMARK(BM_AddOrUpdate1000_Raw)
    ->ArgNames({"oneTransaction", "wal"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// One database of 10,000 posts of one blog and a post with 500 comments, made once.
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
            for (int n = 0; n < 500; ++n) {
                const BloggerUser author(QStringLiteral("author-%1").arg(n % 50),
                                         QStringLiteral("Author %1").arg(n % 50),
                                         QStringLiteral("http://profile/%1").arg(n % 50),
                                         QStringLiteral("http://picture/%1").arg(n % 50));
                comments.addOrUpdatePostComment(BloggerPostComment(
                    QStringLiteral("b"), JoinPost, QStringLiteral("comment-%1").arg(n), author,
                    QDateTime(QDate(2015, 3, 1), QTime(0, 0), Qt::LocalTime).addSecs(n * 600LL),
                    QStringLiteral("A comment of some length, number %1.").arg(n)));
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

// The floor: the same statement on sqlite3, each row made into the same record.
void BM_ListPosts_Raw(benchmark::State& state)
{
    const auto sort = static_cast<PostSortOptions>(state.range(0));
    const auto order = static_cast<PostSortOrderOptions>(state.range(1));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(ReadFixture::instance().path()).constData(), &db);
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
    bench->ArgNames({"sort", "order"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ListPosts_Service)->Apply(sortAndOrderArgs);
BENCHMARK(BM_ListPosts_Raw)->Apply(sortAndOrderArgs);

void BM_CommentsJoin_Service(benchmark::State& state)
{
    SQLiteDB db(ReadFixture::instance().path(), nullptr, QString());
    const CommentsLocalAccessAppService service(db);
    for (auto _ : state) {
        const QList<BloggerPostComment> comments = service.listAllCommentsForPost(JoinPost);
        if (comments.size() != 500) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(comments.data());
    }
}
BENCHMARK(BM_CommentsJoin_Service)->Unit(benchmark::kMicrosecond);

void BM_CommentsJoin_Raw(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(ReadFixture::instance().path()).constData(), &db);
    const QByteArray post = JoinPost.toUtf8();
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
        if (comments.size() != 500) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(comments.data());
    }
    sqlite3_close(db);
}
BENCHMARK(BM_CommentsJoin_Raw)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
