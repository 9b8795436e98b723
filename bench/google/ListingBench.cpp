// A full listing as the application runs it (one token refresh, then five pages of twenty posts of
// about 2 KB) against the stand-in on loopback, beside its floor: the same six exchanges as bare
// round trips plus one bare reader pass over the five pages. In turns; prints the ratio.
//   ./build/bin/bench_listing [--turns=5] [--benchmark_min_time=0.5]
#include "support/FloorComparison.h"

#include "GoogleStandin.h"
#include "google/GoogleAuthentificationService.h"
#include "google/GoogleServiceEndpoints.h"
#include "google/PostsGoogleService.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>

namespace {

const QString BlogId = QStringLiteral("4120843728710463922");

// The stand-in with a blog of a hundred posts of about 2 KB, and a signed-in client; made once.
class ListingFixture
{
public:
    static ListingFixture& instance()
    {
        static ListingFixture fixture;
        return fixture;
    }

    GoogleStandin standin;
    std::shared_ptr<GoogleAuthentificationService> auth;
    QString refreshToken;
    bool started = false;

private:
    ListingFixture()
    {
        if (standin.start(0) == 0) {
            return;
        }
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
            standin.addPost(BlogId, post);
        }
        const QByteArray base = standin.serverUrl().toString().toUtf8();
        qputenv("PENHOLLOW_OAUTH_URL", base);
        qputenv("PENHOLLOW_GOOGLE_API_URL", base);
        qputenv("PENHOLLOW_BLOGGER_URL", base);
        auth = GoogleAuthentificationService::createWithConfiguredClient();
        auth->setAccessToken(standin.issueAccessToken());
        refreshToken = standin.issueRefreshToken();
        auth->setRefreshToken(refreshToken);
        auth->dynamicServiceState().setBlogId(BlogId);
        started = true;
    }
};

void BM_FullListing_Service(benchmark::State& state)
{
    ListingFixture& fixture = ListingFixture::instance();
    if (!fixture.started) {
        state.SkipWithError("stand-in did not start");
        return;
    }
    auto service = PostsGoogleService::create(fixture.auth);
    for (auto _ : state) {
        std::atomic<qsizetype> delivered{-1};
        service->onListBlogPostsBlockSuccess = [&](QList<BloggerPost> posts) { delivered = posts.size(); };
        service->onListBlogPostsBlockError = [&](BloggerSuccessResponse) { delivered = -2; };
        service->listBlogPosts(BlogId);
        while (delivered == -1) {
            QThread::usleep(20);
        }
        if (delivered != 100) {
            state.SkipWithError("listing failed");
            break;
        }
    }
}
BENCHMARK(BM_FullListing_Service)->Unit(benchmark::kMillisecond)->UseRealTime();

// Sends the request and waits for the whole reply on this thread's own event loop.
QByteArray roundTrip(QNetworkAccessManager& manager, QNetworkRequest request, const QByteArray& body = {})
{
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    QNetworkReply* reply = body.isNull() ? manager.get(request) : manager.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray data = reply->readAll();
    reply->deleteLater();
    return data;
}

void BM_FullListing_Floor(benchmark::State& state)
{
    ListingFixture& fixture = ListingFixture::instance();
    if (!fixture.started) {
        state.SkipWithError("stand-in did not start");
        return;
    }
    QNetworkAccessManager manager;
    const QString clientId = fixture.auth->clientId();
    const QString clientSecret = fixture.auth->clientSecret();
    for (auto _ : state) {
        QNetworkRequest refresh{QUrl(GoogleServiceEndpoints::tokenUrl())};
        refresh.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
        const QByteArray token =
            roundTrip(manager, refresh,
                      "refresh_token=" + fixture.refreshToken.toUtf8() + "&client_id=" + clientId.toUtf8() +
                          "&client_secret=" + clientSecret.toUtf8() + "&grant_type=refresh_token&");
        if (token.isEmpty()) {
            state.SkipWithError("no token");
            break;
        }
        const QByteArray authorization = "OAuth " + fixture.auth->accessToken().value_or(QString()).toUtf8();
        QList<QByteArray> pages;
        for (int page = 0; page < 5; ++page) {
            QNetworkRequest request{QUrl(GoogleServiceEndpoints::bloggerUrl() + QStringLiteral("/feeds/") +
                                         BlogId +
                                         QStringLiteral("/posts/default?orderby=updated&max-results=20"
                                                        "&start-index=%1&rand=%2")
                                             .arg(20 * page + 1)
                                             .arg(page))};
            request.setRawHeader("Content-Type", "application/atom+xml");
            request.setRawHeader("GData-Version", "2");
            request.setRawHeader("Authorization", authorization);
            pages.append(roundTrip(manager, request));
        }
        int entries = 0;
        for (const QByteArray& page : pages) {
            QXmlStreamReader reader(QString::fromUtf8(page));
            while (!reader.atEnd()) {
                if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"entry") {
                    ++entries;
                }
            }
        }
        if (entries != 100) {
            state.SkipWithError("pages not read");
            break;
        }
    }
}
BENCHMARK(BM_FullListing_Floor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    qputenv("PENHOLLOW_DATA_DIR", QDir(data.path()).absolutePath().toUtf8());
    FloorComparison table;
    table.add({"full listing on loopback: refresh + 5 pages of 20 posts of 2 KB",
               "BM_FullListing_Service/real_time", "BM_FullListing_Floor/real_time", 1.5});
    const int status = table.run(argc, argv);
    ListingFixture::instance().standin.stop();
    return status;
}
