#pragma once

#include "store/SQLAccess.h"
#include "store/SQLiteDB.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

// A database file of its own with the four tables, for one test case.
class StoreTestDatabase
{
public:
    StoreTestDatabase() : m_path(QDir(m_dir.path()).filePath(QStringLiteral("data.db")))
    {
        open();
        SQLAccess(*m_db).createDababaseStructure();
    }

    SQLiteDB& db() { return *m_db; }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }

    // Closes the connection and opens the same file again.
    void reopen()
    {
        m_db.reset();
        open();
    }

    // How many rows the statement's first column counts.
    qint64 count(const QString& sql, const QVariantList& parameters = {})
    {
        const QList<SQLRow> rows = m_db->query(sql, parameters);
        return rows.isEmpty() || rows.first().count() == 0 ? -1 : rows.first().data().first().second.asInt();
    }

private:
    void open() { m_db = std::make_unique<SQLiteDB>(m_path, nullptr, QString()); }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<SQLiteDB> m_db;
};
