#include "HtmlTextStripper.h"

#include <algorithm>
#include <array>

namespace {

constexpr QStringView Nbsp = u"&nbsp;";

// Elements a browser lays out on lines of their own, and the line break; in alphabetical order.
constexpr QStringView SeparatingElements[] = {
    u"address", u"article", u"aside", u"blockquote", u"br",         u"caption", u"dd",      u"details",
    u"div",     u"dl",      u"dt",    u"fieldset",   u"figcaption", u"figure",  u"footer",  u"form",
    u"h1",      u"h2",      u"h3",    u"h4",         u"h5",         u"h6",      u"header",  u"hr",
    u"li",      u"main",    u"nav",   u"ol",         u"p",          u"pre",     u"section", u"summary",
    u"table",   u"tbody",   u"td",    u"tfoot",      u"th",         u"thead",   u"tr",      u"ul"};
constexpr qsizetype LongestElement =
    std::max_element(std::begin(SeparatingElements), std::end(SeparatingElements),
                     [](QStringView a, QStringView b) { return a.size() < b.size(); })
        ->size();

// Where the names of each first letter, 'a' to 'z', begin in the list; one more entry for its end. A tag is
// compared only with the names of its own first letter.
constexpr auto FirstLetterStarts = [] {
    std::array<qsizetype, 27> starts{};
    qsizetype at = 0;
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        while (at < qsizetype(std::size(SeparatingElements)) &&
               SeparatingElements[at][0].unicode() < letter) {
            ++at;
        }
        starts[letter - u'a'] = at;
    }
    starts[26] = qsizetype(std::size(SeparatingElements));
    return starts;
}();

constexpr bool sortedByFirstLetter()
{
    for (std::size_t i = 1; i < std::size(SeparatingElements); ++i) {
        if (SeparatingElements[i - 1][0].unicode() > SeparatingElements[i][0].unicode()) {
            return false;
        }
    }
    return true;
}
static_assert(sortedByFirstLetter());

} // namespace

HtmlTextStripper::HtmlTextStripper(QStringView html, int options) : m_html(html), m_options(options) {}

bool HtmlTextStripper::isHorizontalBlank(QChar c)
{
    // The only ASCII space separator is the space itself; most text is ASCII.
    if (c.unicode() < 0x80) {
        return c == u'\t' || c == u' ';
    }
    return c.category() == QChar::Separator_Space;
}

void HtmlTextStripper::chopTrailingBlanks(QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && isHorizontalBlank(text.at(end - 1))) {
        --end;
    }
    text.truncate(end);
}

bool HtmlTextStripper::isWhiteSpace(char16_t c)
{
    return c == u' ' || isLineTerminator(c) || isHorizontalBlank(QChar(c));
}

bool HtmlTextStripper::separatesText(QStringView tag)
{
    if (tag.startsWith(u'/')) {
        tag = tag.mid(1);
    }
    qsizetype length = 0;
    while (length < tag.size() && tag[length].isLetterOrNumber() && tag[length].unicode() < 0x80) {
        ++length;
    }
    // The name is ASCII: lowered by hand and compared whole, as a case-insensitive compare against every
    // element would cost more than the rest of a preview.
    if (length == 0 || length > LongestElement) {
        return false;
    }
    char16_t lowered[LongestElement];
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = tag[i].unicode();
        lowered[i] = c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
    }
    if (lowered[0] < u'a' || lowered[0] > u'z') {
        return false;
    }
    const QStringView name(lowered, length);
    const qsizetype letter = lowered[0] - u'a';
    for (qsizetype i = FirstLetterStarts[letter]; i < FirstLetterStarts[letter + 1]; ++i) {
        if (SeparatingElements[i] == name) {
            return true;
        }
    }
    return false;
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
    const bool readable = m_options & ReadableSpacing;
    const bool lineFeedIsSpace = m_options & LineFeedsAsSpaces;
    while (m_at < m_html.size()) {
        if (out.size() >= size) {
            return true;
        }
        // Text up to the next character that may start a tag, an entity, a line feed or (when spacing
        // is read) white space goes in whole.
        if (m_started) {
            const qsizetype limit = m_at + std::min(m_html.size() - m_at, size - out.size());
            const auto plain = [&](char16_t c) {
                if (c >= 0x80) {
                    return !(readable && isWhiteSpace(c));
                }
                // ASCII white space is the space, tab and LF to CR.
                return !(c == u'<' || (lineFeedIsSpace && c == u'\n') ||
                         (readable && (c == u'&' || c == u' ' || (c >= u'\t' && c <= u'\r'))));
            };
            qsizetype end = m_at;
            while (end < limit) {
                const char16_t c = m_html[end].unicode();
                if (plain(c)) {
                    ++end;
                } else if (readable && c == u' ' && end > m_at && end + 1 < limit &&
                           plain(m_html[end + 1].unicode())) {
                    // One space between two words is already the one space their spacing gives.
                    end += 2;
                } else {
                    break;
                }
            }
            if (end > m_at) {
                if (m_pendingSpace) {
                    out.append(u' ');
                    m_pendingSpace = false;
                }
                out.append(m_html.mid(m_at, end - m_at));
                m_at = end;
                continue;
            }
        }
        QChar c = m_html[m_at];
        if (readable && c == u'&' && m_html.mid(m_at).startsWith(Nbsp)) {
            m_at += Nbsp.size();
            m_pendingSpace = m_started;
            continue;
        }
        if (c == u'<') {
            const qsizetype end = tagEnd(m_at);
            if (end >= 0) {
                if (readable && separatesText(m_html.mid(m_at + 1, end - m_at - 1))) {
                    m_pendingSpace = m_started;
                }
                m_at = end + 1;
                continue;
            }
        }
        ++m_at;
        if (lineFeedIsSpace && c == u'\n') {
            c = u' ';
        }
        if (readable && isWhiteSpace(c.unicode())) {
            m_pendingSpace = m_started;
            continue;
        }
        if (!m_started && isHorizontalBlank(c)) {
            continue;
        }
        if (m_pendingSpace) {
            out.append(u' ');
            m_pendingSpace = false;
        }
        m_started = true;
        out.append(c);
    }
    return false;
}
