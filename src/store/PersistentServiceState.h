#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

class UserDefaults;

// Current account and blog, per-blog and per-post bookkeeping, and cached blog templates,
// kept in the preferences store. The key texts are what existing stores hold: never change them.
class PersistentServiceState
{
public:
    PersistentServiceState();
    explicit PersistentServiceState(UserDefaults& storage);

    std::optional<QString> userId() const;
    void setUserId(const std::optional<QString>& userId);
    std::optional<QString> blogId() const;
    void setBlogId(const std::optional<QString>& blogId);

    bool getBlogWasQueried(const QString& blogId) const;
    void setBlogWasQueried(const QString& blogId, bool value);
    std::optional<QDateTime> getLastUpdated(const QString& blogId) const;
    void setLastUpdated(const QString& blogId, const QDateTime& date);
    // The end of a download: the last update and the queried flag of the blog, in one write.
    void setDownloaded(const QString& blogId, const QDateTime& date);
    std::optional<QDateTime> getLastTokenRefresh(const QString& id) const;
    void setLastTokenRefresh(const QString& id, const QDateTime& date);
    bool getCommentsDownloaded(const QString& postId) const;
    void setCommentsDownloaded(const QString& postId, bool value);
    // Keyed by the blog's address itself, without a prefix.
    std::optional<QString> getBlogTemplate(const QString& key) const;
    void setBlogTemplate(const QString& key, const QString& blogTemplate);

    UserDefaults* storage;
    QString UPDATED_KEY_PREFIX;
    QString KEY_PREFIX;
    QString QUERIED_BLOG_KEY_PREFIX;
    QString TOKEN_REFRESH_KEY_PREFIX;
    QString COMMENTS_DOWNLOAD_KEY_PREFIX;

private:
    std::optional<QDateTime> dateForKey(const QString& key) const;
};
