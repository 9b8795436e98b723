// Cold start of the application to its main window listing 10,000 stored posts, and its peak memory,
// against a floor program that opens one window with one web view showing one page. Each turn runs both
// children once, alternating; the ratio of the medians is reported. Goals: time <= 1.5x, memory <= 1.3x.
//   ./build/bin/bench_cold_start --benchmark_repetitions=1
// The process start is counted from each child's main(); both pay the same loader and library costs.
#include "common/StringServices.h"
#include "model/BloggerBlog.h"
#include "model/BloggerPost.h"
#include "model/BloggerUser.h"
#include "store/PersistentAccessTokens.h"
#include "store/PersistentServiceState.h"
#include "store/PostsLocalAccessAppService.h"
#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"
#include "store/UserBlogsLocalAccessAppService.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int PostCount = 10000;
const QString BlogId = QStringLiteral("bench-blog");

struct Report
{
    double ms = 0;
    double kib = 0;
};

QString childPath(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

// The data folder of a signed-in account whose current blog holds the posts.
void seed(const QString& folder)
{
    qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(folder));
    SQLAccess().createDababaseStructure();
    UserBlogsLocalAccessAppService().addOrUpdateUser(BloggerUser("bench", "Bench User", "", ""));
    UserBlogsLocalAccessAppService().addOrUpdateBlog(BloggerBlog(BlogId, "bench", "Bench Blog", "https://b/", "LIVE"));
    PersistentAccessTokens tokens(QStringLiteral("bench"));
    tokens.setAccessToken(QStringLiteral("access"));
    tokens.setRefreshToken(QStringLiteral("refresh"));
    PersistentServiceState state;
    state.setUserId(QStringLiteral("bench"));
    state.setBlogId(BlogId);
    state.setBlogWasQueried(BlogId, true);
    QList<BloggerPost> posts;
    const QDateTime base(QDate(2018, 1, 1), QTime(9, 0), Qt::UTC);
    for (int n = 0; n < PostCount; ++n) {
        const QString html = QStringLiteral("<p>Post %1 about travel, food and <b>things</b>.</p>").arg(n).repeated(8);
        posts << BloggerPost(BlogId, QStringLiteral("post-%1").arg(n), base.addSecs(n * 600LL),
                             base.addSecs(n * 900LL), QStringLiteral("Title %1").arg(n), html,
                             StringServices().postPreview(html), {}, n % 40,
                             QStringLiteral("https://b/%1.html").arg(n), PostStatus::Published, "0");
    }
    PostsLocalAccessAppService().addOrUpdatePosts(posts);
    SQLiteDB::shutdown();
}

Report runChild(const QString& program, const QStringList& arguments, const QString& dataFolder)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PENHOLLOW_DATA_DIR"), dataFolder);
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    if (::geteuid() == 0) {
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    }
    child.setProcessEnvironment(env);
    child.start(program, arguments);
    if (!child.waitForFinished(120000) || child.exitCode() != 0) {
        return {};
    }
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split('\n').last().split(' ');
    if (fields.size() != 2) {
        return {};
    }
    return {fields[0].toDouble(), fields[1].toDouble()};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_ColdStartAgainstFloor(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(folder);
    seed(folder);
    std::vector<double> appMs, floorMs, appKib, floorKib;
    for (auto _ : state) {
        const Report app = runChild(childPath("bench_cold_start_app"), {QString::number(PostCount)}, folder);
        const Report floor = runChild(childPath("bench_cold_start_floor"), {}, folder);
        if (app.ms <= 0 || floor.ms <= 0) {
            state.SkipWithError("a child program failed");
            return;
        }
        appMs.push_back(app.ms);
        floorMs.push_back(floor.ms);
        appKib.push_back(app.kib);
        floorKib.push_back(floor.kib);
        state.SetIterationTime(app.ms / 1000.0);
    }
    state.counters["app_ms"] = median(appMs);
    state.counters["floor_ms"] = median(floorMs);
    state.counters["time_ratio"] = median(appMs) / median(floorMs);
    state.counters["app_MiB"] = median(appKib) / 1024.0;
    state.counters["floor_MiB"] = median(floorKib) / 1024.0;
    state.counters["memory_ratio"] = median(appKib) / median(floorKib);
}

} // namespace

BENCHMARK(BM_ColdStartAgainstFloor)->UseManualTime()->Iterations(7)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
