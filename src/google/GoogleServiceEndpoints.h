#pragma once

#include <QString>

// Where Google's services are reached and who the application is to them.
// The hosts are compiled in and can be pointed elsewhere (a local stand-in) through
// PENHOLLOW_OAUTH_URL, PENHOLLOW_GOOGLE_API_URL and PENHOLLOW_BLOGGER_URL ("scheme://host:port").
class GoogleServiceEndpoints
{
public:
    // Base addresses without a trailing slash; paths are appended as they stand.
    static QString oauthUrl();
    static QString googleApiUrl();
    static QString bloggerUrl();

    static QString tokenUrl();

    static QString clientId();
    static QString clientSecret();
    static QString clientScope();
    // The out-of-band redirect: the consent page shows the code in its title.
    static QString redirectUri();
};
