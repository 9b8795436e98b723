#pragma once

#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <optional>

// The preferences store: values by key, kept in one file of the data folder.
// It holds OAuth tokens, so the file is private to the user (0600) and written atomically. Every change is
// written through at once: a crash must not sign the user out or forget the current blog.
// Another writer may share the file: a write re-reads it when it changed since it was last read or written,
// and keeps the other writer's keys, so only the keys this store changed take its values. Writers take
// turns through a lock file beside it.
class UserDefaults
{
public:
    // The process-wide store, in "Preferences.json" of the data folder.
    static UserDefaults& standardUserDefaults();

    explicit UserDefaults(QString filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // None when the key is absent or holds no text.
    std::optional<QString> stringForKey(const QString& key) const;
    // False when absent; numbers count as true when non-zero, texts "YES"/"true"/"1".
    bool boolForKey(const QString& key) const;
    // The stored value (QString, bool, qint64, double or QDateTime); invalid when absent.
    QVariant objectForKey(const QString& key) const;
    // 0 when absent or not a number.
    std::int64_t integerForKey(const QString& key) const;

    // An invalid (null) QVariant, or an invalid date, removes the key.
    void setObject(const QVariant& value, const QString& key);
    void setBool(bool value, const QString& key);
    void setInteger(std::int64_t value, const QString& key);
    void removeObjectForKey(const QString& key);
    // Several keys set (or removed, as setObject does) with one write of the file.
    void setObjects(const QList<QPair<QString, QVariant>>& values);
    // Kept in memory and written with the next write, at synchronize() or when the store goes away: for
    // bookkeeping whose loss in a crash costs nothing, so it adds no write and flush of its own.
    void setObjectWithNextWrite(const QVariant& value, const QString& key);

    // Writes what an earlier write could not (a full disk, a read-only folder); false when it fails again.
    // A failed write leaves the file as it was and keeps the changes in memory; the first failure after a
    // success is shown to the user in an alert.
    bool synchronize();

    QString filePath() const { return m_filePath; }

private:
    // Set (or removed, as setObject does) in memory and marked for the next write; under m_mutex.
    void stageLocked(const QVariant& value, const QString& key);

    // What tells one version of the file from another; all zero when there is no file.
    struct FileStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
        qint64 modifiedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };

    void load();
    // The file's values, or none when it cannot be read (an unreadable one is set aside).
    std::optional<QMap<QString, QVariant>> readFile();
    FileStamp fileStamp() const;
    // Removes the temporary files that a write cut short left beside the store. Only while no writer runs.
    void removeStaleTemporaryFiles();
    bool writeLocked();
    void changed(const QString& key);

    QString m_filePath;
    mutable QMutex m_mutex;
    QMap<QString, QVariant> m_values;
    // Keys set or removed here since the last successful write.
    QSet<QString> m_changedKeys;
    FileStamp m_stamp;
    // The user was told that a write failed; cleared by the next write that succeeds.
    bool m_failureTold = false;
};
