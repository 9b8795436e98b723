#include "UsersSQLAccess.h"

#include "store/SQLiteDB.h"

UsersSQLAccess::UsersSQLAccess() : UsersSQLAccess(SQLiteDB::sharedInstance()) {}

UsersSQLAccess::UsersSQLAccess(SQLiteDB& db)
    : db(&db), ADD_USER_SQL(QStringLiteral("INSERT INTO USERS VALUES (NULL, ?, ?, ?, ?)")),
      DELETE_USER_SQL(QStringLiteral("DELETE FROM USERS WHERE UserId = ?")),
      GET_USER_SQL(QStringLiteral("SELECT * FROM USERS WHERE UserId = ?")),
      GET_USERS_SQL(QStringLiteral("SELECT * FROM USERS")),
      UPDATE_USER_SQL(
          QStringLiteral("UPDATE USERS SET UserName = ?, UserLink = ?, UserPicture = ? WHERE UserId = ?"))
{
}

BloggerUser UsersSQLAccess::userFromRow(const SQLRow& row)
{
    BloggerUser user;
    if (const SQLColumn* column = row.find(QStringLiteral("UserId"))) {
        user.userId = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserName"))) {
        user.userName = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserLink"))) {
        user.userLink = column->asString();
    }
    if (const SQLColumn* column = row.find(QStringLiteral("UserPicture"))) {
        user.userPicture = column->asString();
    }
    return user;
}

std::optional<BloggerUser> UsersSQLAccess::getUser(const QString& userId) const
{
    const QList<SQLRow> rows = db->query(GET_USER_SQL, {userId});
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return userFromRow(rows.first());
}

QList<BloggerUser> UsersSQLAccess::listUsers() const
{
    QList<BloggerUser> users;
    for (const SQLRow& row : db->query(GET_USERS_SQL)) {
        users.append(userFromRow(row));
    }
    return users;
}

bool UsersSQLAccess::addUserIfNotExists(const BloggerUser& user) const
{
    if (getUser(user.userId)) {
        return false;
    }
    db->query(ADD_USER_SQL, {user.userId, user.userName, user.userLink, user.userPicture});
    return true;
}

void UsersSQLAccess::updateUser(const BloggerUser& user) const
{
    db->query(UPDATE_USER_SQL, {user.userName, user.userLink, user.userPicture, user.userId});
}

void UsersSQLAccess::deleteUser(const QString& userId) const
{
    db->query(DELETE_USER_SQL, {userId});
}
