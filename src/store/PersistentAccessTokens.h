#pragma once

#include <QString>

#include <optional>

class UserDefaults;

// The OAuth access and refresh token of one user, kept in the preferences store.
class PersistentAccessTokens
{
public:
    explicit PersistentAccessTokens(const QString& userId);
    PersistentAccessTokens(const QString& userId, UserDefaults& storage);

    std::optional<QString> accessToken() const;
    void setAccessToken(const std::optional<QString>& token);
    std::optional<QString> refreshToken() const;
    void setRefreshToken(const std::optional<QString>& token);

    UserDefaults* storage;
    QString user;
    QString KEY_PREFIX;
};
