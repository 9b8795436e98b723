#include "Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <QtGlobal>

#include <cstdio>
#include <deque>
#include <mutex>

namespace Dispatch {

namespace {

void requireMainThreadObject(const QObject* context)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app && context->thread() != app->thread()) {
        qFatal("Dispatch - a main-thread job was bound to an object of another thread");
    }
}

} // namespace

void toMainThread(std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fputs("Dispatch - no application object, work dropped\n", stdout);
        std::fflush(stdout);
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void toMainThread(const QObject* context, std::function<void()> work)
{
    if (!context) {
        return;
    }
    requireMainThreadObject(context);
    QMetaObject::invokeMethod(const_cast<QObject*>(context), std::move(work), Qt::QueuedConnection);
}

bool isMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void requireMainThread(const char* what)
{
    if (QCoreApplication::instance() && !isMainThread()) {
        qFatal("%s must run on the main thread", what);
    }
}

void toBackground(std::function<void()> work)
{
    QThreadPool::globalInstance()->start(std::move(work));
}

namespace {

struct StoreQueue
{
    std::mutex mutex;
    std::deque<std::function<void()>> items;
    bool draining = false;
};

StoreQueue& storeQueue()
{
    static StoreQueue queue;
    return queue;
}

void drainStoreQueue()
{
    StoreQueue& queue = storeQueue();
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.items.empty()) {
                queue.draining = false;
                return;
            }
            work = std::move(queue.items.front());
            queue.items.pop_front();
        }
        work();
    }
}

} // namespace

void toStoreQueue(std::function<void()> work)
{
    StoreQueue& queue = storeQueue();
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        queue.items.push_back(std::move(work));
        if (queue.draining) {
            return;
        }
        queue.draining = true;
    }
    QThreadPool::globalInstance()->start(drainStoreQueue);
}

} // namespace Dispatch
