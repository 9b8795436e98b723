// Child of bench_cold_start: starts the whole application on the given data folder and reports when its
// post list has first painted every stored post; it exits once its post view has also shown the default
// page. Prints the milliseconds from the process's start to that paint and the peak resident memory in KiB.
#include "ColdStartReport.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationWindowController.h"
#include "platform/gui/WebView.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/TableContentViewController.h"

#include <QApplication>
#include <QListView>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

int main(int argc, char* argv[])
{
    ColdStartReport::markStart();
    const int expectedPosts = argc > 1 ? std::atoi(argv[1]) : 0;
    AppDelegate::prepareProcess();
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.applicationWillFinishLaunching()) {
        return 2;
    }
    delegate.applicationDidFinishLaunching();
    ApplicationWindowController* window = delegate.applicationWindowController();
    if (!window) {
        return 3;
    }
    // The post view may come after the list: its page is watched from the moment it exists.
    bool pageLoaded = false;
    QPointer<WebView> page;
    std::unique_ptr<ColdStartReport::FullListPaint> listPaint;
    QTimer pageWatch;
    const auto finishWhenDone = [&] {
        if (pageLoaded && listPaint && listPaint->done() && window->windowOutlet()->isVisible()) {
            ColdStartReport::print(listPaint->ms());
            QCoreApplication::exit(0);
        }
        // Polled only from the paint on, so the polling never competes with what is measured.
        if (!page && listPaint && listPaint->done() && !pageWatch.isActive()) {
            pageWatch.start(1);
        }
    };
    const auto watchPage = [&] {
        WebView* shown = window->postContentViewController()->webviewOutlet();
        if (page || !shown) {
            return;
        }
        page = shown;
        ColdStartReport::trace("post view made");
        QObject::connect(page, &QWebEngineView::loadStarted, &app,
                         [] { ColdStartReport::trace("post view: load started"); });
        QObject::connect(page, &WebView::pageLoaded, &app, [&](bool ok) {
            ColdStartReport::trace(ok ? "post view: page loaded" : "post view: load failed");
            pageLoaded = pageLoaded || ok;
            finishWhenDone();
        });
        pageWatch.stop();
    };
    TableContentViewController* list = window->tableContentViewController();
    QListView* listView = list->tableViewOutlet();
    listPaint = std::make_unique<ColdStartReport::FullListPaint>(
        listView, [list] { return list->numberOfRows(); }, expectedPosts, finishWhenDone);
    watchPage();
    QObject::connect(&pageWatch, &QTimer::timeout, &app, watchPage);
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
