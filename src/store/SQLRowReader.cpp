#include "SQLRowReader.h"

#include "common/LocalTime.h"
#include "common/StringExtensions.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace {

// Date text as SQLite and the connection write it: the date, then optionally the time, in local time.
std::optional<QDateTime> localDateFromText(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{1,4})-(\d{1,2})-(\d{1,2})(?:\s*(\d{1,2}):(\d{1,2}):(\d{1,2}))?)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    QTime time(0, 0, 0);
    if (match.hasCaptured(4)) {
        time = QTime(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    }
    return LocalTime::fromWallClock(date, time);
}

const QStringList& integerTypeNames()
{
    static const QStringList names{"BIGINT", "BIT",     "BOOL",      "BOOLEAN",  "INT",    "INT2",
                                   "INT8",   "INTEGER", "MEDIUMINT", "SMALLINT", "TINYINT"};
    return names;
}

const QStringList& floatTypeNames()
{
    static const QStringList names{"DECIMAL", "DOUBLE", "DOUBLE PRECISION", "FLOAT", "NUMERIC", "REAL"};
    return names;
}

const QStringList& textTypeNames()
{
    static const QStringList names{
        "CHAR", "CHARACTER", "CLOB",    "NATIONAL VARYING CHARACTER", "NATIVE CHARACTER", "NCHAR", "NVARCHAR",
        "TEXT", "VARCHAR",   "VARIANT", "VARYING CHARACTER"};
    return names;
}

const QStringList& blobTypeNames()
{
    static const QStringList names{"BINARY", "BLOB", "VARBINARY"};
    return names;
}

const QStringList& dateTypeNames()
{
    static const QStringList names{"DATE", "DATETIME", "TIME", "TIMESTAMP"};
    return names;
}

} // namespace

SQLRowReader::SQLRowReader(sqlite3_stmt* statement) : m_statement(statement)
{
    const int count = sqlite3_column_count(statement);
    m_names.reserve(count);
    m_codes.reserve(count);
    for (int i = 0; i < count; ++i) {
        m_names << QString::fromUtf8(sqlite3_column_name(statement, i));
        m_codes << declaredColumnKind(statement, i);
    }
}

SQLRowReader::Field SQLRowReader::field(const QString& name) const
{
    Field field;
    for (int i = int(m_names.size()) - 1; i >= 0; --i) {
        if (m_names.at(i) == name) {
            field.append(i);
        }
    }
    return field;
}

std::optional<SQLColumn> SQLRowReader::column(const Field& field) const
{
    for (int index : field) {
        std::optional<QVariant> value = readColumnValue(m_statement, index, m_codes.at(index));
        if (value) {
            return SQLColumn(std::move(*value), m_codes.at(index));
        }
    }
    return std::nullopt;
}

std::optional<QString> SQLRowReader::string(const Field& field) const
{
    for (int index : field) {
        if (std::optional<QString> value = string(index)) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> SQLRowReader::integer(const Field& field) const
{
    for (int index : field) {
        if (const std::optional<std::int64_t> value = integer(index)) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<QByteArrayView> SQLRowReader::utf8(const Field& field) const
{
    return field.isEmpty() ? std::nullopt : utf8(field.first());
}

std::optional<QString> SQLRowReader::string(int index) const
{
    const std::int32_t code = m_codes.at(index);
    if (code == SQLColumn::integerTypeCode) {
        return QString::number(sqlite3_column_int64(m_statement, index));
    }
    if (code == SQLColumn::textTypeCode) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
        if (!text) {
            return std::nullopt;
        }
        return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, index));
    }
    if (std::optional<QVariant> value = readColumnValue(m_statement, index, code)) {
        return SQLColumn(std::move(*value), code).asString();
    }
    return std::nullopt;
}

std::optional<std::int64_t> SQLRowReader::integer(int index) const
{
    const std::int32_t code = m_codes.at(index);
    if (code == SQLColumn::integerTypeCode) {
        return sqlite3_column_int64(m_statement, index);
    }
    if (std::optional<QVariant> value = readColumnValue(m_statement, index, code)) {
        return SQLColumn(std::move(*value), code).asInt();
    }
    return std::nullopt;
}

std::optional<QByteArrayView> SQLRowReader::utf8(int index) const
{
    if (m_codes.at(index) != SQLColumn::textTypeCode ||
        sqlite3_column_type(m_statement, index) != SQLITE_TEXT) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
    return QByteArrayView(text, sqlite3_column_bytes(m_statement, index));
}

SQLRow SQLRowReader::row() const
{
    SQLRow row;
    for (int i = 0; i < m_names.size(); ++i) {
        std::optional<QVariant> value = readColumnValue(m_statement, i, m_codes.at(i));
        if (value) {
            row.set(m_names.at(i), SQLColumn(std::move(*value), m_codes.at(i)));
        }
    }
    return row;
}

std::int32_t SQLRowReader::declaredColumnKind(sqlite3_stmt* statement, int index)
{
    const char* declared = sqlite3_column_decltype(statement, index);
    if (!declared) {
        return sqlite3_column_type(statement, index);
    }
    QString type = QString::fromUtf8(declared).toUpper();
    // "VARCHAR (50)" keeps its blank ("VARCHAR ") and so falls through to text.
    const qsizetype bracket = StringExtensions::indexOf(type, QStringLiteral("("));
    if (bracket > 0) {
        type = StringExtensions::substringToIndex(type, bracket);
    }
    if (integerTypeNames().contains(type)) {
        return SQLColumn::integerTypeCode;
    }
    if (floatTypeNames().contains(type)) {
        return SQLColumn::floatTypeCode;
    }
    if (textTypeNames().contains(type)) {
        return SQLColumn::textTypeCode;
    }
    if (blobTypeNames().contains(type)) {
        return SQLColumn::blobTypeCode;
    }
    if (type == QLatin1String("NULL")) {
        return SQLColumn::nullTypeCode;
    }
    if (dateTypeNames().contains(type)) {
        return SQLColumn::dateColumnTypeCode;
    }
    return SQLColumn::textTypeCode;
}

std::optional<QVariant> SQLRowReader::readColumnValue(sqlite3_stmt* statement, int index, std::int32_t code)
{
    switch (code) {
    case SQLColumn::integerTypeCode:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(statement, index));
    case SQLColumn::floatTypeCode:
        return QVariant(sqlite3_column_double(statement, index));
    case SQLColumn::blobTypeCode: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, index));
        const int size = sqlite3_column_bytes(statement, index);
        return QVariant(QByteArray(bytes, bytes ? size : 0));
    }
    case SQLColumn::nullTypeCode:
        return std::nullopt;
    case SQLColumn::dateColumnTypeCode: {
        const int storage = sqlite3_column_type(statement, index);
        if (storage == SQLITE_NULL) {
            return std::nullopt;
        }
        if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
            const int size = sqlite3_column_bytes(statement, index);
            const QString decoded = QString::fromUtf8(text, size);
            if (decoded.contains(QLatin1Char('-')) || decoded.contains(QLatin1Char(':'))) {
                // Written in local time, so read in local time: the same instant comes back.
                const std::optional<QDateTime> date = localDateFromText(decoded);
                if (!date) {
                    return std::nullopt;
                }
                return QVariant(*date);
            }
        }
        const std::optional<QDateTime> date =
            SQLColumn::dateFromSeconds(sqlite3_column_double(statement, index));
        if (!date) {
            return std::nullopt;
        }
        return QVariant(*date);
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
        if (!text) {
            return std::nullopt;
        }
        // By byte count: an embedded NUL stays part of the text.
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement, index)));
    }
    }
}
