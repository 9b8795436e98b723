#include "HtmlTextStripper.h"

#include <algorithm>

namespace {

constexpr QStringView Nbsp = u"&nbsp;";

} // namespace

HtmlTextStripper::HtmlTextStripper(QStringView html, int options) : m_html(html), m_options(options) {}

bool HtmlTextStripper::isLineTerminator(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool HtmlTextStripper::isHorizontalBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

void HtmlTextStripper::chopTrailingBlanks(QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && isHorizontalBlank(text.at(end - 1))) {
        --end;
    }
    text.truncate(end);
}

qsizetype HtmlTextStripper::tagEnd(qsizetype open)
{
    if (open < m_noTagBefore) {
        return -1;
    }
    const bool lineFeedIsSpace = m_options & LineFeedsAsSpaces;
    for (qsizetype i = open + 1; i < m_html.size(); ++i) {
        const char16_t c = m_html[i].unicode();
        if (c == u'>') {
            return i;
        }
        if (isLineTerminator(c) && !(lineFeedIsSpace && c == u'\n')) {
            m_noTagBefore = i;
            return -1;
        }
    }
    m_noTagBefore = m_html.size();
    return -1;
}

bool HtmlTextStripper::fill(QString& out, qsizetype size)
{
    const bool dropNbsp = m_options & DropNbsp;
    const bool lineFeedIsSpace = m_options & LineFeedsAsSpaces;
    while (m_at < m_html.size()) {
        if (out.size() >= size) {
            return true;
        }
        // Text up to the next character that may start a tag, an entity or a line feed goes in whole.
        if (m_started) {
            const qsizetype limit = m_at + std::min(m_html.size() - m_at, size - out.size());
            qsizetype end = m_at;
            while (end < limit) {
                const char16_t c = m_html[end].unicode();
                if (c == u'<' || (dropNbsp && c == u'&') || (lineFeedIsSpace && c == u'\n')) {
                    break;
                }
                ++end;
            }
            if (end > m_at) {
                out.append(m_html.mid(m_at, end - m_at));
                m_at = end;
                continue;
            }
        }
        QChar c = m_html[m_at];
        if (dropNbsp && c == u'&' && m_html.mid(m_at).startsWith(Nbsp)) {
            m_at += Nbsp.size();
            continue;
        }
        if (c == u'<') {
            const qsizetype end = tagEnd(m_at);
            if (end >= 0) {
                m_at = end + 1;
                continue;
            }
        }
        ++m_at;
        if (lineFeedIsSpace && c == u'\n') {
            c = u' ';
        }
        if (!m_started && isHorizontalBlank(c)) {
            continue;
        }
        m_started = true;
        out.append(c);
    }
    return false;
}
