// Child of bench_cold_start: the least a Qt program with one web view can do. It opens a bare window
// with one web view showing one page and exits once the page has loaded, printing the same report as
// the application.
#include "ColdStartReport.h"

#include <QApplication>
#include <QMainWindow>
#include <QWebEngineView>

int main(int argc, char* argv[])
{
    ColdStartReport::markStart();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QMainWindow window;
    auto* view = new QWebEngineView(&window);
    window.setCentralWidget(view);
    window.resize(1200, 760);
    QObject::connect(view, &QWebEngineView::loadFinished, &app, [](bool ok) {
        if (ok) {
            ColdStartReport::print();
            QCoreApplication::exit(0);
        }
    });
    view->setHtml(QStringLiteral("<html><body><p>One page</p></body></html>"));
    window.show();
    return QApplication::exec();
}
