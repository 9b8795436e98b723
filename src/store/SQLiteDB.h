#pragma once

#include "platform/Dispatch.h"
#include "store/SQLRow.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;
class UserDefaults;

// The one connection to the local "data.db". Every statement runs on the connection's serial queue
// while the caller waits. Failures never leave this class: they are printed as "SQLiteDB - ..." lines,
// and then execute answers 0 and query an empty list (or the rows read before the failure).
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

    // Runs `work` as one transaction on the queue: no other thread's statement runs in between, and
    // its writes reach the disk with one commit. Nested calls join the outer transaction.
    template <typename Work> void transaction(Work&& work)
    {
        m_queue.sync([&] {
            const bool began = beginTransaction();
            work();
            if (began) {
                commitTransaction();
            }
        });
    }

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
    static QString pathForGroup(const QString& gid);
    std::int64_t executeImpl(const QString& sql, const QVariantList* parameters);
    QList<SQLRow> queryImpl(const QString& sql, const QVariantList* parameters);
    sqlite3_stmt* prepareAndBind(const QString& sql, const QVariantList* parameters);
    std::int64_t stepAndCount(sqlite3_stmt* statement, const QString& sql);
    QList<SQLRow> collectRows(sqlite3_stmt* statement, const QString& sql);
    std::int32_t declaredColumnKind(sqlite3_stmt* statement, int index) const;
    std::optional<QVariant> readColumnValue(sqlite3_stmt* statement, int index, std::int32_t code) const;
    bool beginTransaction();
    void commitTransaction();
    QString errorMessage() const;

    static std::atomic<SQLiteDB*> s_shared;

    sqlite3* m_db = nullptr;
    mutable SerialQueue m_queue;
    QString m_path;
    UserDefaults* m_defaults = nullptr;
    bool m_tornDown = false;
};
