#pragma once

#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

// An optional closure property that one thread sets while another calls it: reads and replacements are
// of the whole closure, and a call runs a copy, so a closure may replace itself while it runs.
template <typename Signature> class BlockProperty;

template <typename R, typename... Args> class BlockProperty<R(Args...)>
{
public:
    using Function = std::function<R(Args...)>;

    BlockProperty() = default;
    BlockProperty(const BlockProperty&) = delete;
    BlockProperty& operator=(const BlockProperty&) = delete;

    BlockProperty& operator=(Function function)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_function = std::move(function);
        return *this;
    }

    Function get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_function;
    }

    explicit operator bool() const { return static_cast<bool>(get()); }

    // False when no closure is set; the event then does nothing.
    template <typename... CallArgs>
    bool operator()(CallArgs&&... args) const
        requires std::is_void_v<R>
    {
        Function function = get();
        if (!function) {
            return false;
        }
        function(std::forward<CallArgs>(args)...);
        return true;
    }

private:
    mutable std::mutex m_mutex;
    Function m_function;
};
