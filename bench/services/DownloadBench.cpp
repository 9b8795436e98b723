// A blog's full listing (five pages of twenty posts) downloaded from the stand-in and stored, against its
// floor: the same six exchanges with the stand-in and nothing else (one token refresh, five feed pages,
// bodies received but not read), plus the batch store of the hundred posts alone. Goal: 1.5x or less.
//   ./build/bin/bench_download
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

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <map>
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
        for (int i = 0; i < 100; ++i) {
            StandinPost post;
            post.title = QStringLiteral("Post %1").arg(i);
            post.content =
                QStringLiteral("<p>Body of post %1 with <b>some</b> markup &amp; an entity.</p>").arg(i);
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

// One exchange with the stand-in, waited for; the body is received and dropped.
bool exchange(UrlSession::Request request)
{
    std::atomic<int> outcome{0};
    UrlSession(60)
        .dataTask(std::move(request),
                  [&](UrlSession::Reply reply) { outcome = reply.body && reply.hasSuccessStatus() ? 1 : -1; })
        ->resume();
    while (outcome == 0) {
        QThread::usleep(20);
    }
    return outcome == 1;
}

void BM_DownloadAndStore(benchmark::State& state)
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

void BM_RoundTripsAlone(benchmark::State& state)
{
    Fixture& f = fixture();
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
            ok = exchange(feed);
        }
        if (!ok) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
}

void BM_BatchStoreFloor(benchmark::State& state)
{
    const QList<BloggerPost>& posts = fixture().listed;
    if (posts.size() != 100) {
        state.SkipWithError("listing failed");
        return;
    }
    for (auto _ : state) {
        const QList<bool> stored = PostsLocalAccessAppService().addOrUpdatePosts(posts);
        benchmark::DoNotOptimize(stored);
    }
}

// Keeps each benchmark's mean wall time over its repetitions, to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                auto& [sum, count] = times[run.run_name.function_name];
                sum += run.GetAdjustedRealTime();
                ++count;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double mean(const std::string& name) const
    {
        const auto it = times.find(name);
        return it == times.end() || it->second.second == 0 ? 0.0 : it->second.first / it->second.second;
    }
    std::map<std::string, std::pair<double, int>> times;
};

} // namespace

BENCHMARK(BM_DownloadAndStore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RoundTripsAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchStoreFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("PENHOLLOW_DATA_DIR", QDir(data.path()).absolutePath().toUtf8());
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double download = reporter.mean("BM_DownloadAndStore");
    const double floor = reporter.mean("BM_RoundTripsAlone") + reporter.mean("BM_BatchStoreFloor");
    if (download > 0 && floor > 0) {
        std::printf("download and store / (round trips + batch store) = %.2f (goal 1.5 or less)\n",
                    download / floor);
    }
    benchmark::Shutdown();
    SQLiteDB::shutdown();
    return 0;
}
