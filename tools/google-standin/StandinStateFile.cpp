#include "StandinStateFile.h"

#include "StandinDates.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// ---- writing ----

QJsonValue dateValue(const QDateTime& when)
{
    return when.isValid() ? QJsonValue(StandinDates::write(when, 0, true)) : QJsonValue(QJsonValue::Null);
}

QJsonObject commentJson(const StandinComment& c)
{
    return {{QStringLiteral("id"), c.id},
            {QStringLiteral("authorId"), c.authorId},
            {QStringLiteral("authorName"), c.authorName},
            {QStringLiteral("authorImage"), c.authorImage},
            {QStringLiteral("published"), dateValue(c.published)},
            {QStringLiteral("updated"), dateValue(c.updated)},
            {QStringLiteral("content"), c.content}};
}

QJsonObject postJson(const StandinPost& p)
{
    QJsonArray comments;
    for (const StandinComment& c : p.comments)
        comments.append(commentJson(c));
    return {{QStringLiteral("id"), p.id},
            {QStringLiteral("title"), p.title},
            {QStringLiteral("content"), p.content},
            {QStringLiteral("labels"), QJsonArray::fromStringList(p.labels)},
            {QStringLiteral("published"), dateValue(p.published)},
            {QStringLiteral("updated"), dateValue(p.updated)},
            {QStringLiteral("draft"), p.draft},
            {QStringLiteral("urlPath"), p.urlPath},
            {QStringLiteral("comments"), comments}};
}

QJsonObject blogJson(const StandinBlog& b)
{
    QJsonArray posts;
    for (const StandinPost& p : b.posts)
        posts.append(postJson(p));
    return {{QStringLiteral("id"), b.id},
            {QStringLiteral("owner"), b.ownerId},
            {QStringLiteral("name"), b.name},
            {QStringLiteral("description"), b.description},
            {QStringLiteral("path"), b.path},
            {QStringLiteral("published"), dateValue(b.published)},
            {QStringLiteral("updated"), dateValue(b.updated)},
            {QStringLiteral("utcOffsetMinutes"), b.utcOffsetMinutes},
            {QStringLiteral("language"), b.language},
            {QStringLiteral("posts"), posts}};
}

QJsonObject accountJson(const StandinAccount& a)
{
    return {{QStringLiteral("id"), a.id},
            {QStringLiteral("profileId"), a.profileId},
            {QStringLiteral("name"), a.name},
            {QStringLiteral("givenName"), a.givenName},
            {QStringLiteral("familyName"), a.familyName},
            {QStringLiteral("picture"), a.picture},
            {QStringLiteral("locale"), a.locale},
            {QStringLiteral("albumId"), a.albumId}};
}

QJsonObject photoJson(const StandinPhoto& p)
{
    // Latin-1 keeps any byte of the header as it came.
    return {{QStringLiteral("id"), p.id},
            {QStringLiteral("owner"), p.ownerId},
            {QStringLiteral("albumId"), p.albumId},
            {QStringLiteral("fileName"), p.fileName},
            {QStringLiteral("contentType"), QString::fromLatin1(p.contentType)},
            {QStringLiteral("width"), p.width},
            {QStringLiteral("height"), p.height},
            {QStringLiteral("published"), dateValue(p.published)},
            {QStringLiteral("data"), QString::fromLatin1(p.data.toBase64())}};
}

QJsonArray grantsJson(const QHash<QString, StandinGrant>& grants)
{
    // Sorted, so that the same state always gives the same file.
    QStringList tokens = grants.keys();
    std::sort(tokens.begin(), tokens.end());
    QJsonArray out;
    for (const QString& token : tokens) {
        const StandinGrant& g = grants[token];
        out.append(QJsonObject{{QStringLiteral("token"), token},
                               {QStringLiteral("account"), g.accountId},
                               {QStringLiteral("scope"), g.scope},
                               {QStringLiteral("clientId"), g.clientId},
                               {QStringLiteral("redirectUri"), g.redirectUri},
                               {QStringLiteral("spent"), g.spent}});
    }
    return out;
}

// ---- reading ----
// Each reader records the first fault in *error and reads nothing once one is recorded, so a record is
// read whole and checked once.

QJsonValue field(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    if (!error->isEmpty())
        return {};
    const auto it = o.constFind(QLatin1String(key));
    if (it == o.constEnd()) {
        *error = QStringLiteral("%1: \"%2\" is missing").arg(where, QLatin1String(key));
        return {};
    }
    return *it;
}

void fault(const char* key, const char* what, const QString& where, QString* error)
{
    if (error->isEmpty())
        *error = QStringLiteral("%1: \"%2\" is not %3").arg(where, QLatin1String(key), QLatin1String(what));
}

QString text(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QJsonValue v = field(o, key, where, error);
    if (!error->isEmpty())
        return {};
    if (!v.isString())
        fault(key, "a text", where, error);
    return v.toString();
}

QString id(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QString value = text(o, key, where, error);
    if (value.isEmpty())
        fault(key, "an id", where, error);
    return value;
}

QDateTime date(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QJsonValue v = field(o, key, where, error);
    if (!error->isEmpty() || v.isNull())
        return {};
    const QDateTime when = v.isString() ? StandinDates::parse(v.toString()) : QDateTime();
    if (!when.isValid())
        fault(key, "a date", where, error);
    return when;
}

int integer(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QJsonValue v = field(o, key, where, error);
    if (!error->isEmpty())
        return 0;
    const double d = v.toDouble();
    if (!v.isDouble() || d != std::trunc(d) || d < INT_MIN || d > INT_MAX) {
        fault(key, "a whole number", where, error);
        return 0;
    }
    return int(d);
}

bool flag(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QJsonValue v = field(o, key, where, error);
    if (error->isEmpty() && !v.isBool())
        fault(key, "true or false", where, error);
    return v.toBool();
}

QJsonArray array(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QJsonValue v = field(o, key, where, error);
    if (error->isEmpty() && !v.isArray())
        fault(key, "a list", where, error);
    return v.toArray();
}

QStringList texts(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    QStringList out;
    for (const QJsonValue& v : array(o, key, where, error)) {
        if (!v.isString()) {
            fault(key, "a list of texts", where, error);
            return {};
        }
        out.append(v.toString());
    }
    return out;
}

QByteArray bytes(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    const QString encoded = text(o, key, where, error);
    if (!error->isEmpty())
        return {};
    const auto decoded =
        QByteArray::fromBase64Encoding(encoded.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fault(key, "base64", where, error);
    return decoded.decoded;
}

// The elements of a list, each of which must be an object.
QList<QJsonObject> objects(const QJsonObject& o, const char* key, const QString& where, QString* error)
{
    QList<QJsonObject> out;
    for (const QJsonValue& v : array(o, key, where, error)) {
        if (!v.isObject()) {
            fault(key, "a list of objects", where, error);
            return {};
        }
        out.append(v.toObject());
    }
    return out;
}

StandinComment readComment(const QJsonObject& o, const QString& where, QString* error)
{
    StandinComment c;
    c.id = id(o, "id", where + QStringLiteral(" comment"), error);
    const QString here = where + QStringLiteral(" comment ") + c.id;
    c.authorId = text(o, "authorId", here, error);
    c.authorName = text(o, "authorName", here, error);
    c.authorImage = text(o, "authorImage", here, error);
    c.published = date(o, "published", here, error);
    c.updated = date(o, "updated", here, error);
    c.content = text(o, "content", here, error);
    return c;
}

StandinPost readPost(const QJsonObject& o, const QString& where, QString* error)
{
    StandinPost p;
    p.id = id(o, "id", where + QStringLiteral(" post"), error);
    const QString here = where + QStringLiteral(" post ") + p.id;
    p.title = text(o, "title", here, error);
    p.content = text(o, "content", here, error);
    p.labels = texts(o, "labels", here, error);
    p.published = date(o, "published", here, error);
    p.updated = date(o, "updated", here, error);
    p.draft = flag(o, "draft", here, error);
    p.urlPath = text(o, "urlPath", here, error);
    for (const QJsonObject& c : objects(o, "comments", here, error)) {
        p.comments.append(readComment(c, here, error));
        if (!error->isEmpty())
            break;
    }
    return p;
}

bool readBlog(const QJsonObject& o, StandinState& state, QString* error)
{
    StandinBlog b;
    b.id = id(o, "id", QStringLiteral("blog"), error);
    const QString here = QStringLiteral("blog ") + b.id;
    b.ownerId = id(o, "owner", here, error);
    b.name = text(o, "name", here, error);
    b.description = text(o, "description", here, error);
    b.path = text(o, "path", here, error);
    b.published = date(o, "published", here, error);
    b.updated = date(o, "updated", here, error);
    b.utcOffsetMinutes = integer(o, "utcOffsetMinutes", here, error);
    b.language = text(o, "language", here, error);
    const QList<QJsonObject> posts = objects(o, "posts", here, error);
    if (!error->isEmpty())
        return false;
    if (state.blog(b.id))
        *error = here + QStringLiteral(": the id is repeated");
    else if (!state.account(b.ownerId))
        *error = here + QStringLiteral(": unknown owner \"%1\"").arg(b.ownerId);
    else if (!StandinState::isUsablePath(b.path) || state.blogByPath(b.path))
        *error = here + QStringLiteral(": unusable path \"%1\"").arg(b.path);
    for (const QJsonObject& po : posts) {
        if (!error->isEmpty())
            return false;
        const StandinPost p = readPost(po, here, error);
        if (error->isEmpty() && StandinState::post(b, p.id))
            *error = here + QStringLiteral(": repeated post id ") + p.id;
        b.posts.append(p);
    }
    if (!error->isEmpty())
        return false;
    state.blogs.append(b);
    return true;
}

bool readAccount(const QJsonObject& o, StandinState& state, QString* error)
{
    StandinAccount a;
    a.id = id(o, "id", QStringLiteral("account"), error);
    const QString here = QStringLiteral("account ") + a.id;
    a.profileId = text(o, "profileId", here, error);
    a.name = text(o, "name", here, error);
    a.givenName = text(o, "givenName", here, error);
    a.familyName = text(o, "familyName", here, error);
    a.picture = text(o, "picture", here, error);
    a.locale = text(o, "locale", here, error);
    a.albumId = text(o, "albumId", here, error);
    if (error->isEmpty() && state.account(a.id))
        *error = here + QStringLiteral(": the id is repeated");
    if (!error->isEmpty())
        return false;
    state.accounts.append(a);
    return true;
}

bool readPhoto(const QJsonObject& o, StandinState& state, QString* error)
{
    StandinPhoto p;
    p.id = id(o, "id", QStringLiteral("photo"), error);
    const QString here = QStringLiteral("photo ") + p.id;
    p.ownerId = id(o, "owner", here, error);
    p.albumId = text(o, "albumId", here, error);
    p.fileName = text(o, "fileName", here, error);
    p.contentType = text(o, "contentType", here, error).toLatin1();
    p.width = integer(o, "width", here, error);
    p.height = integer(o, "height", here, error);
    p.published = date(o, "published", here, error);
    p.data = bytes(o, "data", here, error);
    if (error->isEmpty() && state.photo(p.id))
        *error = here + QStringLiteral(": the id is repeated");
    else if (error->isEmpty() && !state.account(p.ownerId))
        *error = here + QStringLiteral(": unknown owner \"%1\"").arg(p.ownerId);
    if (!error->isEmpty())
        return false;
    state.photos.append(p);
    return true;
}

bool readGrants(const QJsonObject& o, const char* key, QHash<QString, StandinGrant>* grants, QString* error)
{
    const QString where = QLatin1String(key);
    for (const QJsonObject& g : objects(o, key, QStringLiteral("the state"), error)) {
        const QString token = id(g, "token", where, error);
        StandinGrant grant;
        grant.accountId = text(g, "account", where, error);
        grant.scope = text(g, "scope", where, error);
        grant.clientId = text(g, "clientId", where, error);
        grant.redirectUri = text(g, "redirectUri", where, error);
        grant.spent = flag(g, "spent", where, error);
        if (error->isEmpty() && grants->contains(token))
            *error = where + QStringLiteral(": a repeated token");
        if (!error->isEmpty())
            return false;
        grants->insert(token, grant);
    }
    return error->isEmpty();
}

// The state's own address in every text, moved to the new one. A longer port ("...:41234" against
// "...:4123") is another address and stays.
QJsonValue moveBase(const QJsonValue& value, const QRegularExpression& oldBase, const QString& newBase)
{
    if (value.isString())
        return value.toString().replace(oldBase, newBase);
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue& v : value.toArray())
            out.append(moveBase(v, oldBase, newBase));
        return out;
    }
    if (value.isObject()) {
        QJsonObject out;
        const QJsonObject in = value.toObject();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), moveBase(it.value(), oldBase, newBase));
        return out;
    }
    return value;
}

} // namespace

QJsonObject StandinStateFile::toJson(const StandinState& state, const QString& baseUrl)
{
    QJsonArray accounts;
    for (const StandinAccount& a : state.accounts)
        accounts.append(accountJson(a));
    QJsonArray blogs;
    for (const StandinBlog& b : state.blogs)
        blogs.append(blogJson(b));
    QJsonArray photos;
    for (const StandinPhoto& p : state.photos)
        photos.append(photoJson(p));
    return {{QStringLiteral("format"), QLatin1String(FormatName)},
            {QStringLiteral("version"), FormatVersion},
            {QStringLiteral("baseUrl"), baseUrl},
            {QStringLiteral("accounts"), accounts},
            {QStringLiteral("blogs"), blogs},
            {QStringLiteral("photos"), photos},
            {QStringLiteral("codes"), grantsJson(state.codes)},
            {QStringLiteral("accessTokens"), grantsJson(state.accessTokens)},
            {QStringLiteral("refreshTokens"), grantsJson(state.refreshTokens)}};
}

bool StandinStateFile::fromJson(const QJsonObject& rawJson, const QString& baseUrl, StandinState* state,
                                QString* error)
{
    QString localError;
    if (!error)
        error = &localError;
    error->clear();
    if (rawJson.value(QStringLiteral("format")).toString() != QLatin1String(FormatName)) {
        *error = QStringLiteral("not a google-standin state file (no \"format\": \"%1\")")
                     .arg(QLatin1String(FormatName));
        return false;
    }
    const int version = integer(rawJson, "version", QStringLiteral("the state"), error);
    if (error->isEmpty() && version != FormatVersion)
        *error =
            QStringLiteral("state version %1 is not supported (only %2)").arg(version).arg(FormatVersion);
    const QString writtenBase = text(rawJson, "baseUrl", QStringLiteral("the state"), error);
    if (!error->isEmpty())
        return false;

    QJsonObject json = rawJson;
    if (!writtenBase.isEmpty() && writtenBase != baseUrl) {
        const QRegularExpression oldBase(QRegularExpression::escape(writtenBase) +
                                         QStringLiteral("(?![0-9])"));
        // Only the records served: tokens and the clients' redirect addresses are not the stand-in's.
        for (const char* key : {"accounts", "blogs", "photos"})
            json.insert(QLatin1String(key), moveBase(json.value(QLatin1String(key)), oldBase, baseUrl));
    }

    StandinState next;
    for (const QJsonObject& o : objects(json, "accounts", QStringLiteral("the state"), error)) {
        if (!readAccount(o, next, error))
            return false;
    }
    for (const QJsonObject& o : objects(json, "blogs", QStringLiteral("the state"), error)) {
        if (!readBlog(o, next, error))
            return false;
    }
    for (const QJsonObject& o : objects(json, "photos", QStringLiteral("the state"), error)) {
        if (!readPhoto(o, next, error))
            return false;
    }
    if (!readGrants(json, "codes", &next.codes, error) ||
        !readGrants(json, "accessTokens", &next.accessTokens, error) ||
        !readGrants(json, "refreshTokens", &next.refreshTokens, error))
        return false;
    if (!error->isEmpty())
        return false;
    next.revision = state->revision + 1;
    *state = next;
    return true;
}

bool StandinStateFile::read(const QString& path, QJsonObject* json, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = path + QStringLiteral(": broken JSON at byte %1: %2")
                            .arg(parseError.offset)
                            .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = path + QStringLiteral(": not a JSON object");
        return false;
    }
    *json = doc.object();
    return true;
}

bool StandinStateFile::write(const QString& path, const StandinState& state, const QString& baseUrl,
                             QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    // A buffered write that failed shows only at the flush, and commit() would still put an empty file in
    // place of the old one.
    const QByteArray content = QJsonDocument(toJson(state, baseUrl)).toJson(QJsonDocument::Indented);
    if (file.write(content) != content.size() || !file.flush()) {
        *error = path + QStringLiteral(": ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}
