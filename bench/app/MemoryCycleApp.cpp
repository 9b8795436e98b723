// Child of bench_memory_cycle: starts the whole application on the given data folder, then runs rounds of
// what a user does with one post: the editor opened and closed without saving (which settles the editor
// session and updates the list), its preview opened and closed, and the post's comments window opened and
// closed. Prints the resident memory in KiB after each round, one number a line.
//   bench_memory_cycle_app <rounds> <post id> [steps: any of e (editor), p (preview), c (comments)]
#include "controllers/AppDelegate.h"
#include "controllers/ApplicationControllerService.h"
#include "controllers/ApplicationWindowController.h"
#include "controllers/CommentsControllerService.h"
#include "controllers/PostPreviewService.h"
#include "controllers/PostsControllerService.h"
#include "platform/gui/WindowController.h"
#include "ui/main/TableContentViewController.h"
#include "ui/windows/CommentsListWindowController.h"
#include "ui/windows/MiniBrowserWindowController.h"
#include "ui/windows/PostEditorWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QThreadPool>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Lets queued work end: the pool idle and the main thread's queue run through.
void settle()
{
    QThreadPool::globalInstance()->waitForDone(10000);
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Objects handed to deleteLater go when the application's event loop next turns; this child
        // turns events by hand, outside any loop, where processEvents leaves them be.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

long residentKib()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const QString postId = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const QString steps = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("epc");
    AppDelegate::prepareProcess();
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.applicationWillFinishLaunching()) {
        return 2;
    }
    delegate.applicationDidFinishLaunching();
    ApplicationWindowController* window = delegate.applicationWindowController();
    if (!window || !waitFor([&] { return window->tableContentViewController()->numberOfRows() > 0; })) {
        return 3;
    }
    ApplicationControllerService* controller = window->applicationControllerService();
    PostsControllerService* posts = controller->postsControllerService();
    CommentsControllerService* comments = controller->commentsControllerService();
    for (int round = 0; round < rounds; ++round) {
        if (steps.contains(u'e')) {
            posts->editPost(postId);
            PostEditorWindowController* editor = posts->postEditor();
            if (!waitFor([&] {
                    return editor->isWindowOpened() && editor->editorLoaded() && editor->postFromEditor();
                })) {
                return 4;
            }
            if (steps.contains(u'p')) {
                posts->showPreview();
                MiniBrowserWindowController* preview = posts->postPreviewService()->previewWindowController();
                if (!preview ||
                    !waitFor([&] { return preview->isWindowLoaded() && preview->window()->isVisible(); })) {
                    return 5;
                }
                preview->close();
            }
            // "Don't save": the session ends and the list is brought up to date.
            editor->onWindowCloseRequest(false);
            if (!waitFor([&] { return !editor->isWindowOpened(); })) {
                return 6;
            }
        }
        if (steps.contains(u'c')) {
            comments->showComments(postId);
            CommentsListWindowController* list = comments->commentsListWindowController();
            if (!waitFor([&] { return list->isWindowLoaded() && list->window()->isVisible(); })) {
                return 7;
            }
            list->close();
        }
        settle();
        std::printf("%ld\n", residentKib());
        std::fflush(stdout);
    }
    delegate.applicationWillTerminate();
    return 0;
}
