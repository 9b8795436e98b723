#include "GoogleStandin.h"
#include "google/GoogleAuthentificationService.h"
#include "google/PostsGoogleService.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

// A full listing as the application runs it: one token refresh, then five pages of twenty posts,
// against the stand-in on loopback.
void BM_FullListingAgainstStandin(benchmark::State& state)
{
    GoogleStandin standin;
    if (standin.start(0) == 0) {
        state.SkipWithError("stand-in did not start");
        return;
    }
    const QString blogId = QStringLiteral("4120843728710463922");
    for (int i = 0; i < 100; ++i) {
        StandinPost post;
        post.title = QStringLiteral("Post %1").arg(i);
        post.content = QStringLiteral("<p>Body of post %1 with <b>some</b> markup.</p>").arg(i);
        post.labels = {QStringLiteral("travel"), QStringLiteral("notes")};
        post.updated = QDateTime::currentDateTimeUtc().addSecs(-60LL * i);
        post.published = post.updated.addSecs(-30);
        post.urlPath = QStringLiteral("2015/03/post-%1.html").arg(i);
        standin.addPost(blogId, post);
    }
    const QByteArray base = standin.serverUrl().toString().toUtf8();
    qputenv("PENHOLLOW_GOOGLE_API_URL", base);
    qputenv("PENHOLLOW_BLOGGER_URL", base);

    auto auth = GoogleAuthentificationService::createWithConfiguredClient();
    auth->setAccessToken(standin.issueAccessToken());
    auth->setRefreshToken(standin.issueRefreshToken());
    auth->dynamicServiceState().setBlogId(blogId);
    auto service = PostsGoogleService::create(auth);

    for (auto _ : state) {
        std::atomic<qsizetype> delivered{-1};
        service->onListBlogPostsBlockSuccess = [&](QList<BloggerPost> posts) { delivered = posts.size(); };
        service->onListBlogPostsBlockError = [&](BloggerSuccessResponse) { delivered = -2; };
        service->listBlogPosts(blogId);
        while (delivered == -1) {
            QThread::usleep(50);
        }
        if (delivered != 100) {
            state.SkipWithError("listing failed");
            break;
        }
    }
    standin.stop();
}

} // namespace

BENCHMARK(BM_FullListingAgainstStandin)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("PENHOLLOW_DATA_DIR", QDir(data.path()).absolutePath().toUtf8());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
