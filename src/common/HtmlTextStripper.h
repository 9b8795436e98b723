#pragma once

#include <QString>
#include <QStringView>

// The text of HTML with its tags removed, produced only as far as asked, in one forward pass that looks
// at each character a bounded number of times. A tag is "<", the fewest characters containing no line
// terminator, then ">"; a "<" without such an end stays as text.
class HtmlTextStripper
{
public:
    enum Option
    {
        NoOptions = 0,
        // A line feed becomes a space first, so a tag may span it.
        LineFeedsAsSpaces = 1,
        // Text as it reads: "&nbsp;", "<br>" and the start or end of a block (paragraph, heading, list
        // item, table cell...) each count as white space, and every run of white space (line ends
        // included) gives one space, none at the start; "&nbsp;" is taken before tags are looked for.
        ReadableSpacing = 2,
    };

    // The HTML must outlive the stripper.
    HtmlTextStripper(QStringView html, int options);

    // Appends text to out until out holds at least `size` units or the HTML is used up; false once it
    // is. Horizontal blanks at the start of the text are never appended.
    bool fill(QString& out, qsizetype size);

    // LF, VT, FF, CR, NEL, LS and PS: what ends a line in Unicode.
    static bool isLineTerminator(char16_t c)
    {
        return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
    }
    // Tab and the space separators (category Zs): what trimming removes.
    static bool isHorizontalBlank(QChar c);
    // The text without horizontal blanks at its end.
    static void chopTrailingBlanks(QString& text);

private:
    // Offset of the ">" that closes a tag opened at `open`, or -1.
    qsizetype tagEnd(qsizetype open);
    // Whether the tag between "<" and ">" breaks the text as a line or a block does.
    static bool separatesText(QStringView tag);
    static bool isWhiteSpace(char16_t c);

    QStringView m_html;
    int m_options;
    qsizetype m_at = 0;
    // A search from an earlier "<" met a line end or the end here without a ">": any "<" before it fails.
    qsizetype m_noTagBefore = 0;
    bool m_started = false;
    // ReadableSpacing: white space seen since the last character appended, given as one space before
    // the next one.
    bool m_pendingSpace = false;
};
