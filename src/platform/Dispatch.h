#pragma once

#include <functional>
#include <mutex>

// Thread hand-over: the main thread's event loop and the global thread pool.
namespace Dispatch {

// Queued on the application object: never runs inline, even on the main thread; order kept.
void toMainThread(std::function<void()> work);
// Runs on the global thread pool; items may run at the same time and in any order.
void toBackground(std::function<void()> work);

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
