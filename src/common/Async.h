#pragma once

#include "platform/Dispatch.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// Work off the main thread whose result comes back on the main thread to a receiver.
namespace Async {

namespace Detail {

template <typename Work, typename Post, typename Result = std::invoke_result_t<Work&>>
QFuture<Result> start(Work work, Post post)
{
    // QPromise is move-only and the queues take copyable jobs.
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    post([promise, work = std::move(work)]() mutable {
        if constexpr (std::is_void_v<Result>) {
            work();
        } else {
            promise->addResult(work());
        }
        promise->finish();
    });
    return future;
}

} // namespace Detail

// On the global thread pool; items may run at the same time and in any order.
template <typename Work> auto run(Work work)
{
    return Detail::start(std::move(work), &Dispatch::toBackground);
}

// On a pool of the caller's, such as a one-thread pool that keeps order.
template <typename Work> auto run(QThreadPool& pool, Work work)
{
    return Detail::start(std::move(work), [&pool](std::function<void()> job) { pool.start(std::move(job)); });
}

// Calls `next` with the future's result on the main thread, never inline, once it is there; a receiver
// that is gone by then gets nothing. Call on the main thread with a receiver living there.
template <typename Result, typename Then>
void then(const QFuture<Result>& future, QObject* receiver, Then next)
{
    Dispatch::requireMainThread("Async::then");
    if (!receiver) {
        return;
    }
    // The watcher is the receiver's child: it goes with the receiver, and its signal with it.
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, next = std::move(next)]() mutable {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<Result>) {
                             next();
                         } else {
                             next(watcher->future().result());
                         }
                     });
    watcher->setFuture(future);
}

// `work` on the global thread pool, then `then(result)` on the main thread if the receiver still lives.
template <typename Work, typename Then> void runThenCallback(QObject* receiver, Work work, Then then)
{
    Async::then(run(std::move(work)), receiver, std::move(then));
}

} // namespace Async
