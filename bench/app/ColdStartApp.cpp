// Child of bench_cold_start: starts the whole application on the given data folder and exits as soon as
// its main window lists every stored post and its post view has painted the default page. Prints the
// milliseconds since the process began and the peak resident memory in KiB.
#include "ColdStartReport.h"

#include "controllers/AppDelegate.h"
#include "controllers/ApplicationWindowController.h"
#include "platform/gui/WebView.h"
#include "ui/main/PostContentViewController.h"
#include "ui/main/TableContentViewController.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

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
    bool pageLoaded = false;
    QObject::connect(window->postContentViewController()->webviewOutlet(), &WebView::pageLoaded, &app,
                     [&pageLoaded](bool ok) { pageLoaded = pageLoaded || ok; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (pageLoaded && window->windowOutlet()->isVisible() &&
            window->tableContentViewController()->numberOfRows() == expectedPosts) {
            ColdStartReport::print();
            QCoreApplication::exit(0);
        }
    });
    poll.start(1);
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
