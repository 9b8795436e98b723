#pragma once

#include <functional>

class QObject;

class BackgroundRunner
{
public:
    // On the global thread pool; returns at once.
    void run(std::function<void()> work) const;
    // On the main thread after the caller's current work, never inline; order of submission kept.
    void runOnMainThread(std::function<void()> work) const;
    // The same for a receiver on the main thread: a receiver that is gone by then gets nothing.
    void runOnMainThread(const QObject* context, std::function<void()> work) const;
};
