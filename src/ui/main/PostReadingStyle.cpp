#include "PostReadingStyle.h"

#include <QFontInfo>
#include <QRegularExpression>

QString PostReadingStyle::styleSheet(const QFont& font)
{
    const QFontInfo shown(font);
    QString family = shown.family();
    family.remove(QLatin1Char('"')).remove(QLatin1Char('\\')).remove(QLatin1Char('<'));
    return QStringLiteral("<style>"
                          ":where(body){margin:12px %1px 24px %2px;font-family:\"%3\",sans-serif;"
                          "font-size:%4px;line-height:1.5;overflow-wrap:break-word}"
                          ":where(img,video){max-width:100%;height:auto}"
                          ":where(iframe,embed,object,table){max-width:100%}"
                          "</style>")
        .arg(RightMargin)
        .arg(LeftMargin)
        .arg(family)
        .arg(shown.pixelSize());
}

QString PostReadingStyle::withStyle(const QString& html, const QFont& font)
{
    static const QRegularExpression doctype(QStringLiteral("^\\s*<!doctype[^>]*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = doctype.match(html);
    const qsizetype at = match.hasMatch() ? match.capturedEnd() : 0;
    QString styled = html;
    styled.insert(at, styleSheet(font));
    return styled;
}
