#include "SQLStatementCache.h"

#include <sqlite3.h>

SQLStatementCache::~SQLStatementCache()
{
    clear();
}

sqlite3_stmt* SQLStatementCache::take(sqlite3* db, const QString& sql, int* result)
{
    if (sqlite3_stmt* statement = m_statements.take(sql)) {
        *result = SQLITE_OK;
        return statement;
    }
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    // Only the first statement of the text is compiled.
    *result = db ? sqlite3_prepare_v2(db, text.constData(), -1, &statement, nullptr) : SQLITE_MISUSE;
    if (*result != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return statement;
}

void SQLStatementCache::giveBack(const QString& sql, sqlite3_stmt* statement)
{
    if (!statement) {
        return;
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (m_statements.size() >= m_capacity || m_statements.contains(sql)) {
        sqlite3_finalize(statement);
        return;
    }
    m_statements.insert(sql, statement);
}

void SQLStatementCache::clear()
{
    for (sqlite3_stmt* statement : std::as_const(m_statements)) {
        sqlite3_finalize(statement);
    }
    m_statements.clear();
}
