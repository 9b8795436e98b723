#pragma once

#include <QSizeF>
#include <QString>

class QFont;

// HTML of posts and comments as plain text, and text measurement.
class StringServices
{
public:
    // Plain text of a post's HTML, at most 200 user-perceived characters.
    QString postPreview(const QString& html) const;
    // A comment's HTML as plain text: "<br />" as line feeds, the five basic entities decoded ("&amp;" last).
    QString decodeCommentHtml(const QString& html) const;
    // Every tag removed, horizontal blanks trimmed from both ends.
    QString removeHtmlEntries(const QString& html) const;
    // Size the text takes laid out in the font inside a box of the given size, without line padding.
    // Needs a GUI application (fonts); defined in the GUI library.
    QSizeF textSizeForWidth(const QString& text, const QFont& font, const QSizeF& size) const;
};
