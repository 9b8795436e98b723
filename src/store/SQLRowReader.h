#pragma once

#include "store/SQLRow.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct sqlite3_stmt;

// The current row of a statement being stepped, read in place. Column names and type codes are taken
// from the first row; values come out exactly as a query's SQLRow would hold and convert them, without
// building that row.
class SQLRowReader
{
public:
    // The result columns of one name, last first: a query row keeps the last one that has a value.
    using Field = QList<int>;

    // Call once the statement stands on its first row.
    explicit SQLRowReader(sqlite3_stmt* statement);

    Field field(const QString& name) const;
    std::optional<SQLColumn> column(const Field& field) const;
    // What column(field)->asString() and asInt() give, none when the row has no such value.
    std::optional<QString> string(const Field& field) const;
    std::optional<std::int64_t> integer(const Field& field) const;
    // The stored bytes of a text column, valid until the next step; none when the value is no text.
    std::optional<QByteArrayView> utf8(const Field& field) const;
    // The same of one result column, for a reader that looked its columns up once.
    std::optional<QString> string(int index) const;
    std::optional<std::int64_t> integer(int index) const;
    std::optional<QByteArrayView> utf8(int index) const;
    SQLRow row() const;

    // The type code of a result column from its declared type.
    static std::int32_t declaredColumnKind(sqlite3_stmt* statement, int index);
    static std::optional<QVariant> readColumnValue(sqlite3_stmt* statement, int index, std::int32_t code);

private:
    sqlite3_stmt* m_statement;
    QStringList m_names;
    QList<std::int32_t> m_codes;
};
