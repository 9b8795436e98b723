#include "SQLColumn.h"

#include "platform/Numbers.h"

#include "common/LocalTime.h"

#include <QLocale>
#include <QStringDecoder>

#include <cmath>
#include <limits>

namespace {

// The leading number of a text, as the platform's integerValue/doubleValue read it: leading blanks,
// an optional sign, digits; 0 when there is none.
QString leadingNumber(const QString& text, bool allowFraction)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace()) {
        ++i;
    }
    const qsizetype start = i;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        ++i;
    }
    qsizetype digits = 0;
    while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
        ++i;
        ++digits;
    }
    if (allowFraction) {
        if (i < n && text.at(i) == u'.') {
            ++i;
            while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') {
                ++i;
                ++digits;
            }
        }
        if (digits > 0 && i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
            qsizetype j = i + 1;
            if (j < n && (text.at(j) == u'+' || text.at(j) == u'-')) {
                ++j;
            }
            const qsizetype expStart = j;
            while (j < n && text.at(j) >= u'0' && text.at(j) <= u'9') {
                ++j;
            }
            if (j > expStart) {
                i = j;
            }
        }
    }
    if (digits == 0) {
        return QString();
    }
    return text.mid(start, i - start);
}

std::int64_t integerValue(const QString& text)
{
    const QString number = leadingNumber(text, false);
    if (number.isEmpty()) {
        return 0;
    }
    bool ok = false;
    const qlonglong value = number.toLongLong(&ok);
    if (ok) {
        return value;
    }
    // Too many digits: clamp, as the platform does.
    return number.startsWith(u'-') ? std::numeric_limits<std::int64_t>::min()
                                   : std::numeric_limits<std::int64_t>::max();
}

double doubleValue(const QString& text)
{
    const QString number = leadingNumber(text, true);
    return number.isEmpty() ? 0.0 : QLocale::c().toDouble(number);
}

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

QString printNumber(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float) {
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    return QString::number(value.toLongLong());
}

} // namespace

SQLColumn::SQLColumn(QVariant value, std::int32_t type) : value(std::move(value)), type(type) {}

QString SQLColumn::formatDate(const QDateTime& date)
{
    const QDateTime local = date.toLocalTime();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", local.date().year(), local.date().month(),
                             local.date().day(), local.time().hour(), local.time().minute(),
                             local.time().second());
}

std::optional<QDateTime> SQLColumn::parseDate(const QString& text)
{
    // Exactly "yyyy-MM-dd HH:mm:ss", read in the current time zone.
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u' ' ||
        text.at(13) != u':' || text.at(16) != u':') {
        return std::nullopt;
    }
    auto number = [&text](qsizetype from, qsizetype length, bool* ok) {
        return text.mid(from, length).toInt(ok);
    };
    bool ok[6] = {};
    const int year = number(0, 4, &ok[0]);
    const int month = number(5, 2, &ok[1]);
    const int day = number(8, 2, &ok[2]);
    const int hour = number(11, 2, &ok[3]);
    const int minute = number(14, 2, &ok[4]);
    const int second = number(17, 2, &ok[5]);
    for (bool b : ok) {
        if (!b) {
            return std::nullopt;
        }
    }
    return LocalTime::fromWallClock(QDate(year, month, day), QTime(hour, minute, second));
}

std::optional<QDateTime> SQLColumn::dateFromSeconds(double seconds)
{
    // Beyond the years a date can hold (and NaN) there is no date; the cast below would be undefined.
    constexpr double limit = 1e14;
    if (!(std::fabs(seconds) < limit)) {
        return std::nullopt;
    }
    const QDateTime date =
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)), Qt::UTC);
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

QString SQLColumn::asString() const
{
    switch (type) {
    case integerTypeCode:
    case floatTypeCode:
        return printNumber(value);
    case textTypeCode:
        return value.toString();
    case blobTypeCode:
        return decodeUtf8(value.toByteArray()).value_or(QString(""));
    case dateColumnTypeCode:
        return formatDate(value.toDateTime());
    default:
        return QString("");
    }
}

std::int64_t SQLColumn::asInt() const
{
    switch (type) {
    case integerTypeCode:
        return value.toLongLong();
    case floatTypeCode:
        return truncatedInteger(value.toDouble());
    case textTypeCode:
        return integerValue(value.toString());
    case blobTypeCode: {
        const auto text = decodeUtf8(value.toByteArray());
        return text ? integerValue(*text) : 0;
    }
    case dateColumnTypeCode:
        return value.toDateTime().toMSecsSinceEpoch() / 1000;
    default:
        return 0;
    }
}

double SQLColumn::asDouble() const
{
    switch (type) {
    case integerTypeCode:
    case floatTypeCode:
        return value.toDouble();
    case textTypeCode:
        return doubleValue(value.toString());
    case blobTypeCode: {
        const auto text = decodeUtf8(value.toByteArray());
        return text ? doubleValue(*text) : 0.0;
    }
    case dateColumnTypeCode:
        return static_cast<double>(value.toDateTime().toMSecsSinceEpoch()) / 1000.0;
    default:
        return 0.0;
    }
}

std::optional<QByteArray> SQLColumn::asData() const
{
    switch (type) {
    case integerTypeCode:
    case floatTypeCode:
    case dateColumnTypeCode:
    case textTypeCode:
        return asString().toUtf8();
    case blobTypeCode:
        return value.toByteArray();
    default:
        return std::nullopt;
    }
}

std::optional<QDateTime> SQLColumn::asDate() const
{
    switch (type) {
    case integerTypeCode:
    case floatTypeCode:
        return dateFromSeconds(value.toDouble());
    case textTypeCode:
        return parseDate(value.toString());
    case blobTypeCode: {
        const auto text = decodeUtf8(value.toByteArray());
        return text ? parseDate(*text) : std::nullopt;
    }
    case dateColumnTypeCode:
        return value.toDateTime();
    default:
        return std::nullopt;
    }
}

QString SQLColumn::description() const
{
    QString printed;
    switch (type) {
    case integerTypeCode:
    case floatTypeCode:
        printed = printNumber(value);
        break;
    case blobTypeCode:
        printed =
            QStringLiteral("<") + QString::fromLatin1(value.toByteArray().toHex()) + QStringLiteral(">");
        break;
    case dateColumnTypeCode:
        printed = formatDate(value.toDateTime());
        break;
    case nullTypeCode:
        printed = QStringLiteral("<null>");
        break;
    default:
        printed = value.toString();
        break;
    }
    return QStringLiteral("Type: ") + QString::number(type) + QStringLiteral(", Value: ") + printed;
}
