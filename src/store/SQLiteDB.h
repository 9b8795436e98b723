#pragma once

#include "platform/Dispatch.h"
#include "store/SQLRow.h"
#include "store/SQLRowReader.h"
#include "store/SQLStatementCache.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>

struct sqlite3;
struct sqlite3_stmt;
class UserDefaults;

// The one connection to the local "data.db". Every statement runs on the connection's serial queue
// while the caller waits. Failures are printed as "SQLiteDB - ..." lines, and then execute answers 0 and
// query an empty list (or the rows read before the failure); the forms with `ok` also say so.
// Prepared statements are kept per SQL text and reused.
class SQLiteDB
{
public:
    static constexpr std::int32_t dateColumnTypeCode = SQLColumn::dateColumnTypeCode;

    // The process-wide connection to "data.db" in the data folder, made on first use.
    static SQLiteDB& sharedInstance();
    // The group id only counts on the very first call of either form.
    static SQLiteDB& sharedInstance(const QString& gid);
    // The exit maintenance of the shared connection; the application calls it once at a normal exit.
    // Nothing happens when the shared connection was never made.
    static void shutdown();

    // A connection to the given file. A missing file is first copied from the template (none when the
    // template path is empty); whatever happens to the copy, the file is then opened (created).
    // The launch count of the exit maintenance lives in `defaults` (the standard store when none).
    explicit SQLiteDB(const QString& databasePath, UserDefaults* defaults = nullptr,
                      const QString& templatePath = defaultTemplatePath());
    ~SQLiteDB();
    SQLiteDB(const SQLiteDB&) = delete;
    SQLiteDB& operator=(const SQLiteDB&) = delete;

    // The new row id for an INSERT, the number of changed rows (at least 1) for UPDATE and DELETE,
    // 1 for any other statement that completes, 0 on failure.
    std::int64_t execute(const QString& sql);
    std::int64_t execute(const QString& sql, const QVariantList& parameters);
    // Parameters bind "?" placeholders in order: QString as text, QByteArray as blob, QDateTime as
    // "yyyy-MM-dd HH:mm:ss" local text, floating point as double, other numbers as 64-bit integers,
    // anything else as NULL. Without a list nothing is bound.
    QList<SQLRow> query(const QString& sql);
    QList<SQLRow> query(const QString& sql, const QVariantList& parameters);
    // *ok is false when the statement failed, so a failure is never taken for "no rows".
    QList<SQLRow> query(const QString& sql, const QVariantList& parameters, bool* ok);
    // Hands each result row to onRow, in order, until it answers false or the rows end. The reader is
    // valid during the call only. False when the statement failed (printed as query prints it).
    bool readRows(const QString& sql, const QVariantList& parameters,
                  const std::function<bool(const SQLRowReader&)>& onRow);

    // Runs `work` as one transaction on the queue: no other thread's statement runs in between, and
    // its writes reach the disk with one commit. Nested calls join the outer transaction.
    // When the transaction cannot begin, nothing runs. When work answers false or one of its statements
    // fails, everything it wrote is rolled back (the outer transaction's too when nested).
    // True when the work was committed (or, nested, succeeded so far).
    template <typename Work> bool transaction(Work&& work)
    {
        return m_queue.sync([&]() -> bool {
            const TransactionStart start = beginTransaction();
            if (start == TransactionStart::Failed) {
                return false;
            }
            const std::uint64_t failuresBefore = m_statementFailures;
            bool succeeded = true;
            if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
                work();
            } else {
                succeeded = static_cast<bool>(work());
            }
            succeeded = succeeded && m_statementFailures == failuresBefore;
            if (start == TransactionStart::Joined) {
                if (!succeeded) {
                    m_ownTransactionFailed = true;
                }
                return succeeded;
            }
            return endTransaction(succeeded);
        });
    }

    // How long a statement waits for another connection's lock before it fails; 5 seconds by default.
    void setBusyTimeout(int milliseconds);

    // Shows the message in a warning alert on the main thread; returns at once.
    void alert(const QString& message);

    // Counts down "LaunchCount", runs "VACUUM" when it runs out (first time and every 501st), and
    // closes the connection. Runs once; later statements fail with printed lines.
    void teardown();

    bool isOpen() const;
    // "data.db" in the resources folder.
    static QString defaultTemplatePath();
    QString databasePath() const { return m_path; }

    const QString DB_NAME = QStringLiteral("data.db");
    const QString QUEUE_LABLE = QStringLiteral("SQLiteDB");
    QString GROUP;

private:
    enum class TransactionStart
    {
        Began,
        Joined,
        Failed
    };

    static QString pathForGroup(const QString& gid);
    std::int64_t executeImpl(const QString& sql, const QVariantList* parameters);
    QList<SQLRow> queryImpl(const QString& sql, const QVariantList* parameters, bool* ok);
    bool readRowsImpl(const QString& sql, const QVariantList* parameters,
                      const std::function<bool(const SQLRowReader&)>& onRow);
    sqlite3_stmt* prepareAndBind(const QString& sql, const QVariantList* parameters);
    std::int64_t stepAndCount(sqlite3_stmt* statement, const QString& sql);
    TransactionStart beginTransaction();
    bool endTransaction(bool commit);
    void closeConnection();
    QString errorMessage() const;

    static std::atomic<SQLiteDB*> s_shared;

    sqlite3* m_db = nullptr;
    SQLStatementCache m_statements;
    // Counts failed statements, so a transaction can tell whether its work failed somewhere.
    std::uint64_t m_statementFailures = 0;
    bool m_ownTransactionFailed = false;
    mutable SerialQueue m_queue;
    QString m_path;
    UserDefaults* m_defaults = nullptr;
    bool m_tornDown = false;
};
