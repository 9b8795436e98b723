#include "StandinJsonWriter.h"

#include "StandinDates.h"

#include <QJsonArray>
#include <QJsonDocument>

QByteArray StandinJsonWriter::toBytes(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray StandinJsonWriter::userInfo(const StandinAccount& account, const QString& base)
{
    QJsonObject o{{"id", account.id},
                  {"name", account.name},
                  {"given_name", account.givenName},
                  {"family_name", account.familyName},
                  {"link", base + QStringLiteral("/profile/") + account.profileId},
                  {"picture", account.picture},
                  {"locale", account.locale}};
    return toBytes(o);
}

QByteArray StandinJsonWriter::blogList(const QList<const StandinBlog*>& blogs, const QString& base)
{
    QJsonArray items;
    for (const StandinBlog* b : blogs) {
        const QString self = base + QStringLiteral("/blogger/v3/blogs/") + b->id;
        QDateTime updated = b->updated;
        for (const StandinPost& p : b->posts)
            updated = qMax(updated, p.updated);
        items.append(QJsonObject{
            {"kind", "blogger#blog"},
            {"id", b->id},
            {"name", b->name},
            {"description", b->description},
            {"published", StandinDates::write(b->published, b->utcOffsetMinutes)},
            {"updated", StandinDates::write(updated, b->utcOffsetMinutes)},
            {"url", base + QLatin1Char('/') + b->path + QLatin1Char('/')},
            {"selfLink", self},
            {"posts", QJsonObject{{"totalItems", int(b->posts.size())},
                                  {"selfLink", self + QStringLiteral("/posts")}}},
            {"pages", QJsonObject{{"totalItems", 0}, {"selfLink", self + QStringLiteral("/pages")}}},
            {"locale", QJsonObject{{"language", b->language}, {"country", ""}, {"variant", ""}}},
            {"status", "LIVE"}});
    }
    QJsonObject o{{"kind", "blogger#blogList"}};
    // The service leaves the list out for a user without blogs.
    if (!items.isEmpty())
        o.insert("items", items);
    return toBytes(o);
}

QJsonObject StandinJsonWriter::comment(const StandinBlog& blog, const StandinPost& post,
                                       const StandinComment& c, const QString& base)
{
    QJsonObject author;
    if (c.authorId.isEmpty()) {
        author = QJsonObject{
            {"displayName", c.authorName},
            {"url", base + QStringLiteral("/profile/")},
            {"image", QJsonObject{{"url", c.authorImage.isEmpty() ? base + QStringLiteral("/img/blank.gif")
                                                                  : c.authorImage}}}};
    } else {
        author = QJsonObject{
            {"id", c.authorId},
            {"displayName", c.authorName},
            {"url", base + QStringLiteral("/profile/") + c.authorId},
            {"image", QJsonObject{{"url", c.authorImage.isEmpty() ? base + QStringLiteral("/img/blank.gif")
                                                                  : c.authorImage}}}};
    }
    return QJsonObject{{"kind", "blogger#comment"},
                       {"id", c.id},
                       {"post", QJsonObject{{"id", post.id}}},
                       {"blog", QJsonObject{{"id", blog.id}}},
                       {"published", StandinDates::write(c.published, blog.utcOffsetMinutes)},
                       {"updated", StandinDates::write(c.updated, blog.utcOffsetMinutes)},
                       {"selfLink", base + QStringLiteral("/blogger/v3/blogs/") + blog.id +
                                        QStringLiteral("/posts/") + post.id + QStringLiteral("/comments/") +
                                        c.id},
                       {"content", c.content},
                       {"author", author},
                       {"status", "LIVE"}};
}

QByteArray StandinJsonWriter::commentList(const QList<QJsonObject>& items, const QString& nextPageToken)
{
    QJsonObject o{{"kind", "blogger#commentList"}};
    if (!nextPageToken.isEmpty())
        o.insert("nextPageToken", nextPageToken);
    if (!items.isEmpty()) {
        QJsonArray array;
        for (const QJsonObject& item : items)
            array.append(item);
        o.insert("items", array);
    }
    return toBytes(o);
}

QByteArray StandinJsonWriter::tokenReply(const QString& accessToken, const QString& refreshToken,
                                         const QString& scope)
{
    QJsonObject o{
        {"access_token", accessToken}, {"expires_in", 3599}, {"scope", scope}, {"token_type", "Bearer"}};
    if (!refreshToken.isEmpty())
        o.insert("refresh_token", refreshToken);
    return toBytes(o);
}
