#include "PersistentAccessTokens.h"

#include "common/AppKeyPrefix.h"
#include "platform/UserDefaults.h"

PersistentAccessTokens::PersistentAccessTokens(const QString& userId)
    : PersistentAccessTokens(userId, UserDefaults::standardUserDefaults())
{
}

PersistentAccessTokens::PersistentAccessTokens(const QString& userId, UserDefaults& storage)
    : storage(&storage), user(userId), KEY_PREFIX(QStringLiteral("_DEV_") + APP_KEY_PREFIX)
{
}

std::optional<QString> PersistentAccessTokens::accessToken() const
{
    return storage->stringForKey(KEY_PREFIX + user);
}

void PersistentAccessTokens::setAccessToken(const std::optional<QString>& token)
{
    storage->setObject(token ? QVariant(*token) : QVariant(), KEY_PREFIX + user);
}

// "R_" before "_DEV_": the key has two underscores in a row.
std::optional<QString> PersistentAccessTokens::refreshToken() const
{
    return storage->stringForKey(QStringLiteral("R_") + KEY_PREFIX + user);
}

void PersistentAccessTokens::setRefreshToken(const std::optional<QString>& token)
{
    storage->setObject(token ? QVariant(*token) : QVariant(), QStringLiteral("R_") + KEY_PREFIX + user);
}
