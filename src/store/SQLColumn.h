#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

// One value of a result row with its type code: 1 integer, 2 floating point, 3 text, 4 blob, 5 null,
// 6 date (dateColumnTypeCode). The value's kind follows the code (qint64, double, QString, QByteArray,
// QDateTime).
class SQLColumn
{
public:
    static constexpr std::int32_t integerTypeCode = 1;
    static constexpr std::int32_t floatTypeCode = 2;
    static constexpr std::int32_t textTypeCode = 3;
    static constexpr std::int32_t blobTypeCode = 4;
    static constexpr std::int32_t nullTypeCode = 5;
    static constexpr std::int32_t dateColumnTypeCode = 6;

    SQLColumn() = default;
    SQLColumn(QVariant value, std::int32_t type);

    QString asString() const;
    std::int64_t asInt() const;
    double asDouble() const;
    std::optional<QByteArray> asData() const;
    std::optional<QDateTime> asDate() const;
    QString description() const;

    // The layout in which date parameters are written and date texts are read, in local time.
    static QString formatDate(const QDateTime& date);
    static std::optional<QDateTime> parseDate(const QString& text);
    // The instant that many seconds after 1970-01-01 00:00:00 UTC; none when out of range or NaN.
    static std::optional<QDateTime> dateFromSeconds(double seconds);

    QVariant value;
    std::int32_t type = nullTypeCode;
};
