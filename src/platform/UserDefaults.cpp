#include "UserDefaults.h"

#include "platform/Alert.h"
#include "platform/ApplicationFolders.h"
#include "platform/AtomicFile.h"
#include "platform/Dispatch.h"
#include "platform/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <limits>

#include <sys/stat.h>

namespace {

// Each value is stored with its kind so that a date or an integer reads back as such.
QJsonObject encode(const QVariant& value)
{
    QJsonObject item;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        item["type"] = "bool";
        item["value"] = value.toBool();
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
        // As text: a JSON number is a double and would round a 64-bit value.
        item["type"] = "integer";
        item["value"] = QString::number(value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        item["type"] = "double";
        item["value"] = value.toDouble();
        break;
    case QMetaType::QDateTime:
        item["type"] = "date";
        item["value"] = QString::number(value.toDateTime().toMSecsSinceEpoch());
        break;
    default:
        item["type"] = "string";
        item["value"] = value.toString();
        break;
    }
    return item;
}

QVariant decode(const QJsonObject& item)
{
    const QString type = item["type"].toString();
    const QJsonValue value = item["value"];
    if (type == "bool") {
        return value.toBool();
    }
    if (type == "integer") {
        return QVariant::fromValue<qint64>(value.toString().toLongLong());
    }
    if (type == "double") {
        return value.toDouble();
    }
    if (type == "date") {
        return QDateTime::fromMSecsSinceEpoch(value.toString().toLongLong(), QTimeZone::systemTimeZone());
    }
    if (type == "string") {
        return value.toString();
    }
    return {};
}

void printLine(const QString& line)
{
    std::fputs(qUtf8Printable(line + '\n'), stdout);
    std::fflush(stdout);
}

// A write takes milliseconds; a writer that holds the lock longer is stuck, and a change must not wait on it.
constexpr int LockWaitMilliseconds = 2000;

QString lockPath(const QString& filePath)
{
    return filePath + QStringLiteral(".lock");
}

// The names of the temporary files a write makes: the file's name, a dot and six letters or digits.
bool isTemporaryName(const QString& name, const QString& fileName)
{
    if (name.size() != fileName.size() + 7 || !name.startsWith(fileName + QLatin1Char('.'))) {
        return false;
    }
    for (const QChar c : QStringView(name).last(6)) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))) {
            return false;
        }
    }
    return true;
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    static UserDefaults defaults(ApplicationFolders::dataFolder() + QStringLiteral("/Preferences.json"));
    return defaults;
}

UserDefaults::UserDefaults(QString filePath) : m_filePath(std::move(filePath))
{
    load();
}

UserDefaults::~UserDefaults()
{
    QMutexLocker locker(&m_mutex);
    if (!m_changedKeys.isEmpty()) {
        writeLocked();
    }
}

void UserDefaults::load()
{
    if (QFileInfo(m_filePath).absoluteDir().exists()) {
        // Without the lock a writer is at work, and one of the temporary files is its own.
        QLockFile lock(lockPath(m_filePath));
        if (lock.tryLock(0)) {
            removeStaleTemporaryFiles();
        }
    }
    // Stamped before it is read: a change in between makes the next write read it again.
    m_stamp = fileStamp();
    if (std::optional<QMap<QString, QVariant>> values = readFile()) {
        m_values = std::move(*values);
    }
}

std::optional<QMap<QString, QVariant>> UserDefaults::readFile()
{
    QMap<QString, QVariant> values;
    QFile file(m_filePath);
    if (!file.exists()) {
        return values;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("UserDefaults - cannot read ") + m_filePath);
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        // Keep the unreadable file for inspection rather than overwrite it at the next write.
        const QString aside = m_filePath + QStringLiteral(".unreadable");
        QFile::remove(aside);
        file.close();
        QFile::rename(m_filePath, aside);
        printLine(QStringLiteral("UserDefaults - unreadable store moved to ") + aside);
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QVariant value = decode(it.value().toObject());
        if (value.isValid()) {
            values.insert(it.key(), value);
        }
    }
    return values;
}

UserDefaults::FileStamp UserDefaults::fileStamp() const
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_filePath).constData(), &info) != 0) {
        return {};
    }
    return {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

void UserDefaults::removeStaleTemporaryFiles()
{
    const QFileInfo store(m_filePath);
    QDir folder = store.absoluteDir();
    const QString fileName = store.fileName();
    const QStringList candidates =
        folder.entryList({fileName + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        if (isTemporaryName(name, fileName)) {
            folder.remove(name);
        }
    }
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    QMutexLocker locker(&m_mutex);
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd()) {
        return std::nullopt;
    }
    switch (it->metaType().id()) {
    case QMetaType::QString:
        return it->toString();
    case QMetaType::LongLong:
    case QMetaType::Double:
        return it->toString();
    default:
        return std::nullopt;
    }
}

bool UserDefaults::boolForKey(const QString& key) const
{
    QMutexLocker locker(&m_mutex);
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd()) {
        return false;
    }
    switch (it->metaType().id()) {
    case QMetaType::Bool:
        return it->toBool();
    case QMetaType::LongLong:
        return it->toLongLong() != 0;
    case QMetaType::Double:
        return it->toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = it->toString().trimmed();
        return text.compare("yes", Qt::CaseInsensitive) == 0 ||
               text.compare("true", Qt::CaseInsensitive) == 0 || text.toLongLong() != 0;
    }
    default:
        return false;
    }
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    QMutexLocker locker(&m_mutex);
    return m_values.value(key);
}

std::int64_t UserDefaults::integerForKey(const QString& key) const
{
    QMutexLocker locker(&m_mutex);
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd()) {
        return 0;
    }
    switch (it->metaType().id()) {
    case QMetaType::Bool:
        return it->toBool() ? 1 : 0;
    case QMetaType::LongLong:
        return it->toLongLong();
    case QMetaType::Double:
        return truncatedInteger(it->toDouble());
    case QMetaType::QString:
        return it->toString().trimmed().toLongLong();
    default:
        return 0;
    }
}

void UserDefaults::setObject(const QVariant& value, const QString& key)
{
    // An invalid date is no value too: it would otherwise be stored as 1970.
    if (!value.isValid() || value.isNull() ||
        (value.metaType().id() == QMetaType::QDateTime && !value.toDateTime().isValid())) {
        removeObjectForKey(key);
        return;
    }
    // Normalise to the kinds the file stores, so a value reads back the same after a restart.
    const QVariant normalised = decode(encode(value));
    QMutexLocker locker(&m_mutex);
    m_values.insert(key, normalised);
    m_changedKeys.insert(key);
    writeLocked();
}

void UserDefaults::setObjects(const QList<QPair<QString, QVariant>>& values)
{
    QMutexLocker locker(&m_mutex);
    for (const auto& [key, value] : values) {
        stageLocked(value, key);
    }
    if (!values.isEmpty()) {
        writeLocked();
    }
}

void UserDefaults::setObjectWithNextWrite(const QVariant& value, const QString& key)
{
    QMutexLocker locker(&m_mutex);
    stageLocked(value, key);
}

void UserDefaults::stageLocked(const QVariant& value, const QString& key)
{
    if (!value.isValid() || value.isNull() ||
        (value.metaType().id() == QMetaType::QDateTime && !value.toDateTime().isValid())) {
        m_values.remove(key);
    } else {
        m_values.insert(key, decode(encode(value)));
    }
    m_changedKeys.insert(key);
}

void UserDefaults::setBool(bool value, const QString& key)
{
    setObject(QVariant(value), key);
}

void UserDefaults::setInteger(std::int64_t value, const QString& key)
{
    setObject(QVariant::fromValue<qint64>(value), key);
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    QMutexLocker locker(&m_mutex);
    // Another writer may have added the key since the file was read.
    if (m_values.remove(key) > 0 || fileStamp() != m_stamp) {
        m_changedKeys.insert(key);
        writeLocked();
    }
}

bool UserDefaults::synchronize()
{
    QMutexLocker locker(&m_mutex);
    if (m_changedKeys.isEmpty()) {
        return true;
    }
    return writeLocked();
}

bool UserDefaults::writeLocked()
{
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QLockFile lock(lockPath(m_filePath));
    if (!lock.tryLock(LockWaitMilliseconds)) {
        printLine(QStringLiteral("UserDefaults - writing without the lock ") + lockPath(m_filePath));
    }
    if (fileStamp() != m_stamp) {
        // Another writer's version: it keeps its keys, the keys changed here take their values from here.
        if (std::optional<QMap<QString, QVariant>> merged = readFile()) {
            for (const QString& key : std::as_const(m_changedKeys)) {
                const auto it = m_values.constFind(key);
                if (it == m_values.constEnd()) {
                    merged->remove(key);
                } else {
                    merged->insert(key, *it);
                }
            }
            m_values = std::move(*merged);
        }
    }

    QJsonObject root;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        root.insert(it.key(), encode(it.value()));
    }
    int error = 0;
    if (!AtomicFile::write(m_filePath, QJsonDocument(root).toJson(QJsonDocument::Indented), &error)) {
        const QString reason = qt_error_string(error);
        printLine(QStringLiteral("UserDefaults - cannot write ") + m_filePath + QStringLiteral(": ") +
                  reason);
        // Once until a write succeeds again: every change of a setting would otherwise ask again.
        if (!m_failureTold) {
            m_failureTold = true;
            const QString text =
                AtomicFile::isDiskFull(error)
                    ? QStringLiteral("The disk that holds \"%1\" is full, so Penhollow could not save its "
                                     "settings. The settings saved before are kept. Make room on the disk: "
                                     "Penhollow saves them again with the next change of a setting and when "
                                     "it quits.")
                          .arg(m_filePath)
                    : QStringLiteral("Penhollow could not save its settings in \"%1\" (%2). The settings "
                                     "saved before are kept; Penhollow saves them again with the next change "
                                     "of a setting and when it quits.")
                          .arg(m_filePath, reason);
            Dispatch::toMainThread([text] {
                Alert::present(AlertRequest{AlertStyle::Warning, QStringLiteral("Settings not saved"), text});
            });
        }
        return false;
    }
    m_failureTold = false;
    m_changedKeys.clear();
    m_stamp = fileStamp();
    return true;
}
