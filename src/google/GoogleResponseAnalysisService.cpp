#include "GoogleResponseAnalysisService.h"

#include <QRegularExpression>

namespace {

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

QString GoogleResponseAnalysisService::transformMessageIfCredentialsRelated(const QString& message) const
{
    const QString advice = reauthentificationAdvice();
    if (message.contains(advice.trimmed()) || !isCredentialsRelated(message)) {
        return message;
    }
    QString text = message;
    while (!text.isEmpty() && text.back().isSpace()) {
        text.chop(1);
    }
    if (!text.isEmpty() && !QStringLiteral(".!?").contains(text.back())) {
        text += QLatin1Char('.');
    }
    return text + advice;
}
