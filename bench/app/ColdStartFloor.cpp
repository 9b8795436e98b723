// Child of bench_cold_start: the least a Qt program that lists the posts beside one web view can do. It
// reads what the rows show straight from data.db with sqlite3 into a bare list model and view, shows one
// page in one web view, and exits once both are on screen, printing the same report as the application.
//   bench_cold_start_floor <posts expected> <blog id>
#include "ColdStartReport.h"
#include "support/BareList.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QSplitter>
#include <QTimer>
#include <QWebEngineView>

int main(int argc, char* argv[])
{
    ColdStartReport::markStart();
    const int expectedPosts = argc > 1 ? std::atoi(argv[1]) : 0;
    const QString blogId = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QMainWindow window;
    auto* split = new QSplitter(&window);
    auto* list = new QListView(split);
    BareList::Model model;
    BareList::attach(*list, model);
    auto* view = new QWebEngineView(split);
    window.setCentralWidget(split);
    window.resize(1200, 760);
    bool pageLoaded = false;
    QObject::connect(view, &QWebEngineView::loadFinished, &app,
                     [&pageLoaded](bool ok) { pageLoaded = pageLoaded || ok; });
    view->setHtml(QStringLiteral("<html><body><p>One page</p></body></html>"));
    window.show();
    if (expectedPosts > 0) {
        sqlite3* db = nullptr;
        const QByteArray path =
            QFile::encodeName(QDir(qEnvironmentVariable("PENHOLLOW_DATA_DIR")).filePath("data.db"));
        if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) ==
            SQLITE_OK) {
            model.setRows(BareList::read(db, blogId, QStringLiteral("Published")));
        }
        sqlite3_close(db);
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (pageLoaded && window.isVisible() && model.rowCount() == expectedPosts) {
            list->viewport()->repaint();
            ColdStartReport::print();
            QCoreApplication::exit(0);
        }
    });
    poll.start(1);
    return QApplication::exec();
}
