#include "StringServices.h"

#include "common/GraphemeCursor.h"
#include "common/HtmlTextStripper.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qsizetype PreviewCharacters = 200;

// Where character `count` starts in text, or -1 when text ends before it.
qsizetype boundaryOfCharacter(QStringView text, qsizetype count)
{
    // Most previews are ASCII: there, up to a character that may join the one before it (a mark or any
    // other non-ASCII character) or a carriage return (which pairs with a line feed), every unit is one
    // character.
    const qsizetype reach = std::min(text.size(), count + 1);
    qsizetype at = 0;
    while (at < reach && text[at].unicode() < 0x80 && text[at] != u'\r') {
        ++at;
    }
    if (at == reach) {
        return count <= text.size() ? count : -1;
    }
    return GraphemeCursor(text).advance(count);
}

// Whether a letter of a script whose boundaries Qt draws from left to right comes at or after `from`:
// the boundaries before it are then those of any longer text, and the text goes on past `from` with
// more than blanks.
bool hasPlainLetterFrom(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (GraphemeCursor::isPlainLetter(text.at(i))) {
            return true;
        }
    }
    return false;
}

} // namespace

QString StringServices::postPreview(const QString& html) const
{
    // Tags dropped, spacing read as a browser shows it (one space between words, paragraphs and lines),
    // then cut to 200 characters: read only as much of the HTML as that needs.
    HtmlTextStripper stripper(html, HtmlTextStripper::LineFeedsAsSpaces | HtmlTextStripper::ReadableSpacing);
    // A few characters past the cut are mostly enough to show it final.
    constexpr qsizetype FirstReach = PreviewCharacters + 16;
    QString text;
    text.reserve(FirstReach + 64);
    for (qsizetype wanted = FirstReach; stripper.fill(text, wanted); wanted *= 2) {
        // The cut is final once such a letter follows it: more text cannot move it, and trimming the end
        // would still leave more than 200 characters.
        const qsizetype cut = boundaryOfCharacter(text, PreviewCharacters);
        if (cut >= 0 && hasPlainLetterFrom(text, cut)) {
            text.truncate(cut);
            return text;
        }
    }
    HtmlTextStripper::chopTrailingBlanks(text);
    const qsizetype cut = boundaryOfCharacter(text, PreviewCharacters);
    if (cut >= 0) {
        text.truncate(cut);
    }
    return text;
}

QString StringServices::decodeCommentHtml(const QString& html) const
{
    QString text = html;
    text.replace(QStringLiteral("<br />"), QStringLiteral("\n"));
    text.remove(QStringLiteral("&nbsp;"));
    text = removeHtmlEntries(text);
    // "&amp;" last, so an escaped entity such as "&amp;lt;" shows as "&lt;" and is not decoded twice.
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

QString StringServices::removeHtmlEntries(const QString& html) const
{
    // A tag never spans a line end of any kind.
    HtmlTextStripper stripper(html, HtmlTextStripper::NoOptions);
    QString text;
    text.reserve(html.size());
    stripper.fill(text, std::numeric_limits<qsizetype>::max());
    HtmlTextStripper::chopTrailingBlanks(text);
    return text;
}
