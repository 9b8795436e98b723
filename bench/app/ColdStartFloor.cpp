// Child of bench_cold_start: the least a Qt program that lists the posts beside one web view can do. On the
// first line of main a thread starts reading what the rows show straight from data.db with sqlite3; the
// rows reach a bare list model by a queued call, while the main thread makes the application, a window
// with a splitter, a bare list view and one web view showing one page with setHtml. It reports when the
// list has first painted every row, and exits once the page has loaded too, printing the same report as
// the application.
//   bench_cold_start_floor <posts expected> <blog id>
#include "ColdStartReport.h"
#include "support/BareList.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QSplitter>
#include <QWebEngineView>

#include <future>
#include <thread>

int main(int argc, char* argv[])
{
    ColdStartReport::markStart();
    const int expectedPosts = argc > 1 ? std::atoi(argv[1]) : 0;
    const QString blogId = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    std::promise<BareList::Model*> modelMade;
    std::thread reader([blogId, model = modelMade.get_future()]() mutable {
        ColdStartReport::trace("listing read begins");
        std::vector<BareList::Row> rows;
        sqlite3* db = nullptr;
        const QByteArray path =
            QFile::encodeName(QDir(qEnvironmentVariable("PENHOLLOW_DATA_DIR")).filePath("data.db"));
        if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) ==
            SQLITE_OK) {
            rows = BareList::read(db, blogId, QStringLiteral("Published"));
        }
        sqlite3_close(db);
        ColdStartReport::trace("listing read ends", (long long)rows.size());
        BareList::Model* target = model.get();
        QMetaObject::invokeMethod(
            target,
            [target, rows = std::move(rows)]() mutable {
                target->setRows(std::move(rows));
                ColdStartReport::trace("rows in the model", target->rowCount());
            },
            Qt::QueuedConnection);
    });
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ColdStartReport::trace("QApplication made");
    QMainWindow window;
    auto* split = new QSplitter(&window);
    auto* list = new QListView(split);
    BareList::Model model;
    BareList::attach(*list, model);
    modelMade.set_value(&model);
    auto* view = new QWebEngineView(split);
    ColdStartReport::trace("web view made");
    window.setCentralWidget(split);
    window.resize(1200, 760);
    bool pageLoaded = false;
    const auto finishWhenDone = [&](const ColdStartReport::FullListPaint& paint) {
        if (pageLoaded && paint.done() && window.isVisible()) {
            ColdStartReport::print(paint.ms());
            QCoreApplication::exit(0);
        }
    };
    ColdStartReport::FullListPaint listPaint(
        list, [&model] { return qsizetype(model.rowCount()); }, expectedPosts,
        [&] { finishWhenDone(listPaint); });
    QObject::connect(view, &QWebEngineView::loadStarted, &app,
                     [] { ColdStartReport::trace("post view: load started"); });
    QObject::connect(view, &QWebEngineView::loadFinished, &app, [&](bool ok) {
        ColdStartReport::trace(ok ? "post view: page loaded" : "post view: load failed");
        pageLoaded = pageLoaded || ok;
        finishWhenDone(listPaint);
    });
    view->setHtml(QStringLiteral("<html><body><p>One page</p></body></html>"));
    window.show();
    ColdStartReport::trace("window shown");
    const int status = QApplication::exec();
    reader.join();
    return status;
}
