#include "GraphemeCursor.h"

#include <algorithm>

namespace {

// First prefix the finder sees; it doubles whenever a boundary near its end is asked for.
constexpr qsizetype FirstWindow = 256;

// Below U+0300 (where combining marks begin) every character but the soft hyphen is a letter, digit,
// sign, space or control: none joins its neighbours, so two of them in a row always have a boundary
// between them (but for CR LF) - unless Qt's tailoring of a script run they belong to says otherwise.
bool isSimple(char16_t c)
{
    return c < 0x300 && c != 0xAD;
}

// Qt groups text into runs by script (common characters and marks join the run before them, or the
// first run when they lead) and re-draws the boundaries inside the runs of these scripts by their
// syllables, even between CR and LF. Elsewhere its finder works from left to right.
bool isTailoredScript(QChar::Script script)
{
    return (script >= QChar::Script_Devanagari && script <= QChar::Script_Myanmar) ||
           script == QChar::Script_Khmer;
}

GraphemeCursor::ScriptRun scriptRunOf(char32_t code)
{
    const QChar::Script script = QChar::script(code);
    if (script <= QChar::Script_Common) {
        return GraphemeCursor::ScriptRun::Joins;
    }
    const QChar::Category category = QChar::category(code);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
        category == QChar::Mark_Enclosing) {
        return GraphemeCursor::ScriptRun::Joins;
    }
    return isTailoredScript(script) ? GraphemeCursor::ScriptRun::Tailored : GraphemeCursor::ScriptRun::Plain;
}

GraphemeCursor::ScriptRun scriptRunOf(char16_t c)
{
    if (c < 0x80) {
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        return letter ? GraphemeCursor::ScriptRun::Plain : GraphemeCursor::ScriptRun::Joins;
    }
    return scriptRunOf(char32_t(c));
}

} // namespace

bool GraphemeCursor::isPlainLetter(QChar c)
{
    return !c.isSurrogate() && scriptRunOf(c.unicode()) == ScriptRun::Plain;
}

GraphemeCursor::GraphemeCursor(QStringView text, qsizetype expectedReach)
    : m_text(text), m_firstWindow(std::max(FirstWindow, expectedReach))
{
}

qsizetype GraphemeCursor::nextFinderBoundary(qsizetype from)
{
    const qsizetype size = m_text.size();
    if (from >= size) {
        return -1;
    }
    while (true) {
        if (!m_finder || from + 2 > m_window) {
            m_window = std::min(size, std::max({m_firstWindow, m_window * 2, from + 2}));
            // The prefix ends after a letter of an untailored script: Qt's runs before it, and its
            // boundaries up to it, are then those of the whole text.
            while (m_window < size && !isPlainLetter(m_text[m_window - 1])) {
                ++m_window;
            }
            m_finder =
                std::make_unique<QTextBoundaryFinder>(QTextBoundaryFinder::Grapheme, m_text.data(), m_window);
        }
        m_finder->setPosition(from);
        qsizetype mark = m_finder->toNextBoundary();
        // Qt's finder sometimes stops between the halves of a surrogate pair (tag characters after some
        // letters); a cut there would leave half a character.
        while (mark > 0 && mark < size && m_text[mark].isLowSurrogate() &&
               m_text[mark - 1].isHighSurrogate()) {
            mark = m_finder->toNextBoundary();
        }
        // Only the end of the prefix may be no boundary of the whole text.
        if (m_window == size || (mark != -1 && mark < m_window)) {
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
    const qsizetype size = m_text.size();
    if (m_pending == NotRead && m_last < size && isSimple(m_text[m_last].unicode()) && inPlainRun(m_last)) {
        qsizetype end = m_last + 1;
        if (m_text[m_last] == u'\r' && end < size && m_text[end] == u'\n') {
            ++end;
        }
        if (end == size || isSimple(m_text[end].unicode())) {
            return m_last = end;
        }
    }
    const qsizetype beyond = size + 1;
    while (true) {
        if (m_pending == NotRead) {
            m_pending = nextFinderBoundary(std::max(m_finderFrom, m_last));
        }
        const qsizetype mark = m_pending == -1 ? beyond : m_pending;
        // Inside a run of indicators the finder's boundaries give way to one every second indicator.
        if (runBefore(mark)) {
            const qsizetype pair =
                m_last < m_runBegin ? m_runBegin + 4 : m_runBegin + 4 * ((m_last - m_runBegin) / 4 + 1);
            if (pair <= mark && runCovers(pair)) {
                if (pair == mark) {
                    consumePending();
                }
                return m_last = pair;
            }
            if (runCovers(mark)) {
                consumePending();
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
        consumePending();
        return m_last = mark;
    }
}

bool GraphemeCursor::inPlainRun(qsizetype offset)
{
    for (; m_scriptScan <= offset && m_scriptScan < m_text.size(); ++m_scriptScan) {
        const QChar c = m_text[m_scriptScan];
        ScriptRun run = ScriptRun::Joins;
        if (c.isHighSurrogate() && m_scriptScan + 1 < m_text.size() &&
            m_text[m_scriptScan + 1].isLowSurrogate()) {
            run = scriptRunOf(QChar::surrogateToUcs4(c, m_text[m_scriptScan + 1]));
            ++m_scriptScan;
        } else {
            run = scriptRunOf(c.unicode());
        }
        if (run != ScriptRun::Joins) {
            m_lastRun = run;
        }
    }
    return m_lastRun == ScriptRun::Plain;
}

qsizetype GraphemeCursor::advance(qsizetype count, qsizetype* walked)
{
    const qsizetype size = m_text.size();
    const qsizetype wanted = count;
    while (count > 0) {
        // Plain characters in a plain run, each followed by another: a boundary after each.
        if (m_pending == NotRead) {
            qsizetype at = m_last;
            while (count > 0 && at + 1 < size) {
                const char16_t c = m_text[at].unicode();
                if (!isSimple(c) || c == u'\r' || !isSimple(m_text[at + 1].unicode())) {
                    break;
                }
                if (m_scriptScan == at && c < 0x80) {
                    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
                        m_lastRun = ScriptRun::Plain;
                    }
                    ++m_scriptScan;
                } else if (!inPlainRun(at)) {
                    break;
                }
                if (m_lastRun != ScriptRun::Plain) {
                    break;
                }
                ++at;
                --count;
            }
            m_last = at;
        }
        if (count == 0) {
            break;
        }
        if (next() < 0) {
            if (walked) {
                *walked = wanted - count;
            }
            return -1;
        }
        --count;
    }
    if (walked) {
        *walked = wanted;
    }
    return m_last;
}

void GraphemeCursor::consumePending()
{
    m_finderFrom = m_pending;
    m_pending = NotRead;
}
