#pragma once

#include "QueuedWork.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTest>

#include <functional>
#include <optional>

// Records the calls of one closure of a pair; tests wait on the pair and check that only one fired.
template <typename T> class BlockRecorder
{
public:
    std::function<void(T)> block()
    {
        return [this](T value) {
            QMutexLocker locker(&m_mutex);
            ++m_calls;
            m_last = std::move(value);
        };
    }

    int calls() const
    {
        QMutexLocker locker(&m_mutex);
        return m_calls;
    }

    T last() const
    {
        QMutexLocker locker(&m_mutex);
        return m_last.value();
    }

private:
    mutable QMutex m_mutex;
    int m_calls = 0;
    std::optional<T> m_last;
};

// Waits until one closure of the pair has run, then until the work queued behind it has run: a second call
// would have come by then.
template <typename A, typename B>
bool waitForOneOf(const BlockRecorder<A>& success, const BlockRecorder<B>& error, int timeoutMs = 10000)
{
    if (!QTest::qWaitFor([&] { return success.calls() + error.calls() > 0; }, timeoutMs)) {
        return false;
    }
    return TestSupport::queuedWorkDone() && success.calls() + error.calls() == 1;
}
