#pragma once

#include <QString>

// HTML of posts and comments as plain text. Text measurement needs fonts: see StringServicesLayout.
class StringServices
{
public:
    // Plain text of a post's HTML, at most 200 user-perceived characters: "&nbsp;", "<br>" and block
    // boundaries read as spaces, and each run of white space as one space.
    QString postPreview(const QString& html) const;
    // A comment's HTML as plain text: "<br />" as line feeds, the five basic entities decoded ("&amp;" last).
    QString decodeCommentHtml(const QString& html) const;
    // Every tag removed, horizontal blanks trimmed from both ends.
    QString removeHtmlEntries(const QString& html) const;
};
