#include "UserDefaults.h"

#include "platform/ApplicationFolders.h"
#include "platform/Numbers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <limits>

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
    if (m_dirty) {
        writeLocked();
    }
}

void UserDefaults::load()
{
    QFile file(m_filePath);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("UserDefaults - cannot read ") + m_filePath);
        return;
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
        return;
    }
    const QJsonObject root = document.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QVariant value = decode(it.value().toObject());
        if (value.isValid()) {
            m_values.insert(it.key(), value);
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
    m_dirty = true;
    writeLocked();
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
    if (m_values.remove(key) > 0) {
        m_dirty = true;
        writeLocked();
    }
}

bool UserDefaults::synchronize()
{
    QMutexLocker locker(&m_mutex);
    if (!m_dirty) {
        return true;
    }
    return writeLocked();
}

bool UserDefaults::writeLocked()
{
    QJsonObject root;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        root.insert(it.key(), encode(it.value()));
    }
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        printLine(QStringLiteral("UserDefaults - cannot write ") + m_filePath + QStringLiteral(": ") +
                  file.errorString());
        return false;
    }
    // Before any byte is written: the temporary file becomes the store.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        printLine(QStringLiteral("UserDefaults - cannot write ") + m_filePath + QStringLiteral(": ") +
                  file.errorString());
        return false;
    }
    m_dirty = false;
    return true;
}
