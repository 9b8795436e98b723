#pragma once

#include "StandinAccount.h"
#include "StandinBlog.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Writes the JSON replies of the user information, Blogger JSON v3 and token endpoints.
class StandinJsonWriter
{
public:
    static QByteArray userInfo(const StandinAccount& account, const QString& base);
    static QByteArray blogList(const QList<const StandinBlog*>& blogs, const QString& base);
    static QJsonObject comment(const StandinBlog& blog, const StandinPost& post,
                               const StandinComment& comment, const QString& base);
    static QByteArray commentList(const QList<QJsonObject>& items, const QString& nextPageToken);
    static QByteArray tokenReply(const QString& accessToken, const QString& refreshToken,
                                 const QString& scope);
    static QByteArray toBytes(const QJsonObject& object);
};
