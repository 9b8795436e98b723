#include "BackgroundRunner.h"

#include "platform/Dispatch.h"

void BackgroundRunner::run(std::function<void()> work) const
{
    Dispatch::toBackground(std::move(work));
}

void BackgroundRunner::runOnMainThread(std::function<void()> work) const
{
    Dispatch::toMainThread(std::move(work));
}

void BackgroundRunner::runOnMainThread(const QObject* context, std::function<void()> work) const
{
    Dispatch::toMainThread(context, std::move(work));
}
