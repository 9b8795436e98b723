#pragma once

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

// What a cold-start child prints: "<milliseconds to the first paint of the full list> <peak KiB>".
// With COLD_START_TRACE set, each child also prints its timeline ("trace <ms> <thread> <event>") to
// standard error.
namespace ColdStartReport {

inline std::chrono::steady_clock::time_point& start()
{
    static std::chrono::steady_clock::time_point point;
    return point;
}

inline std::thread::id& mainThread()
{
    static std::thread::id id;
    return id;
}

// On the first line of main.
inline void markStart()
{
    start() = std::chrono::steady_clock::now();
    mainThread() = std::this_thread::get_id();
}

inline double elapsedMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start()).count();
}

inline void trace(const char* event, long long count = -1)
{
    static const bool on = std::getenv("COLD_START_TRACE") != nullptr;
    if (!on) {
        return;
    }
    const bool main = std::this_thread::get_id() == mainThread();
    std::fprintf(stderr, count >= 0 ? "trace %8.2f %-6s %s %lld\n" : "trace %8.2f %-6s %s\n", elapsedMs(),
                 main ? "main" : "reader", event, count);
}

inline void print(double ms)
{
    // The peak of this program's own memory. Not getrusage's ru_maxrss: a child started by fork (or vfork)
    // and exec inherits its parent's peak there, so a parent grown large masks both children's.
    long peakKib = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            if (std::strncmp(line, "VmHWM:", 6) == 0) {
                peakKib = std::atol(line + 6);
            }
        }
        std::fclose(status);
    }
    std::printf("%.3f %ld\n", ms, peakKib);
    std::fflush(stdout);
}

// Notes the time at which the list's viewport has finished its first paint holding every expected row
// and drawing them (what the user waits for), then calls `painted`.
class FullListPaint : public QObject
{
public:
    FullListPaint(QAbstractItemView* list, std::function<qsizetype()> rows, qsizetype expected,
                  std::function<void()> painted)
        : m_list(list), m_viewport(list->viewport()), m_rows(std::move(rows)), m_expected(expected),
          m_painted(std::move(painted))
    {
        m_viewport->installEventFilter(this);
    }

    bool done() const { return m_ms > 0; }
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_viewport || event->type() != QEvent::Paint || m_inside || done()) {
            return false;
        }
        const qsizetype rows = m_rows();
        trace("list paint begins, rows", rows);
        // Laid out: a list with rows whose layout is still to come draws none.
        if (rows != m_expected || (rows > 0 && !m_list->indexAt(QPoint(1, 1)).isValid())) {
            return false;
        }
        // The paint itself is delivered here, so the time taken includes drawing the rows.
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        m_ms = elapsedMs();
        trace("list painted with every row");
        m_painted();
        return true;
    }

private:
    QAbstractItemView* m_list;
    QWidget* m_viewport;
    std::function<qsizetype()> m_rows;
    qsizetype m_expected;
    std::function<void()> m_painted;
    bool m_inside = false;
    double m_ms = 0;
};

} // namespace ColdStartReport
