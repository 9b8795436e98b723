#pragma once

#include "TestSupport.h"

#include "platform/UrlSession.h"

#include <QTest>

#include <atomic>
#include <memory>

namespace TestSupport {

// True once the network thread has run every job queued on it before the call.
inline bool networkThreadCaughtUp(int timeoutMs = 20000)
{
    auto reached = std::make_shared<std::atomic<bool>>(false);
    UrlSession::runOnNetworkThread([reached] { *reached = true; });
    return QTest::qWaitFor([&] { return reached->load(); }, timeoutMs);
}

// The barrier for "it happened once, never twice": the network thread, the thread pool and the main thread
// have run what was queued on them, and what that queued in turn. Replies still on the wire are not waited
// for: a check that needs one waits for that reply itself.
inline bool queuedWorkDone(int timeoutMs = 20000)
{
    for (int round = 0; round < 3; ++round) {
        if (!networkThreadCaughtUp(timeoutMs) || !backgroundWorkDone(timeoutMs)) {
            return false;
        }
    }
    return true;
}

} // namespace TestSupport
