#include "SQLiteDB.h"

#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/PrivateDataFolder.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int BusyTimeoutMilliseconds = 5000;

// The text as UTF-8 with its byte length (an embedded NUL must not end it), written straight into a buffer
// SQLite takes over: one copy instead of a QByteArray and SQLite's own copy of that.
int bindText(sqlite3_stmt* statement, int index, const QString& text)
{
    QStringEncoder encoder(QStringEncoder::Utf8);
    const qsizetype room = std::max<qsizetype>(encoder.requiredSpace(text.size()), 1);
    auto* buffer = static_cast<char*>(sqlite3_malloc64(static_cast<sqlite3_uint64>(room)));
    if (!buffer) {
        return SQLITE_NOMEM;
    }
    const char* end = encoder.appendToBuffer(buffer, text);
    return sqlite3_bind_text64(statement, index, buffer, static_cast<sqlite3_uint64>(end - buffer),
                               sqlite3_free, SQLITE_UTF8);
}

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

    const QByteArray path = QFile::encodeName(m_path);
    // The user's own database, theirs alone from the start whatever the umask (or the template's mode,
    // which may be read-only or readable by all); its journal, -wal and -shm take its mode.
    if (!info.exists()) {
        QString reason;
        if (!templatePath.isEmpty() && !PrivateDataFolder::copyFile(templatePath, m_path, &reason)) {
            if (!QFileInfo::exists(templatePath)) {
                reason =
                    QStringLiteral("The template database ") + templatePath + QStringLiteral(" is missing.");
            }
            printLine(QStringLiteral("SQLiteDB - failed to copy writable version of DB!"));
            printLine(QStringLiteral("Error - ") + reason);
            // Go on with an empty file: the caller creates the structure, and the user keeps a store.
        }
        const int made = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (made >= 0) {
            ::close(made);
        }
    }

    // Every use of the connection runs on m_queue, one at a time, so SQLite's own lock on each call
    // (several per row read) buys nothing.
    if (sqlite3_open_v2(path.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
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
            closeConnection();
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
    return queryImpl(sql, nullptr, nullptr);
}

QList<SQLRow> SQLiteDB::query(const QString& sql, const QVariantList& parameters)
{
    return queryImpl(sql, &parameters, nullptr);
}

std::int64_t SQLiteDB::executeImpl(const QString& sql, const QVariantList* parameters)
{
    return m_queue.sync([&]() -> std::int64_t {
        sqlite3_stmt* statement = prepareAndBind(sql, parameters);
        if (!statement) {
            return 0;
        }
        const std::int64_t result = stepAndCount(statement, sql);
        m_statements.giveBack(sql, statement);
        return result;
    });
}

QList<SQLRow> SQLiteDB::query(const QString& sql, const QVariantList& parameters, bool* ok)
{
    return queryImpl(sql, &parameters, ok);
}

QList<SQLRow> SQLiteDB::queryImpl(const QString& sql, const QVariantList* parameters, bool* ok)
{
    QList<SQLRow> rows;
    const bool read = readRowsImpl(sql, parameters, [&rows](const SQLRowReader& reader) {
        rows.append(reader.row());
        return true;
    });
    if (ok) {
        *ok = read;
    }
    return rows;
}

bool SQLiteDB::readRows(const QString& sql, const QVariantList& parameters,
                        const std::function<bool(const SQLRowReader&)>& onRow)
{
    return readRowsImpl(sql, &parameters, onRow);
}

bool SQLiteDB::readRowsImpl(const QString& sql, const QVariantList* parameters,
                            const std::function<bool(const SQLRowReader&)>& onRow)
{
    return m_queue.sync([&]() -> bool {
        sqlite3_stmt* statement = prepareAndBind(sql, parameters);
        if (!statement) {
            return false;
        }
        // Names and type codes come from the first row.
        std::optional<SQLRowReader> reader;
        int stepped = sqlite3_step(statement);
        while (stepped == SQLITE_ROW) {
            if (!reader) {
                reader.emplace(statement);
            }
            if (!onRow(*reader)) {
                stepped = SQLITE_DONE;
                break;
            }
            stepped = sqlite3_step(statement);
        }
        const bool succeeded = stepped == SQLITE_DONE;
        if (!succeeded) {
            ++m_statementFailures;
            printLine(QStringLiteral("SQLiteDB - failed to execute SQL: ") + sql +
                      QStringLiteral(", Error: ") + errorMessage());
        }
        m_statements.giveBack(sql, statement);
        return succeeded;
    });
}

sqlite3_stmt* SQLiteDB::prepareAndBind(const QString& sql, const QVariantList* parameters)
{
    int prepared = SQLITE_OK;
    sqlite3_stmt* statement = m_statements.take(m_db, sql, &prepared);
    if (!statement) {
        ++m_statementFailures;
        printLine(QStringLiteral("SQLiteDB - failed to prepare SQL: ") + sql + QStringLiteral(", Error: ") +
                  errorMessage());
        return nullptr;
    }
    if (!parameters) {
        return statement;
    }
    if (sqlite3_bind_parameter_count(statement) != parameters->size()) {
        ++m_statementFailures;
        printLine(QStringLiteral("SQLiteDB - failed to bind parameters, counts did not match. SQL: ") + sql +
                  QStringLiteral(", Parameters: ") + printedList(*parameters));
        m_statements.giveBack(sql, statement);
        return nullptr;
    }
    for (int i = 1; i <= parameters->size(); ++i) {
        const QVariant& value = parameters->at(i - 1);
        const int typeId = value.metaType().id();
        int result = SQLITE_OK;
        if (typeId == QMetaType::QString) {
            result = bindText(statement, i, *static_cast<const QString*>(value.constData()));
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
            ++m_statementFailures;
            const QString message = errorMessage();
            m_statements.giveBack(sql, statement);
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
        ++m_statementFailures;
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: ") + sql + QStringLiteral(", Error: ") +
                  errorMessage());
        return 0;
    }
    // Upper-casing never shortens a character, so the first seven decide.
    const QString upper = sql.left(7).toUpper();
    if (upper.startsWith(QLatin1String("INSERT "))) {
        return sqlite3_last_insert_rowid(m_db);
    }
    if (upper.startsWith(QLatin1String("DELETE")) || upper.startsWith(QLatin1String("UPDATE"))) {
        const std::int64_t changes = sqlite3_changes64(m_db);
        return changes == 0 ? 1 : changes;
    }
    return 1;
}

SQLiteDB::TransactionStart SQLiteDB::beginTransaction()
{
    if (!m_db) {
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: BEGIN IMMEDIATE, Error: ") +
                  errorMessage());
        return TransactionStart::Failed;
    }
    if (sqlite3_get_autocommit(m_db) == 0) {
        return TransactionStart::Joined;
    }
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: BEGIN IMMEDIATE, Error: ") +
                  errorMessage());
        return TransactionStart::Failed;
    }
    m_ownTransactionFailed = false;
    return TransactionStart::Began;
}

bool SQLiteDB::endTransaction(bool commit)
{
    commit = commit && !m_ownTransactionFailed;
    m_ownTransactionFailed = false;
    if (commit) {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
            return true;
        }
        printLine(QStringLiteral("SQLiteDB - failed to execute SQL: COMMIT, Error: ") + errorMessage());
    }
    // Without a transaction left (SQLite may have ended it already) this fails harmlessly.
    if (sqlite3_get_autocommit(m_db) == 0) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return false;
}

void SQLiteDB::setBusyTimeout(int milliseconds)
{
    m_queue.sync([&] {
        if (m_db) {
            sqlite3_busy_timeout(m_db, milliseconds);
        }
    });
}

void SQLiteDB::closeConnection()
{
    m_statements.clear();
    sqlite3_close(m_db);
    m_db = nullptr;
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
        closeConnection();
    });
}
