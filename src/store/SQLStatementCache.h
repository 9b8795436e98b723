#pragma once

#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// Prepared statements of one connection, keyed by their SQL text. A statement is taken out while it
// runs, so a nested use of the same text prepares one of its own; it comes back reset, bindings cleared.
class SQLStatementCache
{
public:
    explicit SQLStatementCache(qsizetype capacity = 64) : m_capacity(capacity) {}
    ~SQLStatementCache();
    SQLStatementCache(const SQLStatementCache&) = delete;
    SQLStatementCache& operator=(const SQLStatementCache&) = delete;

    // The statement for the text, prepared on a miss; null when preparing failed (*result tells why).
    sqlite3_stmt* take(sqlite3* db, const QString& sql, int* result);
    // Resets the statement and keeps it for the next use of the text (finalized when the cache is full).
    void giveBack(const QString& sql, sqlite3_stmt* statement);
    // Finalizes every kept statement; a connection closes only without them.
    void clear();

private:
    qsizetype m_capacity;
    QHash<QString, sqlite3_stmt*> m_statements;
};
