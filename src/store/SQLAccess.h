#pragma once

#include <QString>

class SQLiteDB;

// Owner of the local database structure: the USERS, BLOGS, POSTS and COMMENTS tables.
// The statement texts are what existing data.db files were made with: never change them.
class SQLAccess
{
public:
    // Takes the shared connection; the first use in the process opens (or creates) the database.
    SQLAccess();
    explicit SQLAccess(SQLiteDB& db);

    // Creates whichever of the four tables is missing; existing tables stay as they are.
    void createDababaseStructure();

    SQLiteDB* db;
    const QString CREATE_USERS_TABLE_SQL;
    const QString CREATE_BLOGS_TABLE_SQL;
    const QString CREATE_POSTS_TABLE_SQL;
    const QString CREATE_COMMENTS_TABLE_SQL;
    const QString DROP_USERS;
    const QString DROP_BLOGS;
    const QString DROP_POSTS;
    const QString DROP_COMMENTS;
};
