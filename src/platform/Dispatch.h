#pragma once

#include <QPointer>

#include <functional>
#include <mutex>
#include <utility>

// Thread hand-over: the main thread's event loop and the global thread pool.
namespace Dispatch {

// Queued on the application object: never runs inline, even on the main thread; order kept.
void toMainThread(std::function<void()> work);
// The same, bound to a receiver living on the main thread: once the receiver is gone the work is dropped.
// Order is kept among the jobs of one receiver.
void toMainThread(const QObject* context, std::function<void()> work);

// From any thread, with a receiver guarded where it was made (on the main thread): the work runs on the
// main thread with the receiver, unless the receiver is gone by then.
template <typename Receiver, typename Work> void toMainThread(QPointer<Receiver> receiver, Work work)
{
    toMainThread(std::function<void()>([receiver, work = std::move(work)]() mutable {
        if (receiver) {
            work(receiver.data());
        }
    }));
}

bool isMainThread();
// Stops the program when called off the main thread: widgets, alerts and web views live there only.
void requireMainThread(const char* what);
// Runs on the global thread pool; items may run at the same time and in any order.
void toBackground(std::function<void()> work);
// Runs on the global thread pool one item at a time, in the order given (from any thread): the store work
// of network replies, kept off the network thread and in the order the replies came.
void toStoreQueue(std::function<void()> work);

} // namespace Dispatch

// A queue that runs one item at a time while its caller waits.
class SerialQueue
{
public:
    template <typename Work> auto sync(Work&& work) -> decltype(work())
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        return work();
    }

private:
    std::recursive_mutex m_mutex;
};
