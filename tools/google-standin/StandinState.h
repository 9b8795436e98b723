#pragma once

#include "StandinAccount.h"
#include "StandinBlog.h"
#include "StandinGrant.h"
#include "StandinPhoto.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

// Everything the stand-in serves, held in memory. Not thread-safe: GoogleStandin guards it.
class StandinState
{
public:
    // Replaces everything with the seed; "{base}" in any text becomes baseUrl. Tokens and codes are dropped,
    // except those the seed names. On failure the state is left unchanged.
    bool loadSeed(const QJsonObject& seed, const QString& baseUrl, QString* error);
    void clear();

    QList<StandinAccount> accounts;
    QList<StandinBlog> blogs;
    QList<StandinPhoto> photos;
    QHash<QString, StandinGrant> codes;
    QHash<QString, StandinGrant> accessTokens;
    QHash<QString, StandinGrant> refreshTokens;

    // Bumped by every change, so an owner that keeps the state on disk knows when to write it.
    quint64 revision = 0;
    void markChanged() { ++revision; }

    const StandinAccount* account(const QString& id) const;
    StandinBlog* blog(const QString& id);
    const StandinBlog* blog(const QString& id) const;
    StandinBlog* blogByPath(const QString& path);
    static StandinPost* post(StandinBlog& blog, const QString& id);
    const StandinPhoto* photo(const QString& id) const;

    // Fresh decimal id of the given length, unused by any blog, post, comment or photo.
    QString newId(int digits = 19) const;

    QString issueCode(const QString& accountId, const QString& clientId, const QString& redirectUri,
                      const QString& scope);
    QString issueAccessToken(const QString& accountId, const QString& scope, const QString& clientId);
    QString issueRefreshToken(const QString& accountId, const QString& scope, const QString& clientId);
    // The account a usable access token belongs to; empty for an unknown or expired token.
    QString accountForAccessToken(const QString& token) const;

    // Gives a post that is no draft its address under the blog, once; later edits keep it.
    static void assignUrlPath(const StandinBlog& blog, StandinPost& post);

    // Names that blog addresses may not take, because the services' own paths live there.
    static bool isReservedPath(const QString& path);
    // A path a blog's address can take: letters, digits and dashes, and no reserved name.
    static bool isUsablePath(const QString& path);

private:
    bool idInUse(const QString& id) const;
    QString randomToken(int length) const;
};
