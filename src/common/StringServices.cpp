#include "StringServices.h"

#include "common/StringExtensions.h"

#include <QRegularExpression>

namespace {

bool isHorizontalBlank(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isHorizontalBlank(text.at(start))) {
        ++start;
    }
    while (end > start && isHorizontalBlank(text.at(end - 1))) {
        --end;
    }
    return text.mid(start, end - start);
}

QString removeTags(const QString& text)
{
    // The dot does not cross a line end, so a tag split over lines stays.
    static const QRegularExpression tag(QStringLiteral("<.*?>"), QRegularExpression::CaseInsensitiveOption);
    QString result = text;
    result.remove(tag);
    return result;
}

} // namespace

QString StringServices::postPreview(const QString& html) const
{
    QString text = html;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.remove(QStringLiteral("&nbsp;"));
    text = trimBlanks(removeTags(text));
    if (StringExtensions::characterCount(text) > 200) {
        text = StringExtensions::substringToIndex(text, 200);
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
    return trimBlanks(removeTags(html));
}
