#include "PersistentServiceState.h"

#include "common/AppKeyPrefix.h"
#include "platform/UserDefaults.h"

PersistentServiceState::PersistentServiceState()
    : PersistentServiceState(UserDefaults::standardUserDefaults())
{
}

PersistentServiceState::PersistentServiceState(UserDefaults& storage)
    : storage(&storage), UPDATED_KEY_PREFIX(QStringLiteral("LU_") + APP_KEY_PREFIX),
      KEY_PREFIX(QStringLiteral("_DEV_") + APP_KEY_PREFIX),
      QUERIED_BLOG_KEY_PREFIX(QStringLiteral("QB_") + APP_KEY_PREFIX),
      TOKEN_REFRESH_KEY_PREFIX(QStringLiteral("TR_") + APP_KEY_PREFIX),
      COMMENTS_DOWNLOAD_KEY_PREFIX(QStringLiteral("CD_") + APP_KEY_PREFIX)
{
}

std::optional<QString> PersistentServiceState::userId() const
{
    return storage->stringForKey(KEY_PREFIX + QStringLiteral("CURRENT_USER_ID"));
}

void PersistentServiceState::setUserId(const std::optional<QString>& userId)
{
    storage->setObject(userId ? QVariant(*userId) : QVariant(),
                       KEY_PREFIX + QStringLiteral("CURRENT_USER_ID"));
}

std::optional<QString> PersistentServiceState::blogId() const
{
    return storage->stringForKey(KEY_PREFIX + QStringLiteral("CURRENT_BLOG_ID"));
}

void PersistentServiceState::setBlogId(const std::optional<QString>& blogId)
{
    storage->setObject(blogId ? QVariant(*blogId) : QVariant(),
                       KEY_PREFIX + QStringLiteral("CURRENT_BLOG_ID"));
}

bool PersistentServiceState::getBlogWasQueried(const QString& blogId) const
{
    return storage->boolForKey(QUERIED_BLOG_KEY_PREFIX + blogId);
}

void PersistentServiceState::setBlogWasQueried(const QString& blogId, bool value)
{
    storage->setBool(value, QUERIED_BLOG_KEY_PREFIX + blogId);
}

std::optional<QDateTime> PersistentServiceState::dateForKey(const QString& key) const
{
    const QVariant value = storage->objectForKey(key);
    if (value.metaType().id() != QMetaType::QDateTime) {
        return std::nullopt;
    }
    return value.toDateTime();
}

std::optional<QDateTime> PersistentServiceState::getLastUpdated(const QString& blogId) const
{
    return dateForKey(UPDATED_KEY_PREFIX + blogId);
}

void PersistentServiceState::setLastUpdated(const QString& blogId, const QDateTime& date)
{
    storage->setObject(date, UPDATED_KEY_PREFIX + blogId);
}

void PersistentServiceState::setDownloaded(const QString& blogId, const QDateTime& date)
{
    storage->setObjects({{UPDATED_KEY_PREFIX + blogId, date}, {QUERIED_BLOG_KEY_PREFIX + blogId, true}});
}

std::optional<QDateTime> PersistentServiceState::getLastTokenRefresh(const QString& id) const
{
    return dateForKey(TOKEN_REFRESH_KEY_PREFIX + id);
}

void PersistentServiceState::setLastTokenRefresh(const QString& id, const QDateTime& date)
{
    // Every request refreshes the token first; its time rides on the next write instead of flushing the
    // file before each one.
    storage->setObjectWithNextWrite(date, TOKEN_REFRESH_KEY_PREFIX + id);
}

bool PersistentServiceState::getCommentsDownloaded(const QString& postId) const
{
    return storage->boolForKey(COMMENTS_DOWNLOAD_KEY_PREFIX + postId);
}

void PersistentServiceState::setCommentsDownloaded(const QString& postId, bool value)
{
    storage->setBool(value, COMMENTS_DOWNLOAD_KEY_PREFIX + postId);
}

std::optional<QString> PersistentServiceState::getBlogTemplate(const QString& key) const
{
    const QVariant value = storage->objectForKey(key);
    if (value.metaType().id() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

void PersistentServiceState::setBlogTemplate(const QString& key, const QString& blogTemplate)
{
    storage->setObject(blogTemplate, key);
}
