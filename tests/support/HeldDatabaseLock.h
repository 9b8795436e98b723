#pragma once

#include <QString>

#include <chrono>
#include <thread>

struct sqlite3;

// A second connection to a database file that holds its lock until released (or destroyed), as another
// process would. Write lets others read but not write; Exclusive stops reads too.
class HeldDatabaseLock
{
public:
    enum class Kind
    {
        Write,
        Exclusive
    };

    HeldDatabaseLock(const QString& path, Kind kind);
    ~HeldDatabaseLock();
    HeldDatabaseLock(const HeldDatabaseLock&) = delete;
    HeldDatabaseLock& operator=(const HeldDatabaseLock&) = delete;

    bool isHeld() const;
    void release();
    // Releases the lock from another thread once the delay is over.
    void releaseAfter(std::chrono::milliseconds delay);

private:
    sqlite3* m_db = nullptr;
    std::thread m_releaser;
};
