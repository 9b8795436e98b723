#include "Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>

#include <cstdio>

namespace Dispatch {

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

void toBackground(std::function<void()> work)
{
    QThreadPool::globalInstance()->start(std::move(work));
}

} // namespace Dispatch
