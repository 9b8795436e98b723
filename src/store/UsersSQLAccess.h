#pragma once

#include "model/BloggerUser.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>

#include <optional>

class SQLiteDB;

// The USERS table: signed-in accounts and comment authors, keyed by the service's user id.
class UsersSQLAccess
{
public:
    UsersSQLAccess();
    explicit UsersSQLAccess(SQLiteDB& db);

    std::optional<BloggerUser> getUser(const QString& userId) const;
    QList<BloggerUser> listUsers() const;
    // True when it inserted; false when the id was stored already (that row is left as it was).
    bool addUserIfNotExists(const BloggerUser& user) const;
    void updateUser(const BloggerUser& user) const;
    void deleteUser(const QString& userId) const;

    static BloggerUser userFromRow(const SQLRow& row);

    SQLiteDB* db;
    const QString ADD_USER_SQL;
    const QString DELETE_USER_SQL;
    const QString GET_USER_SQL;
    const QString GET_USERS_SQL;
    const QString UPDATE_USER_SQL;
};
