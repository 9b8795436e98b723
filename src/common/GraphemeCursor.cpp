#include "GraphemeCursor.h"

#include <algorithm>

namespace {

// First prefix the finder sees; it doubles whenever a boundary near its end is asked for.
constexpr qsizetype FirstWindow = 256;

} // namespace

GraphemeCursor::GraphemeCursor(QStringView text, qsizetype expectedReach)
    : m_text(text), m_firstWindow(std::max(FirstWindow, expectedReach))
{
}

qsizetype GraphemeCursor::nextFinderBoundary()
{
    const qsizetype size = m_text.size();
    if (m_lastFinderBoundary >= size) {
        return -1;
    }
    while (true) {
        if (!m_finder) {
            m_window = std::min(size, m_window == 0 ? m_firstWindow : m_window * 2);
            m_finder =
                std::make_unique<QTextBoundaryFinder>(QTextBoundaryFinder::Grapheme, m_text.data(), m_window);
            m_finder->setPosition(m_lastFinderBoundary);
        }
        const qsizetype mark = m_finder->toNextBoundary();
        // The finder decides a boundary from the text before it and the character at it, so one that
        // leaves room for a whole character before the end of the prefix holds for the whole text.
        if (m_window == size || (mark != -1 && mark <= m_window - 2)) {
            if (mark != -1) {
                m_lastFinderBoundary = mark;
            }
            return mark;
        }
        m_finder.reset();
    }
}

bool GraphemeCursor::isRegionalIndicator(qsizetype offset) const
{
    if (offset + 1 >= m_text.size() || !m_text[offset].isHighSurrogate()) {
        return false;
    }
    const char32_t code = QChar::surrogateToUcs4(m_text[offset], m_text[offset + 1]);
    return code >= 0x1F1E6 && code <= 0x1F1FF;
}

void GraphemeCursor::findRunBefore(qsizetype limit)
{
    while (m_scan < limit && m_scan < m_text.size()) {
        if (!isRegionalIndicator(m_scan)) {
            ++m_scan;
            continue;
        }
        if (isRegionalIndicator(m_scan + 2)) {
            m_runBegin = m_scan;
            m_runEnd = m_scan + 4;
            m_runComplete = false;
            return;
        }
        m_scan += 2;
    }
}

bool GraphemeCursor::runCovers(qsizetype offset)
{
    while (!m_runComplete && m_runEnd <= offset) {
        if (isRegionalIndicator(m_runEnd)) {
            m_runEnd += 2;
        } else {
            m_runComplete = true;
        }
    }
    return offset < m_runEnd;
}

bool GraphemeCursor::runBefore(qsizetype limit)
{
    while (true) {
        if (m_runBegin >= 0) {
            if (m_runBegin >= limit) {
                return false;
            }
            if (runCovers(m_last)) {
                return true;
            }
            m_scan = m_runEnd;
            m_runBegin = -1;
        }
        findRunBefore(limit);
        if (m_runBegin < 0) {
            return false;
        }
    }
}

qsizetype GraphemeCursor::next()
{
    const qsizetype beyond = m_text.size() + 1;
    while (true) {
        if (m_pending == NotRead) {
            m_pending = nextFinderBoundary();
        }
        const qsizetype mark = m_pending == -1 ? beyond : m_pending;
        // Inside a run of indicators the finder's boundaries give way to one every second indicator.
        if (runBefore(mark)) {
            const qsizetype pair =
                m_last < m_runBegin ? m_runBegin + 4 : m_runBegin + 4 * ((m_last - m_runBegin) / 4 + 1);
            if (pair <= mark && runCovers(pair)) {
                if (pair == mark) {
                    m_pending = NotRead;
                }
                return m_last = pair;
            }
            if (runCovers(mark)) {
                m_pending = NotRead;
                continue;
            }
            // The run ends before the finder's boundary; a later run may begin before it too.
            m_scan = m_runEnd;
            m_runBegin = -1;
            continue;
        }
        if (mark == beyond) {
            return -1;
        }
        m_pending = NotRead;
        return m_last = mark;
    }
}
