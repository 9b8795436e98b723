#pragma once

#include <QFont>
#include <QString>

// The reading pane's style for posts that set none of their own: the desktop's sans face at the
// application's size, margins that line up with the post header's text, and pictures and frames no
// wider than the pane. Every rule has no specificity (":where"), so any rule of the post wins.
class PostReadingStyle
{
public:
    // Where the header's text starts: its 16 px margin, 24 px status icon and 12 px spacing.
    static constexpr int LeftMargin = 52;
    static constexpr int RightMargin = 16;

    static QString styleSheet(const QFont& font);
    // The post's HTML with the style sheet ahead of it (after a leading doctype, which must stay first).
    static QString withStyle(const QString& html, const QFont& font);
};
