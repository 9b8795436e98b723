#pragma once

#include <QString>
#include <QStringList>

class SQLiteDB;

// Owner of the local database structure: the USERS, BLOGS, POSTS and COMMENTS tables and the indexes
// on the columns that records are looked up by. The table statement texts are what existing data.db
// files were made with: never change them.
class SQLAccess
{
    // The connection is the store's own.
    SQLiteDB* db;

public:
    // Takes the shared connection; the first use in the process opens (or creates) the database.
    SQLAccess();
    explicit SQLAccess(SQLiteDB& db);

    // Creates whichever of the four tables and their indexes is missing; existing tables stay as they are.
    // Databases made before the indexes existed get them here, at start.
    void createDababaseStructure();
    // Recomputes every stored preview once, for files written under an older preview rule.
    void refreshStoredPreviews();

    const QString CREATE_USERS_TABLE_SQL;
    const QString CREATE_BLOGS_TABLE_SQL;
    const QString CREATE_POSTS_TABLE_SQL;
    const QString CREATE_COMMENTS_TABLE_SQL;
    // Not unique: a database may already hold a record id twice, and every look-up keeps its rows and
    // their order (equal keys stay in row id order).
    const QString CREATE_USERS_INDEX_SQL;
    const QString CREATE_BLOGS_INDEX_SQL;
    const QString CREATE_POSTS_INDEX_SQL;
    const QString CREATE_COMMENTS_INDEX_SQL;
    const QString CREATE_COMMENTS_POST_INDEX_SQL;
    // The post list reads one area of one blog in one of four orders; with these it reads the rows in
    // order instead of sorting the whole table. The last serves the look-up of autosaved posts. The
    // area or status comes first, so reads by blog alone keep the table's order; the area indexes
    // compare without case, so only the list's own statements (which ask for that) use them and the
    // older reads keep their plans and the order of their equal keys. Dates and counts are kept newest
    // and most first, titles A to Z, the orders the list is mostly read in: walked forwards, equal keys
    // come in row id order as the list wants them, with no sort at all.
    const QString CREATE_POSTS_AREA_UPDATED_INDEX_SQL;
    const QString CREATE_POSTS_AREA_PUBLISHED_INDEX_SQL;
    const QString CREATE_POSTS_AREA_TITLE_INDEX_SQL;
    const QString CREATE_POSTS_AREA_COMMENTS_INDEX_SQL;
    const QString CREATE_POSTS_STATUS_INDEX_SQL;
    // The earlier ascending forms of the date and count indexes, dropped where an older file has them.
    const QStringList DROP_ASCENDING_POSTS_INDEXES_SQL;
    const QString DROP_USERS;
    const QString DROP_BLOGS;
    const QString DROP_POSTS;
    const QString DROP_COMMENTS;
};
