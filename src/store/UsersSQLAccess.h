#pragma once

#include "model/BloggerUser.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The USERS table: signed-in accounts and comment authors, keyed by the service's user id.
// Where an operation takes `ok`, *ok is false when the store failed: a failed read is never "absent".
class UsersSQLAccess
{
    // The connection is the store's own: only its services open transactions on it.
    friend class UserBlogsLocalAccessAppService;
    SQLiteDB* db;

public:
    UsersSQLAccess();
    explicit UsersSQLAccess(SQLiteDB& db);

    std::optional<BloggerUser> getUser(const QString& userId, bool* ok = nullptr) const;
    QList<BloggerUser> listUsers(bool* ok = nullptr) const;
    // True when it inserted; false when the id was stored already (that row is left as it was) or the
    // store failed (*ok false).
    bool addUserIfNotExists(const BloggerUser& user, bool* ok = nullptr) const;
    // False when the store failed.
    bool updateUser(const BloggerUser& user) const;
    bool deleteUser(const QString& userId) const;

    static BloggerUser userFromRow(const SQLRow& row);

    const QString ADD_USER_SQL;
    const QString DELETE_USER_SQL;
    const QString GET_USER_SQL;
    const QString GET_USERS_SQL;
    const QString UPDATE_USER_SQL;
    const QString USER_EXISTS_SQL;
};
