// Memory over a long session: 20 rounds of editor, preview and comments windows on a blog of 10,000 posts
// (bench_memory_cycle_app), the resident memory after each round. Reports the growth per round after the
// first 3 (what the memory grew from round 3 to the last, per round) against the goal of 1 MiB; exits 0
// when it is met. The median of the round-to-round changes is printed beside it: the heap grows in steps
// of a few MiB, so most rounds add nothing and the median alone would hide a steady climb.
//   ./build/bin/bench_memory_cycle [rounds] [steps: any of e (editor), p (preview), c (comments)]
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
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;
    qputenv("PENHOLLOW_DATA_DIR", QFile::encodeName(dir.path()));
    const QString blogId = QStringLiteral("bench-blog");
    SQLAccess().createDababaseStructure();
    UserBlogsLocalAccessAppService().addOrUpdateUser(BloggerUser("bench", "Bench User", "", ""));
    UserBlogsLocalAccessAppService().addOrUpdateBlog(
        BloggerBlog(blogId, "bench", "Bench Blog", "https://b/", "LIVE"));
    PersistentAccessTokens tokens(QStringLiteral("bench"));
    tokens.setAccessToken(QStringLiteral("access"));
    tokens.setRefreshToken(QStringLiteral("refresh"));
    PersistentServiceState state;
    state.setUserId(QStringLiteral("bench"));
    state.setBlogId(blogId);
    state.setBlogWasQueried(blogId, true);
    QList<BloggerPost> posts;
    const QDateTime base(QDate(2018, 1, 1), QTime(9, 0), Qt::UTC);
    for (int n = 0; n < 10000; ++n) {
        const QString html =
            QStringLiteral("<p>Post %1 about travel, food and <b>things</b>.</p>").arg(n).repeated(40);
        posts << BloggerPost(blogId, QStringLiteral("post-%1").arg(n), base.addSecs(n * 600LL),
                             base.addSecs(n * 900LL), QStringLiteral("Title %1").arg(n), html,
                             StringServices().postPreview(html), {}, 0,
                             QStringLiteral("https://b/%1.html").arg(n), PostStatus::Published, "0");
    }
    PostsLocalAccessAppService().addOrUpdatePosts(posts);
    SQLiteDB::shutdown();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    if (::geteuid() == 0) {
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    }
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_memory_cycle_app"),
                {QString::number(rounds), QStringLiteral("post-5000"),
                 argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("epc")});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        std::printf("the application child failed (exit %d)\n%s\n", child.exitCode(),
                    child.readAllStandardError().right(2000).constData());
        return 2;
    }
    std::vector<double> mib;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        bool ok = false;
        const double kib = line.trimmed().toDouble(&ok);
        if (ok && kib > 0) {
            mib.push_back(kib / 1024);
        }
    }
    if (int(mib.size()) != rounds) {
        std::printf("the child reported %zu rounds of %d\n", mib.size(), rounds);
        return 2;
    }
    std::printf("round  resident MiB\n");
    for (size_t i = 0; i < mib.size(); ++i) {
        std::printf("%5zu  %10.1f\n", i + 1, mib[i]);
    }
    std::vector<double> steps;
    for (size_t i = 3; i < mib.size(); ++i) {
        steps.push_back(mib[i] - mib[i - 1]);
    }
    std::sort(steps.begin(), steps.end());
    const double median = steps[steps.size() / 2];
    const double perRound = (mib.back() - mib[2]) / double(mib.size() - 3);
    const bool met = perRound <= 1.0;
    std::printf(
        "growth per round after the first 3: %.2f MiB (goal 1 MiB or less): %s; median change %.2f MiB\n",
        perRound, met ? "met" : "NOT met", median);
    return met ? 0 : 1;
}
