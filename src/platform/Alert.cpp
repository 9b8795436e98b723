#include "Alert.h"

#include "Dispatch.h"

#include <QMutex>

#include <cstdio>

namespace {

QMutex presenterMutex;
Alert::Presenter& presenterSlot()
{
    static Alert::Presenter presenter;
    return presenter;
}

} // namespace

void Alert::setPresenter(Presenter presenter)
{
    QMutexLocker locker(&presenterMutex);
    presenterSlot() = std::move(presenter);
}

void Alert::present(const AlertRequest& request)
{
    Dispatch::requireMainThread("Alert::present");
    Presenter presenter;
    {
        QMutexLocker locker(&presenterMutex);
        presenter = presenterSlot();
    }
    if (presenter) {
        presenter(request);
        return;
    }
    // Without a GUI there is nobody to show it to: keep it visible in the output.
    std::fputs(qUtf8Printable(QStringLiteral("Alert - ") + request.title + QStringLiteral(": ") +
                              request.message + '\n'),
               stdout);
    std::fflush(stdout);
    // Nobody can answer: a question takes its last button, the one that changes nothing.
    if (request.completion) {
        request.completion(request.buttons.isEmpty() ? 0 : int(request.buttons.size()) - 1);
    }
}
