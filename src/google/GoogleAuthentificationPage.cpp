#include "GoogleAuthentificationPage.h"

#include "google/GoogleServiceEndpoints.h"

#include <QUrl>

QString GoogleAuthentificationPage::consentUrl(const QString& clientId, const QString& clientScope,
                                               const QString& redirectUri)
{
    const QString query = QStringLiteral("scope=") + clientScope + QStringLiteral("&state=") + stateValue() +
                          QStringLiteral("&redirect_uri=") + redirectUri +
                          QStringLiteral("&response_type=code&client_id=") + clientId +
                          QStringLiteral("&approval_prompt=force");
    // The characters a host may hold stay as they are; everything else is escaped.
    const QByteArray encoded = QUrl::toPercentEncoding(query, QByteArray("!$&'()*+,;=:[]"));
    return GoogleServiceEndpoints::oauthUrl() + QStringLiteral("/o/oauth2/auth?") + QString::fromLatin1(encoded);
}

std::optional<QString> GoogleAuthentificationPage::codeFromTitle(const QString& title)
{
    const QString marker = QStringLiteral("state=") + stateValue() + QStringLiteral("&code=");
    const qsizetype start = title.indexOf(marker);
    if (start < 0) {
        return std::nullopt;
    }
    const qsizetype codeStart = start + marker.size();
    const qsizetype end = title.indexOf(QLatin1Char('&'), codeStart);
    const QString code = title.mid(codeStart, end < 0 ? -1 : end - codeStart).trimmed();
    if (code.isEmpty()) {
        return std::nullopt;
    }
    return code;
}
