#pragma once

#include <QString>

// What an authorization code, access token or refresh token stands for.
struct StandinGrant
{
    QString accountId;
    QString scope;
    QString clientId;
    QString redirectUri; // codes only
    bool spent = false;  // code exchanged, access token expired or refresh token revoked

    bool operator==(const StandinGrant&) const = default;
};
