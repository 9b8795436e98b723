// A blog's full listing (five pages of twenty posts of about 2 KB) downloaded from the stand-in and stored,
// beside its floor: the same six exchanges with the stand-in and nothing else (one token refresh, five feed
// pages, each page read once through a bare XML reader, since no download can store what it did not read),
// then the batch store of the hundred posts alone. In turns; prints the ratio against the goal of 1.3.
//   ./build/bin/bench_download [--turns=5] [--benchmark_min_time=0.5]
#include "support/FloorComparison.h"

#include "GoogleStandin.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleServiceEndpoints.h"
#include "google/PostsGoogleService.h"
#include "platform/UrlSession.h"
#include "services/PostsRemotePersistenceAppService.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

namespace {

const QString BlogId = QStringLiteral("4120843728710463922");

struct Fixture
{
    GoogleStandin standin;
    std::shared_ptr<GoogleAuthentificationService> auth;
    QList<BloggerPost> listed;
};

Fixture& fixture()
{
    static Fixture* f = [] {
        auto* made = new Fixture;
        if (made->standin.start(0) == 0) {
            std::fprintf(stderr, "stand-in did not start\n");
            std::exit(1);
        }
        // Posts of about 2 KB, the size of real ones.
        const QString paragraph = QStringLiteral(
            "<p>Body of the post with <b>some</b> markup, a <a href=\"http://blog.example/x\">link</a> "
            "&amp; an entity, long enough to make the post the size of a real one.</p>");
        for (int i = 0; i < 100; ++i) {
            StandinPost post;
            post.title = QStringLiteral("Post %1").arg(i);
            post.content = paragraph.repeated(2048 / int(paragraph.size()));
            post.labels = {QStringLiteral("travel"), QStringLiteral("notes")};
            post.updated = QDateTime::currentDateTimeUtc().addSecs(-60LL * i);
            post.published = post.updated.addSecs(-30);
            post.urlPath = QStringLiteral("2015/03/post-%1.html").arg(i);
            made->standin.addPost(BlogId, post);
        }
        const QByteArray base = made->standin.serverUrl().toString().toUtf8();
        qputenv("PENHOLLOW_GOOGLE_API_URL", base);
        qputenv("PENHOLLOW_BLOGGER_URL", base);
        qputenv("PENHOLLOW_OAUTH_URL", base);
        made->auth = GoogleAuthentificationService::createWithConfiguredClient();
        made->auth->setAccessToken(made->standin.issueAccessToken());
        made->auth->setRefreshToken(made->standin.issueRefreshToken());
        made->auth->dynamicServiceState().setBlogId(BlogId);
        SQLAccess().createDababaseStructure();

        // The hundred posts as the download reads them, for the store floor.
        auto web = PostsGoogleService::create(made->auth);
        std::atomic<bool> done{false};
        web->onListBlogPostsBlockSuccess = [&](QList<BloggerPost> posts) {
            made->listed = posts;
            done = true;
        };
        web->onListBlogPostsBlockError = [&](BloggerSuccessResponse) { done = true; };
        web->listBlogPosts(BlogId);
        while (!done) {
            QThread::usleep(50);
        }
        return made;
    }();
    return *f;
}

// One exchange with the stand-in, waited for; a feed's body is read through to its end and dropped.
bool exchange(UrlSession::Request request, bool readXml = false)
{
    std::atomic<int> outcome{0};
    UrlSession(60)
        .dataTask(std::move(request),
                  [&](UrlSession::Reply reply) {
                      bool ok = reply.body && reply.hasSuccessStatus();
                      if (ok && readXml) {
                          QXmlStreamReader xml(*reply.body);
                          while (!xml.atEnd()) {
                              xml.readNext();
                          }
                          ok = !xml.hasError();
                      }
                      outcome = ok ? 1 : -1;
                  })
        ->resume();
    while (outcome == 0) {
        QThread::usleep(20);
    }
    return outcome == 1;
}

void BM_DownloadAndStore_Service(benchmark::State& state)
{
    Fixture& f = fixture();
    auto service = PostsRemotePersistenceAppService::create(f.auth);
    for (auto _ : state) {
        std::atomic<int> outcome{0};
        service->onListAndPersistAllBlogPostsSuccess = [&] { outcome = 1; };
        service->onListAndPersistAllBlogPostsError = [&](BloggerSuccessResponse) { outcome = -1; };
        service->listAndPersistAllBlogPosts(BlogId);
        while (outcome == 0) {
            QThread::usleep(20);
        }
        if (outcome != 1) {
            state.SkipWithError("download failed");
            break;
        }
    }
}
BENCHMARK(BM_DownloadAndStore_Service)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DownloadAndStore_Floor(benchmark::State& state)
{
    Fixture& f = fixture();
    const QList<BloggerPost>& posts = f.listed;
    if (posts.size() != 100) {
        state.SkipWithError("listing failed");
        return;
    }
    const QString refresh = f.auth->refreshToken().value_or(QString());
    for (auto _ : state) {
        UrlSession::Request token;
        token.url = QUrl(GoogleServiceEndpoints::tokenUrl());
        token.method = "POST";
        token.addValue("application/x-www-form-urlencoded", "Content-Type");
        token.body =
            GoogleAuthentificationService::formField(QStringLiteral("refresh_token"), refresh) +
            GoogleAuthentificationService::formField(QStringLiteral("client_id"), f.auth->clientId()) +
            GoogleAuthentificationService::formField(QStringLiteral("client_secret"),
                                                     f.auth->clientSecret()) +
            "grant_type=refresh_token&";
        bool ok = exchange(token);
        const QByteArray authorization = "OAuth " + f.auth->accessToken().value_or(QString()).toUtf8();
        for (int page = 0; page < 5 && ok; ++page) {
            UrlSession::Request feed;
            feed.url = QUrl(GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") + BlogId +
                            QStringLiteral("/posts/default?orderby=updated&max-results=20&start-index=") +
                            QString::number(page * 20 + 1) + QStringLiteral("&rand=1"));
            feed.addValue("application/atom+xml", "Content-Type");
            feed.addValue("2", "GData-Version");
            feed.addValue(authorization, "Authorization");
            ok = exchange(feed, true);
        }
        bool stored = false;
        if (ok) {
            PostsLocalAccessAppService().addOrUpdatePosts(posts, &stored);
        }
        if (!ok || !stored) {
            state.SkipWithError("exchange or store failed");
            break;
        }
    }
}
BENCHMARK(BM_DownloadAndStore_Floor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("PENHOLLOW_DATA_DIR", QDir(data.path()).absolutePath().toUtf8());
    FloorComparison table;
    table.add({"download and store on loopback: refresh + 5 pages of 20 posts of 2 KB, one batch store",
               "BM_DownloadAndStore_Service/real_time", "BM_DownloadAndStore_Floor/real_time", 1.3});
    const int status = table.run(argc, argv);
    fixture().standin.stop();
    SQLiteDB::shutdown();
    return status;
}
