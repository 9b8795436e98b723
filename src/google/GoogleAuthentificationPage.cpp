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
    return GoogleServiceEndpoints::oauthUrl() + QStringLiteral("/o/oauth2/auth?") +
           QString::fromLatin1(encoded);
}

std::optional<QString> GoogleAuthentificationPage::codeFromTitle(const QString& title)
{
    // The title splits at runs of "=": the first piece is not examined, the second must be exactly the state
    // followed by "&code", and the code follows. Empty pieces do not count, so "==" acts as one "=".
    const qsizetype size = title.size();
    qsizetype at = 0;
    const auto skipEquals = [&] {
        while (at < size && title.at(at) == QLatin1Char('=')) {
            ++at;
        }
    };
    const auto skipPiece = [&] {
        while (at < size && title.at(at) != QLatin1Char('=')) {
            ++at;
        }
    };
    skipEquals();
    skipPiece();
    skipEquals();
    const qsizetype secondStart = at;
    skipPiece();
    if (QStringView(title).sliced(secondStart, at - secondStart) != stateValue() + QStringLiteral("&code")) {
        return std::nullopt;
    }
    skipEquals();
    // The code runs to the next "&": an "=" inside it stays, a following "&scope=..." is not part of it.
    const qsizetype end = title.indexOf(QLatin1Char('&'), at);
    const QString code = title.mid(at, end < 0 ? -1 : end - at).trimmed();
    if (code.isEmpty()) {
        return std::nullopt;
    }
    return code;
}
