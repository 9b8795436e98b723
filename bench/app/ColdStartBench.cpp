// Cold start of the application until its post list has first painted every one of 1,000, 10,000 and
// 100,000 stored posts (what the user waits for), and its peak memory once its post view has shown its
// page too, against a floor program: a bare application, a window with a splitter, a bare list view and
// one web view showing one page with setHtml, the rows read with the same statement on a thread started on
// the first line of main and handed to the list's model by a queued call. Each turn runs both children
// once, alternating; the medians and the median of each turn's ratio are reported, and the per-row slope of
// each between the smallest and the largest blog. Goals: time and memory <= 1.3x at 10,000, <= 1.5x at
// 100,000, slopes <= 1.5x the floor's. Exits 0 when all are met. The data folder holds a web cache of 5,000
// files, opened to others again before each turn, which the application closes to others at every start.
//   ./build/bin/bench_cold_start
// The process start is counted from each child's main(); both pay the same loader and library costs.
// COLD_START_TRACE=1 in the environment makes each child print its timeline to standard error.
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
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

const QString BlogId = QStringLiteral("bench-blog");
constexpr int WebCacheFiles = 5000;

struct Report
{
    double ms = 0;
    double kib = 0;
};

QString childPath(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

QString webCacheFolder(const QString& dataFolder)
{
    return dataFolder + QStringLiteral("/QtWebEngine/SignIn/Cache/Cache_Data");
}

// As a folder of an older version left them: every file readable by all.
void openWebCacheToOthers(const QString& dataFolder)
{
    const QString cache = webCacheFolder(dataFolder);
    for (int n = 0; n < WebCacheFiles; ++n) {
        QFile::setPermissions(cache + QStringLiteral("/f_%1").arg(n, 6, 16, QLatin1Char('0')),
                              QFileDevice::Permissions(0x6644));
    }
}

// One data folder for every size: a signed-in account with one blog per size (the preferences and the
// shared connection are the process's, made once), and the sign-in profile's web cache; each size makes
// its blog the current one.
QString dataFolder()
{
    static QTemporaryDir* dir = [] {
        auto* made = new QTemporaryDir;
        QDir().mkpath(webCacheFolder(made->path()));
        for (int n = 0; n < WebCacheFiles; ++n) {
            QFile file(webCacheFolder(made->path()) +
                       QStringLiteral("/f_%1").arg(n, 6, 16, QLatin1Char('0')));
            if (file.open(QIODevice::WriteOnly)) {
                file.write(QByteArray(2048, char('a' + n % 26)));
            }
        }
        qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(made->path()));
        SQLAccess().createDababaseStructure();
        UserBlogsLocalAccessAppService().addOrUpdateUser(BloggerUser("bench", "Bench User", "", ""));
        PersistentAccessTokens tokens(QStringLiteral("bench"));
        tokens.setAccessToken(QStringLiteral("access"));
        tokens.setRefreshToken(QStringLiteral("refresh"));
        PersistentServiceState().setUserId(QStringLiteral("bench"));
        return made;
    }();
    return dir->path();
}

QString blogOfSize(int postCount)
{
    const QString blogId = BlogId + QLatin1Char('-') + QString::number(postCount);
    dataFolder();
    if (PostsLocalAccessAppService()
            .listPostRowsForBlog(blogId, PostSortOptions::UpdatedDate, PostSortOrderOptions::Descending,
                                 PostFilterOptions::ByArea, QStringLiteral("Published"))
            .size() != postCount) {
        UserBlogsLocalAccessAppService().addOrUpdateBlog(
            BloggerBlog(blogId, "bench", "Bench Blog", "https://b/", "LIVE"));
        QList<BloggerPost> posts;
        const QDateTime base(QDate(2018, 1, 1), QTime(9, 0), Qt::UTC);
        for (int n = 0; n < postCount; ++n) {
            const QString html =
                QStringLiteral("<p>Post %1 about travel, food and <b>things</b>.</p>").arg(n).repeated(8);
            posts << BloggerPost(blogId, blogId + QStringLiteral("-post-%1").arg(n), base.addSecs(n * 600LL),
                                 base.addSecs(n * 900LL), QStringLiteral("Title %1").arg(n), html,
                                 StringServices().postPreview(html), {}, n % 40,
                                 QStringLiteral("https://b/%1.html").arg(n), PostStatus::Published, "0");
        }
        PostsLocalAccessAppService().addOrUpdatePosts(posts);
    }
    PersistentServiceState state;
    state.setBlogId(blogId);
    state.setBlogWasQueried(blogId, true);
    return blogId;
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

struct Medians
{
    double appMs = 0;
    double floorMs = 0;
    double appKib = 0;
    double floorKib = 0;
    // Medians of each turn's ratio: a slow spell of the machine weighs on both children of a turn.
    double timeRatio = 0;
    double memoryRatio = 0;
};
std::map<int, Medians>& results()
{
    static std::map<int, Medians> byPosts;
    return byPosts;
}

void BM_ColdStartAgainstFloor(benchmark::State& state)
{
    const int postCount = int(state.range(0));
    const QString blogId = blogOfSize(postCount);
    const QString folder = dataFolder();
    std::vector<double> appMs, floorMs, appKib, floorKib, timeRatios, memoryRatios;
    for (auto _ : state) {
        openWebCacheToOthers(folder);
        const Report app = runChild(childPath("bench_cold_start_app"), {QString::number(postCount)}, folder);
        const Report floor =
            runChild(childPath("bench_cold_start_floor"), {QString::number(postCount), blogId}, folder);
        if (app.ms <= 0 || floor.ms <= 0) {
            state.SkipWithError("a child program failed");
            return;
        }
        appMs.push_back(app.ms);
        floorMs.push_back(floor.ms);
        appKib.push_back(app.kib);
        floorKib.push_back(floor.kib);
        timeRatios.push_back(app.ms / floor.ms);
        memoryRatios.push_back(floor.kib > 0 ? app.kib / floor.kib : 0);
        state.SetIterationTime(app.ms / 1000.0);
    }
    state.counters["app_ms"] = median(appMs);
    state.counters["floor_ms"] = median(floorMs);
    state.counters["time_ratio"] = median(timeRatios);
    state.counters["app_MiB"] = median(appKib) / 1024.0;
    state.counters["floor_MiB"] = median(floorKib) / 1024.0;
    state.counters["memory_ratio"] = median(memoryRatios);
    results()[postCount] = {median(appMs),    median(floorMs),    median(appKib),
                            median(floorKib), median(timeRatios), median(memoryRatios)};
}

} // namespace

BENCHMARK(BM_ColdStartAgainstFloor)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(7)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    bool met = true;
    const auto check = [&met](double ratio, double goal) {
        met = met && ratio > 0 && ratio <= goal;
        return ratio <= goal ? "yes" : "NO";
    };
    std::printf("\n%-10s %10s %10s %7s %5s %10s %10s %7s %5s\n", "posts", "app ms", "floor ms", "ratio",
                "goal", "app MiB", "floor MiB", "ratio", "goal");
    for (const auto& [posts, m] : results()) {
        const double goal = posts >= 100000 ? 1.5 : 1.3;
        const double time = m.timeRatio;
        const double memory = m.memoryRatio;
        const bool counted = posts >= 10000;
        std::printf("%-10d %10.0f %10.0f %6.2fx %5s %10.1f %10.1f %6.2fx %5s\n", posts, m.appMs, m.floorMs,
                    time, counted ? check(time, goal) : "-", m.appKib / 1024, m.floorKib / 1024, memory,
                    counted ? check(memory, goal) : "-");
    }
    if (results().size() >= 2) {
        const auto& [fewPosts, few] = *results().begin();
        const auto& [manyPosts, many] = *results().rbegin();
        const double rows = manyPosts - fewPosts;
        const double appTime = (many.appMs - few.appMs) / rows * 1000;
        const double floorTime = (many.floorMs - few.floorMs) / rows * 1000;
        const double appMemory = (many.appKib - few.appKib) / rows;
        const double floorMemory = (many.floorKib - few.floorKib) / rows;
        std::printf(
            "per-row slope, %d to %d posts: time %.2f vs %.2f us (%.2fx, goal 1.5x: %s), memory %.2f vs "
            "%.2f KiB (%.2fx, goal 1.5x: %s)\n",
            fewPosts, manyPosts, appTime, floorTime, appTime / floorTime, check(appTime / floorTime, 1.5),
            appMemory, floorMemory, appMemory / floorMemory, check(appMemory / floorMemory, 1.5));
    } else {
        met = false;
    }
    std::printf("%s\n", met ? "every goal met" : "a goal is not met");
    // The seeded folder holds a database of some 140 MB: it goes with the run.
    if (!results().empty()) {
        QDir(dataFolder()).removeRecursively();
    }
    return met ? 0 : 1;
}
