#pragma once

#include <functional>

class BackgroundRunner
{
public:
    // On the global thread pool; returns at once.
    void run(std::function<void()> work) const;
    // On the main thread after the caller's current work, never inline; order of submission kept.
    void runOnMainThread(std::function<void()> work) const;
};
