#include "HeldDatabaseLock.h"

#include <QFile>

#include <sqlite3.h>

HeldDatabaseLock::HeldDatabaseLock(const QString& path, Kind kind)
{
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK) {
        return;
    }
    sqlite3_exec(m_db, kind == Kind::Exclusive ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE", nullptr, nullptr,
                 nullptr);
}

HeldDatabaseLock::~HeldDatabaseLock()
{
    if (m_releaser.joinable()) {
        m_releaser.join();
    }
    release();
    sqlite3_close(m_db);
}

bool HeldDatabaseLock::isHeld() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void HeldDatabaseLock::release()
{
    if (isHeld()) {
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }
}

void HeldDatabaseLock::releaseAfter(std::chrono::milliseconds delay)
{
    m_releaser = std::thread([this, delay] {
        std::this_thread::sleep_for(delay);
        release();
    });
}
