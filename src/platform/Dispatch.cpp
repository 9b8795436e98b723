#include "Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QThreadPool>
#include <QtGlobal>

#include <cstdio>

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

} // namespace Dispatch
