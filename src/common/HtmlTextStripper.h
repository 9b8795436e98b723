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
        // Every "&nbsp;" of the HTML is dropped before tags are looked for.
        DropNbsp = 2,
    };

    // The HTML must outlive the stripper.
    HtmlTextStripper(QStringView html, int options);

    // Appends text to out until out holds at least `size` units or the HTML is used up; false once it
    // is. Horizontal blanks at the start of the text are never appended.
    bool fill(QString& out, qsizetype size);

    // LF, VT, FF, CR, NEL, LS and PS: what ends a line in Unicode.
    static bool isLineTerminator(char16_t c);
    // Tab and the space separators (category Zs): what trimming removes.
    static bool isHorizontalBlank(QChar c);
    // The text without horizontal blanks at its end.
    static void chopTrailingBlanks(QString& text);

private:
    // Offset of the ">" that closes a tag opened at `open`, or -1.
    qsizetype tagEnd(qsizetype open);

    QStringView m_html;
    int m_options;
    qsizetype m_at = 0;
    // A search from an earlier "<" met a line end or the end here without a ">": any "<" before it fails.
    qsizetype m_noTagBefore = 0;
    bool m_started = false;
};
