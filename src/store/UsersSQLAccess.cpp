#include "UsersSQLAccess.h"

#include "store/SQLRowReader.h"
#include "store/SQLiteDB.h"
#include "store/StoreOutcome.h"

UsersSQLAccess::UsersSQLAccess() : UsersSQLAccess(SQLiteDB::sharedInstance()) {}

UsersSQLAccess::UsersSQLAccess(SQLiteDB& db)
    : db(&db), ADD_USER_SQL(QStringLiteral("INSERT INTO USERS VALUES (NULL, ?, ?, ?, ?)")),
      DELETE_USER_SQL(QStringLiteral("DELETE FROM USERS WHERE UserId = ?")),
      GET_USER_SQL(QStringLiteral("SELECT * FROM USERS WHERE UserId = ?")),
      GET_USERS_SQL(QStringLiteral("SELECT * FROM USERS")),
      UPDATE_USER_SQL(
          QStringLiteral("UPDATE USERS SET UserName = ?, UserLink = ?, UserPicture = ? WHERE UserId = ?")),
      USER_EXISTS_SQL(QStringLiteral("SELECT 1 FROM USERS WHERE UserId = ? LIMIT 1"))
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

std::optional<BloggerUser> UsersSQLAccess::getUser(const QString& userId, bool* ok) const
{
    std::optional<BloggerUser> user;
    const bool read = db->readRows(GET_USER_SQL, {userId}, [&](const SQLRowReader& row) {
        user = userFromRow(row.row());
        return false;
    });
    report(ok, read);
    return read ? user : std::nullopt;
}

QList<BloggerUser> UsersSQLAccess::listUsers(bool* ok) const
{
    QList<BloggerUser> users;
    for (const SQLRow& row : db->query(GET_USERS_SQL, {}, ok)) {
        users.append(userFromRow(row));
    }
    return users;
}

bool UsersSQLAccess::addUserIfNotExists(const BloggerUser& user, bool* ok) const
{
    bool exists = false;
    const bool read = db->readRows(USER_EXISTS_SQL, {user.userId}, [&](const SQLRowReader&) {
        exists = true;
        return false;
    });
    if (!read || exists) {
        report(ok, read);
        return false;
    }
    bool written = false;
    db->query(ADD_USER_SQL, {user.userId, user.userName, user.userLink, user.userPicture}, &written);
    report(ok, written);
    return written;
}

bool UsersSQLAccess::updateUser(const BloggerUser& user) const
{
    bool written = false;
    db->query(UPDATE_USER_SQL, {user.userName, user.userLink, user.userPicture, user.userId}, &written);
    return written;
}

bool UsersSQLAccess::deleteUser(const QString& userId) const
{
    bool written = false;
    db->query(DELETE_USER_SQL, {userId}, &written);
    return written;
}
