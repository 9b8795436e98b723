#include "SQLiteDB.h"

#include "common/LocalTime.h"
#include "common/StringExtensions.h"
#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>

namespace {

constexpr int BusyTimeoutMilliseconds = 5000;

void printLine(const QString& line)
{
    std::fputs(qUtf8Printable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool isIntegerKind(int typeId)
{
    switch (typeId) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QString printedValue(const QVariant& value)
{
    const int typeId = value.metaType().id();
    if (typeId == QMetaType::QString) {
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    }
    if (typeId == QMetaType::QByteArray) {
        return QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
    }
    if (typeId == QMetaType::QDateTime) {
        return SQLColumn::formatDate(value.toDateTime());
    }
    if (typeId == QMetaType::Double || typeId == QMetaType::Float) {
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    if (isIntegerKind(typeId)) {
        return QString::number(value.toLongLong());
    }
    return QStringLiteral("<null>");
}

QString printedList(const QVariantList& values)
{
    QStringList parts;
    for (const QVariant& value : values) {
        parts << printedValue(value);
    }
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// Date text as SQLite and this class write it: the date, then optionally the time, in local time.
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

std::atomic<SQLiteDB*> SQLiteDB::s_shared{nullptr};

SQLiteDB& SQLiteDB::sharedInstance()
{
    return sharedInstance(QString());
}

SQLiteDB& SQLiteDB::sharedInstance(const QString& gid)
{
    // Never released: the exit maintenance runs through shutdown() instead.
    static SQLiteDB* const instance = [&gid] {
        auto* db = new SQLiteDB(pathForGroup(gid));
        db->GROUP = gid;
        s_shared.store(db);
        return db;
    }();
    return *instance;
}

void SQLiteDB::shutdown()
{
    if (SQLiteDB* db = s_shared.load()) {
        db->teardown();
    }
}

QString SQLiteDB::pathForGroup(const QString& gid)
{
    // A named group's container is the data folder on this platform, as is the Documents folder.
    Q_UNUSED(gid);
    return QDir(ApplicationFolders::dataFolder()).filePath(QStringLiteral("data.db"));
}

QString SQLiteDB::defaultTemplatePath()
{
    return QDir(ApplicationFolders::resourcesFolder()).filePath(QStringLiteral("data.db"));
}

SQLiteDB::SQLiteDB(const QString& databasePath, UserDefaults* defaults, const QString& templatePath)
    : m_path(databasePath), m_defaults(defaults)
{
    printLine(QStringLiteral("Database path: ") + m_path);
    const QFileInfo info(m_path);
    QDir().mkpath(info.absolutePath());

    if (!templatePath.isEmpty() && !info.exists()) {
        QFile templateFile(templatePath);
        if (!templateFile.copy(m_path)) {
            const QString reason = templateFile.exists() ? templateFile.errorString()
                                                         : QStringLiteral("The template database ") +
                                                               templatePath + QStringLiteral(" is missing.");
            printLine(QStringLiteral("SQLiteDB - failed to copy writable version of DB!"));
            printLine(QStringLiteral("Error - ") + reason);
            // Go on with an empty file: the caller creates the structure, and the user keeps a store.
        } else {
            // The template may be installed read-only; the copy is the user's own database.
            QFile::setPermissions(m_path, QFile::permissions(m_path) | QFileDevice::ReadOwner |
                                              QFileDevice::WriteOwner);
        }
    }

    const QByteArray path = QFile::encodeName(m_path);
    if (sqlite3_open(path.constData(), &m_db) != SQLITE_OK) {
        printLine(QStringLiteral("SQLiteDB - failed to open DB!"));
        sqlite3_close(m_db);
        m_db = nullptr;
        return;
    }
    // A short lock held by another process waits instead of dropping the write.
    sqlite3_busy_timeout(m_db, BusyTimeoutMilliseconds);
}

SQLiteDB::~SQLiteDB()
{
    m_queue.sync([this] {
        if (m_db) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    });
    SQLiteDB* self = this;
    s_shared.compare_exchange_strong(self, nullptr);
}

bool SQLiteDB::isOpen() const
{
    return m_queue.sync([this] { return m_db != nullptr; });
}

QString SQLiteDB::errorMessage() const
{
    if (!m_db) {
        return QStringLiteral("database is not open");
    }
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

std::int64_t SQLiteDB::execute(const QString& sql)
{
    return executeImpl(sql, nullptr);
}

std::int64_t SQLiteDB::execute(const QString& sql, const QVariantList& parameters)
{
    return executeImpl(sql, &parameters);
}

QList<SQLRow> SQLiteDB::query(const QString& sql)
{
    return queryImpl(sql, nullptr);
}

QList<SQLRow> SQLiteDB::query(const QString& sql, const QVariantList& parameters)
{
    return queryImpl(sql, &parameters);
}

std::int64_t SQLiteDB::executeImpl(const QString& sql, const QVariantList* parameters)
{
    return m_queue.sync([&]() -> std::int64_t {
        sqlite3_stmt* statement = prepareAndBind(sql, parameters);
        if (!statement) {
            return 0;
        }
        return stepAndCount(statement, sql);
    });
}

QList<SQLRow> SQLiteDB::queryImpl(const QString& sql, const QVariantList* parameters)
{
    return m_queue.sync([&]() -> QList<SQLRow> {
        sqlite3_stmt* statement = prepareAndBind(sql, parameters);
        if (!statement) {
            return {};
        }
        return collectRows(statement, sql);
    });
}

sqlite3_stmt* SQLiteDB::prepareAndBind(const QString& sql, const QVariantList* parameters)
{
    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    // Only the first statement of the text is compiled.
    const int prepared =
        m_db ? sqlite3_prepare_v2(m_db, text.constData(), -1, &statement, nullptr) : SQLITE_MISUSE;
    if (prepared != SQLITE_OK) {
        const QString message = errorMessage();
        sqlite3_finalize(statement);
        printLine(QStringLiteral("SQLiteDB - failed to prepare SQL: ") + sql + QStringLiteral(", Error: ") +
                  message);
        return nullptr;
    }
    if (!parameters) {
        return statement;
    }
    if (sqlite3_bind_parameter_count(statement) != parameters->size()) {
        printLine(QStringLiteral("SQLiteDB - failed to bind parameters, counts did not match. SQL: ") + sql +
                  QStringLiteral(", Parameters: ") + printedList(*parameters));
        sqlite3_finalize(statement);
        return nullptr;
    }
    for (int i = 1; i <= parameters->size(); ++i) {
        const QVariant& value = parameters->at(i - 1);
        const int typeId = value.metaType().id();
        int result = SQLITE_OK;
        if (typeId == QMetaType::QString) {
            // With its byte length: an embedded NUL must not end the text.
            const QByteArray utf8 = value.toString().toUtf8();
            result =
                sqlite3_bind_text64(statement, i, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                    SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (typeId == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            result = sqlite3_bind_blob64(statement, i, bytes.constData(),
                                         static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
        } else if (typeId == QMetaType::QDateTime && value.toDateTime().isValid()) {
            const QByteArray utf8 = SQLColumn::formatDate(value.toDateTime()).toUtf8();
            result =
                sqlite3_bind_text64(statement, i, utf8.constData(), static_cast<sqlite3_uint64>(utf8.size()),
                                    SQLITE_TRANSIENT, SQLITE_UTF8);
        } else if (typeId == QMetaType::Double || typeId == QMetaType::Float) {
            result = sqlite3_bind_double(statement, i, value.toDouble());
        } else if (isIntegerKind(typeId)) {
            result = sqlite3_bind_int64(statement, i, value.toLongLong());
        } else {
            result = sqlite3_bind_null(statement, i);
        }
        if (result != SQLITE_OK) {
            const QString message = errorMessage();
            sqlite3_finalize(statement);
            printLine(QStringLiteral("SQLiteDB - failed to bind for SQL: ") + sql +
                      QStringLiteral(", Parameters: ") + printedList(*parameters) +
                      QStringLiteral(", Index: ") + QString::number(i) + QStringLiteral(" Error: ") +
                      message);
            return nullptr;
        }
    }
    return statement;
}

std::int64_t SQLiteDB::stepAndCount(sqlite3_stmt* statement, const QString& sql)
{
    const int stepped = sqlite3_step(statement);
    if (stepped != SQLITE_OK && stepped != SQLITE_DONE) {
        const QString message = errorMessage();
        sqlite3_finalize(statement);
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: ") + sql + QStringLiteral(", Error: ") +
                  message);
        return 0;
    }
    std::int64_t result = 1;
    const QString upper = sql.toUpper();
    if (upper.startsWith(QLatin1String("INSERT "))) {
        result = sqlite3_last_insert_rowid(m_db);
    } else if (upper.startsWith(QLatin1String("DELETE")) || upper.startsWith(QLatin1String("UPDATE"))) {
        const std::int64_t changes = sqlite3_changes64(m_db);
        result = changes == 0 ? 1 : changes;
    }
    sqlite3_finalize(statement);
    return result;
}

QList<SQLRow> SQLiteDB::collectRows(sqlite3_stmt* statement, const QString& sql)
{
    QList<SQLRow> rows;
    QStringList names;
    QList<std::int32_t> codes;
    int stepped = sqlite3_step(statement);
    while (stepped == SQLITE_ROW) {
        if (names.isEmpty()) {
            const int count = sqlite3_column_count(statement);
            for (int i = 0; i < count; ++i) {
                names << QString::fromUtf8(sqlite3_column_name(statement, i));
                codes << declaredColumnKind(statement, i);
            }
        }
        SQLRow row;
        for (int i = 0; i < names.size(); ++i) {
            std::optional<QVariant> value = readColumnValue(statement, i, codes.at(i));
            if (value) {
                row.set(names.at(i), SQLColumn(std::move(*value), codes.at(i)));
            }
        }
        rows.append(std::move(row));
        stepped = sqlite3_step(statement);
    }
    if (stepped != SQLITE_DONE) {
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: ") + sql + QStringLiteral(", Error: ") +
                  errorMessage());
    }
    sqlite3_finalize(statement);
    return rows;
}

std::int32_t SQLiteDB::declaredColumnKind(sqlite3_stmt* statement, int index) const
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

std::optional<QVariant> SQLiteDB::readColumnValue(sqlite3_stmt* statement, int index, std::int32_t code) const
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

bool SQLiteDB::beginTransaction()
{
    if (!m_db || sqlite3_get_autocommit(m_db) == 0) {
        return false;
    }
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: BEGIN IMMEDIATE, Error: ") +
                  errorMessage());
        return false;
    }
    return true;
}

void SQLiteDB::commitTransaction()
{
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: COMMIT, Error: ") + errorMessage());
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void SQLiteDB::alert(const QString& message)
{
    Dispatch::toMainThread([message] {
        Alert::present(AlertRequest{AlertStyle::Warning, QStringLiteral("SQLiteDB"), message});
    });
}

void SQLiteDB::teardown()
{
    m_queue.sync([this] {
        if (m_tornDown || !m_db) {
            m_tornDown = true;
            return;
        }
        m_tornDown = true;
        UserDefaults& defaults = m_defaults ? *m_defaults : UserDefaults::standardUserDefaults();
        const std::int64_t count = defaults.integerForKey(QStringLiteral("LaunchCount")) - 1;
        printLine(QStringLiteral("SQLiteDB - Launch count ") + QString::number(count));
        defaults.setInteger(count < 0 ? 500 : count, QStringLiteral("LaunchCount"));
        defaults.synchronize();
        if (count < 0) {
            printLine(QStringLiteral("SQLiteDB - Optimize DB"));
            // Only the first statement of the text runs: the VACUUM.
            if (execute(QStringLiteral("VACUUM; ANALYZE")) == 0) {
                printLine(QStringLiteral("SQLiteDB - Error cleaning DB"));
            }
        }
        sqlite3_close(m_db);
        m_db = nullptr;
    });
}
