#pragma once

#include "store/SQLColumn.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// One result row: column name (exact, case-sensitive) to value. Rows are small, so a flat list in
// column order beats a hash here.
class SQLRow
{
public:
    using Entry = std::pair<QString, SQLColumn>;

    SQLRow() = default;

    // The column stored under exactly that name, or none.
    std::optional<SQLColumn> operator[](const QString& name) const;
    const SQLColumn* find(const QString& name) const;
    // Replaces any earlier column of that name; none removes the name.
    void set(const QString& name, const std::optional<SQLColumn>& column);

    QList<Entry> data() const { return m_data; }
    void setData(const QList<Entry>& data) { m_data = data; }
    qsizetype count() const { return m_data.size(); }

    QString description() const;

private:
    QList<Entry> m_data;
};
