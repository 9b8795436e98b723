#pragma once

#include <QString>

// Settings of one stand-in: the OAuth client it accepts and where it is reached.
struct StandinConfig
{
    QString clientId;
    QString clientSecret;
    QString scope;            // the scopes the client asks for, blank-separated
    QString baseUrl;          // "http://127.0.0.1:PORT", no trailing slash
    QString consentAccountId; // account preselected on the consent page; empty: the first one
};
