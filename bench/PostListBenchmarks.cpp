// Listing 10,000 stored posts into the post list, against reading them from the store alone.
// Run a Release build:  ./build/bin/bench_post_list
#include "store/PostsLocalAccessAppService.h"
#include "ui/main/TableContentViewController.h"

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

const QString BenchBlog = QStringLiteral("blog-post-list");
constexpr int PostCount = 10000;

void storePosts()
{
    const QDateTime base(QDate(2015, 1, 1), QTime(8, 0), Qt::LocalTime);
    QList<BloggerPost> posts;
    for (int n = 0; n < PostCount; ++n) {
        const QString content =
            QStringLiteral("<p>Paragraph %1 with <b>bold</b> text and a <a href=\"http://x\">link</a>.</p>")
                .arg(n)
                .repeated(12);
        posts.append(BloggerPost(BenchBlog, QStringLiteral("post-%1").arg(n), base.addSecs(3600LL * n),
                                 base.addSecs(3600LL * n + 600), QStringLiteral("Title of post %1").arg(n),
                                 content, QString(), {QStringLiteral("one"), QStringLiteral("two")}, n % 40,
                                 QStringLiteral("http://blog.example/%1.html").arg(n), PostStatus::Published,
                                 QStringLiteral("0")));
    }
    PostsLocalAccessAppService().addOrUpdatePosts(posts);
}

QList<BloggerPost> readPosts()
{
    return PostsLocalAccessAppService().listFilteredPostsForBlog(
        BenchBlog, PostSortOptions::UpdatedDate, PostSortOrderOptions::Descending, PostFilterOptions::ByArea,
        QStringLiteral("Published"));
}

// The post list at its size in the main window, on screen.
struct ListWindow
{
    ListWindow()
    {
        host.resize(360, 696);
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(pane.view());
        host.show();
        QCoreApplication::processEvents();
    }
    TableContentViewController pane;
    QWidget host;
};

bool isLaidOut(QListView* table)
{
    const int contentHeight = table->sizeHintForRow(0) * int(table->model()->rowCount());
    return table->verticalScrollBar()->maximum() == contentHeight - table->viewport()->height();
}

void BM_StoreReadAlone(benchmark::State& state)
{
    for (auto _ : state) {
        const QList<BloggerPost> posts = readPosts();
        if (posts.size() != PostCount) {
            state.SkipWithError("wrong row count");
        }
        benchmark::DoNotOptimize(posts.data());
    }
}
BENCHMARK(BM_StoreReadAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StoreReadAndListing(benchmark::State& state)
{
    ListWindow window;
    QListView* table = window.pane.tableViewOutlet();
    for (auto _ : state) {
        const QList<BloggerPost> posts = readPosts();
        window.pane.listPosts(posts, QStringLiteral("post-5000"));
        while (window.pane.numberOfRows() != posts.size() || !isLaidOut(table)) {
            QCoreApplication::processEvents();
        }
        table->viewport()->repaint();
        if (window.pane.numberOfRows() != PostCount) {
            state.SkipWithError("wrong row count");
        }
        state.PauseTiming();
        // The next listing starts from an empty list, as a change of blog does.
        window.pane.listPosts({}, std::nullopt);
        while (window.pane.numberOfRows() != 0) {
            QCoreApplication::processEvents();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StoreReadAndListing)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints as usual and keeps each benchmark's mean real time for the ratio.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    // Comparable numbers on any machine, with or without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir data;
    qputenv("PENHOLLOW_DATA_DIR", QDir(data.path()).absolutePath().toUtf8());
    QApplication app(argc, argv);
    storePosts();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto read = reporter.times.find("BM_StoreReadAlone");
    const auto listed = reporter.times.find("BM_StoreReadAndListing");
    if (read != reporter.times.end() && listed != reporter.times.end() && read->second > 0) {
        std::printf("Listing 10,000 posts into the post list / store read alone: %.2fx (goal 1.5x or less)\n",
                    listed->second / read->second);
    }
    return 0;
}
