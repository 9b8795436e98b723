#include "GoogleResponseAnalysisService.h"

#include "common/StringExtensions.h"
#include "google/JsonServiceError.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

// The few entities error pages use, and numeric ones.
QString decodeEntities(const QString& text)
{
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]{2,8});"));
    QString out;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = entity.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(last, match.capturedStart() - last);
        last = match.capturedEnd();
        const QString name = match.captured(1);
        QString replacement = match.captured(0);
        if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const bool hex =
                name.size() > 1 && (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t point = code;
                replacement = QString::fromUcs4(&point, 1);
            }
        } else {
            static const QHash<QString, QString> named = {
                {QStringLiteral("amp"), QStringLiteral("&")},
                {QStringLiteral("lt"), QStringLiteral("<")},
                {QStringLiteral("gt"), QStringLiteral(">")},
                {QStringLiteral("quot"), QStringLiteral("\"")},
                {QStringLiteral("apos"), QStringLiteral("'")},
                {QStringLiteral("nbsp"), QStringLiteral(" ")},
                {QStringLiteral("rsquo"), QStringLiteral("\u2019")},
                {QStringLiteral("mdash"), QStringLiteral("\u2014")}};
            replacement = named.value(name.toLower(), replacement);
        }
        out += replacement;
    }
    out += QStringView(text).mid(last);
    return out;
}

// Markup as the words a reader sees: scripts and styles dropped (to the end, when the reply was cut before
// their end), tags removed, blanks collapsed.
QString visibleText(const QString& markup)
{
    static const QRegularExpression hidden(
        QStringLiteral("<(script|style|head)\\b[^>]*>.*?(?:</\\1\\s*>|\\z)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString text = markup;
    text.remove(hidden);
    text.replace(tag, QStringLiteral(" "));
    return decodeEntities(text).simplified();
}

bool looksLikeJson(const QString& text)
{
    return text.startsWith(QLatin1Char('{')) || text.startsWith(QLatin1Char('['));
}

bool looksLikeMarkup(const QString& text)
{
    return text.startsWith(QLatin1Char('<')) && text.contains(QLatin1Char('>'));
}

bool isHtmlPage(const QString& text)
{
    static const QRegularExpression page(QStringLiteral("<(!doctype\\s+html|html|body)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return page.match(text).hasMatch();
}

QString errorPageSummary(const QString& page)
{
    static const QRegularExpression titleElement(QStringLiteral("<title\\b[^>]*>(.*?)</title\\s*>"),
                                                 QRegularExpression::CaseInsensitiveOption |
                                                     QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = titleElement.match(page);
    const QString title = match.hasMatch() ? visibleText(match.captured(1)) : QString();
    QString rest = page;
    if (match.hasMatch()) {
        rest.remove(match.capturedStart(), match.capturedLength());
    }
    const QString body = visibleText(rest);
    QString summary = title;
    if (!body.isEmpty() && !body.startsWith(title)) {
        if (!summary.isEmpty()) {
            summary += QStringLiteral(" \u2014 ");
        }
        summary += body;
    } else if (summary.isEmpty()) {
        summary = body;
    }
    return summary;
}

QString unreadableReply()
{
    return GoogleResponseAnalysisService::unreadableReplyMessage();
}

// The start of a reply, which is all that is read of it: an error page as large as a reply may be took
// seconds to tell, on whichever thread tells it. Never a half character or a half tag.
QString readPart(const QString& message)
{
    QString part = message.left(GoogleResponseAnalysisService::MaximumReadLength);
    if (part.size() == message.size()) {
        return part;
    }
    if (part.back().isHighSurrogate()) {
        part.chop(1);
    }
    if (const qsizetype open = part.lastIndexOf(QLatin1Char('<'));
        open > part.lastIndexOf(QLatin1Char('>'))) {
        part.truncate(open);
    }
    return part;
}

// The text a reader would take from a reply: a service error's message, an error page's title and words,
// or that the reply could not be read; any other text as it is.
QString summary(const QString& message)
{
    const QString part = readPart(message);
    const QString trimmed = part.trimmed();
    if (looksLikeJson(trimmed)) {
        // A service error object where a feed was expected: its message is what the user needs.
        const QJsonDocument document = QJsonDocument::fromJson(trimmed.toUtf8());
        const std::optional<QString> error =
            document.isObject() ? JsonServiceError::message(document.object()) : std::nullopt;
        return error && !error->trimmed().isEmpty() ? error->trimmed() : unreadableReply();
    }
    if (looksLikeMarkup(trimmed)) {
        if (!isHtmlPage(trimmed)) {
            return unreadableReply();
        }
        const QString page = errorPageSummary(trimmed);
        return page.isEmpty() ? unreadableReply() : GoogleResponseAnalysisService::errorPagePrefix() + page;
    }
    return part;
}

QString shortened(const QString& text)
{
    const qsizetype limit = GoogleResponseAnalysisService::MaximumMessageLength;
    if (StringExtensions::characterCount(text) <= limit) {
        return text;
    }
    return StringExtensions::substringToIndex(text, limit - 1).trimmed() + QStringLiteral("\u2026");
}

// Whole words only: no letter or digit may touch the match on either side.
QRegularExpression wholeWords(const QString& alternatives)
{
    return QRegularExpression(
        QStringLiteral("(?<![\\p{L}\\p{N}])(?:") + alternatives + QStringLiteral(")(?![\\p{L}\\p{N}])"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

bool GoogleResponseAnalysisService::isCredentialsRelated(const QString& message) const
{
    // Compiled once; matching with a shared const expression is safe from any thread.
    static const QRegularExpression plain = wholeWords(QStringLiteral(
        "invalid(?:[\\s_-]+[\\p{L}\\p{N}]+){0,2}?[\\s_-]+(?:grant|token|credentials?)"
        "|unauthori[sz]ed|forbidden|login[\\s_-]+required|access[\\s_-]+denied|permission[\\s_-]+denied"
        "|insufficient[\\s_-]*permissions?|401|no[\\s_-]+refresh[\\s_-]+token"));
    static const QRegularExpression ended = wholeWords(QStringLiteral("expired|revoked"));
    static const QRegularExpression credential =
        wholeWords(QStringLiteral("tokens?|credentials?|grants?|sessions?"));

    return plain.match(message).hasMatch() ||
           (ended.match(message).hasMatch() && credential.match(message).hasMatch());
}

QString GoogleResponseAnalysisService::readableMessage(const QString& message) const
{
    return shortened(summary(message));
}

QString GoogleResponseAnalysisService::transformMessageIfCredentialsRelated(const QString& message) const
{
    const QString advice = reauthentificationAdvice();
    if (readPart(message).contains(advice.trimmed())) {
        return message;
    }
    // Judged on all that is read, not on what is shown: the words that tell a refused sign-in may lie past
    // the cut.
    const QString whole = summary(message);
    QString text = shortened(whole);
    if (!isCredentialsRelated(whole)) {
        return text;
    }
    while (!text.isEmpty() && text.back().isSpace()) {
        text.chop(1);
    }
    if (!text.isEmpty() && !QStringLiteral(".!?\u2026").contains(text.back())) {
        text += QLatin1Char('.');
    }
    return text + advice;
}
