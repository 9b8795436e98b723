#include "GoogleServiceEndpoints.h"

#include <QByteArray>
#include <QtGlobal>

#ifndef PENHOLLOW_OAUTH_CLIENT_ID
#error "PENHOLLOW_OAUTH_CLIENT_ID must come from the build configuration"
#endif

namespace {

QString baseAddress(const char* variable, const char* compiledIn)
{
    QString address = qEnvironmentVariableIsSet(variable) ? qEnvironmentVariable(variable).trimmed() : QString();
    if (address.isEmpty()) {
        address = QString::fromUtf8(compiledIn);
    }
    while (address.endsWith(QLatin1Char('/'))) {
        address.chop(1);
    }
    return address;
}

} // namespace

QString GoogleServiceEndpoints::oauthUrl()
{
    return baseAddress("PENHOLLOW_OAUTH_URL", PENHOLLOW_OAUTH_URL);
}

QString GoogleServiceEndpoints::googleApiUrl()
{
    return baseAddress("PENHOLLOW_GOOGLE_API_URL", PENHOLLOW_GOOGLE_API_URL);
}

QString GoogleServiceEndpoints::bloggerUrl()
{
    return baseAddress("PENHOLLOW_BLOGGER_URL", PENHOLLOW_BLOGGER_URL);
}

QString GoogleServiceEndpoints::tokenUrl()
{
    return googleApiUrl() + QStringLiteral("/oauth2/v3/token");
}

QString GoogleServiceEndpoints::clientId()
{
    return QString::fromUtf8(PENHOLLOW_OAUTH_CLIENT_ID);
}

QString GoogleServiceEndpoints::clientSecret()
{
    return QString::fromUtf8(PENHOLLOW_OAUTH_CLIENT_SECRET);
}

QString GoogleServiceEndpoints::clientScope()
{
    return QString::fromUtf8(PENHOLLOW_OAUTH_SCOPE);
}

QString GoogleServiceEndpoints::redirectUri()
{
    return QStringLiteral("urn:ietf:wg:oauth:2.0:oob");
}
