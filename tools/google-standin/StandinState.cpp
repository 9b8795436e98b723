#include "StandinState.h"

#include "StandinDates.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>

namespace {

QJsonValue expand(const QJsonValue& value, const QString& baseUrl)
{
    if (value.isString())
        return value.toString().replace(QStringLiteral("{base}"), baseUrl);
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue& v : value.toArray())
            out.append(expand(v, baseUrl));
        return out;
    }
    if (value.isObject()) {
        QJsonObject out;
        const QJsonObject in = value.toObject();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), expand(it.value(), baseUrl));
        return out;
    }
    return value;
}

bool readDate(const QJsonObject& o, const char* key, QDateTime* out, QString* error, const QString& where)
{
    const QString text = o.value(QLatin1String(key)).toString();
    *out = StandinDates::parse(text);
    if (!out->isValid()) {
        *error = QStringLiteral("%1: \"%2\" is no date: \"%3\"").arg(where, QLatin1String(key), text);
        return false;
    }
    return true;
}

bool readComment(const QJsonObject& o, StandinComment* c, QString* error, const QString& where)
{
    c->id = o.value(QStringLiteral("id")).toString();
    if (c->id.isEmpty()) {
        *error = where + QStringLiteral(": a comment has no id");
        return false;
    }
    c->authorId = o.value(QStringLiteral("authorId")).toString();
    c->authorName = o.value(QStringLiteral("authorName")).toString(QStringLiteral("Anonymous"));
    c->authorImage = o.value(QStringLiteral("authorImage")).toString();
    c->content = o.value(QStringLiteral("content")).toString();
    if (!readDate(o, "published", &c->published, error, where + QStringLiteral(" comment ") + c->id))
        return false;
    c->updated = c->published;
    return true;
}

bool readPost(const QJsonObject& o, StandinPost* p, QString* error, const QString& where)
{
    p->id = o.value(QStringLiteral("id")).toString();
    if (p->id.isEmpty()) {
        *error = where + QStringLiteral(": a post has no id");
        return false;
    }
    const QString here = where + QStringLiteral(" post ") + p->id;
    p->title = o.value(QStringLiteral("title")).toString();
    p->content = o.value(QStringLiteral("content")).toString();
    for (const QJsonValue& l : o.value(QStringLiteral("labels")).toArray())
        p->labels.append(l.toString());
    p->draft = o.value(QStringLiteral("draft")).toBool();
    p->urlPath = o.value(QStringLiteral("urlPath")).toString();
    if (!readDate(o, "published", &p->published, error, here) ||
        !readDate(o, "updated", &p->updated, error, here))
        return false;
    for (const QJsonValue& c : o.value(QStringLiteral("comments")).toArray()) {
        StandinComment comment;
        if (!readComment(c.toObject(), &comment, error, here))
            return false;
        p->comments.append(comment);
    }
    return true;
}

} // namespace

bool StandinState::loadSeed(const QJsonObject& rawSeed, const QString& baseUrl, QString* error)
{
    QString localError;
    if (!error)
        error = &localError;
    const QJsonObject seed = expand(rawSeed, baseUrl).toObject();
    StandinState next;

    for (const QJsonValue& v : seed.value(QStringLiteral("accounts")).toArray()) {
        const QJsonObject o = v.toObject();
        StandinAccount a;
        a.id = o.value(QStringLiteral("id")).toString();
        if (a.id.isEmpty() || next.account(a.id)) {
            *error = QStringLiteral("an account has no id or a repeated one: \"%1\"").arg(a.id);
            return false;
        }
        a.profileId = o.value(QStringLiteral("profileId")).toString(a.id);
        a.name = o.value(QStringLiteral("name")).toString();
        a.givenName = o.value(QStringLiteral("givenName")).toString();
        a.familyName = o.value(QStringLiteral("familyName")).toString();
        a.picture = o.value(QStringLiteral("picture")).toString();
        a.locale = o.value(QStringLiteral("locale")).toString(QStringLiteral("en"));
        a.albumId = o.value(QStringLiteral("albumId")).toString();
        if (a.albumId.isEmpty())
            a.albumId = next.newId();
        next.accounts.append(a);
        const QString scope = o.value(QStringLiteral("scope")).toString();
        const QString access = o.value(QStringLiteral("accessToken")).toString();
        if (!access.isEmpty())
            next.accessTokens.insert(access, StandinGrant{a.id, scope, QString(), QString(), false});
        const QString refresh = o.value(QStringLiteral("refreshToken")).toString();
        if (!refresh.isEmpty())
            next.refreshTokens.insert(refresh, StandinGrant{a.id, scope, QString(), QString(), false});
    }

    for (const QJsonValue& v : seed.value(QStringLiteral("blogs")).toArray()) {
        const QJsonObject o = v.toObject();
        StandinBlog b;
        b.id = o.value(QStringLiteral("id")).toString();
        const QString where = QStringLiteral("blog ") + b.id;
        if (b.id.isEmpty() || next.blog(b.id)) {
            *error = QStringLiteral("a blog has no id or a repeated one: \"%1\"").arg(b.id);
            return false;
        }
        b.ownerId = o.value(QStringLiteral("owner")).toString();
        if (!next.account(b.ownerId)) {
            *error = where + QStringLiteral(": unknown owner \"%1\"").arg(b.ownerId);
            return false;
        }
        b.name = o.value(QStringLiteral("name")).toString();
        b.description = o.value(QStringLiteral("description")).toString();
        b.path = o.value(QStringLiteral("path")).toString();
        if (!isUsablePath(b.path) || next.blogByPath(b.path)) {
            *error = where + QStringLiteral(": unusable path \"%1\"").arg(b.path);
            return false;
        }
        b.utcOffsetMinutes = o.value(QStringLiteral("utcOffsetMinutes")).toInt();
        b.language = o.value(QStringLiteral("language")).toString(QStringLiteral("en"));
        if (!readDate(o, "published", &b.published, error, where) ||
            !readDate(o, "updated", &b.updated, error, where))
            return false;
        for (const QJsonValue& pv : o.value(QStringLiteral("posts")).toArray()) {
            StandinPost p;
            if (!readPost(pv.toObject(), &p, error, where))
                return false;
            for (const StandinPost& other : b.posts) {
                if (other.id == p.id) {
                    *error = where + QStringLiteral(": repeated post id ") + p.id;
                    return false;
                }
            }
            assignUrlPath(b, p);
            b.posts.append(p);
        }
        next.blogs.append(b);
    }

    for (const QJsonValue& v : seed.value(QStringLiteral("photos")).toArray()) {
        const QJsonObject o = v.toObject();
        StandinPhoto ph;
        ph.id = o.value(QStringLiteral("id")).toString();
        ph.ownerId = o.value(QStringLiteral("owner")).toString();
        const StandinAccount* owner = next.account(ph.ownerId);
        if (ph.id.isEmpty() || !owner) {
            *error = QStringLiteral("photo \"%1\" has no id or an unknown owner").arg(ph.id);
            return false;
        }
        ph.albumId = o.value(QStringLiteral("albumId")).toString(owner->albumId);
        ph.fileName = o.value(QStringLiteral("fileName")).toString(QStringLiteral("image.png"));
        ph.contentType =
            o.value(QStringLiteral("contentType")).toString(QStringLiteral("image/png")).toUtf8();
        ph.data = QByteArray::fromBase64(o.value(QStringLiteral("data")).toString().toLatin1());
        ph.width = o.value(QStringLiteral("width")).toInt();
        ph.height = o.value(QStringLiteral("height")).toInt();
        if (!readDate(o, "published", &ph.published, error, QStringLiteral("photo ") + ph.id))
            return false;
        next.photos.append(ph);
    }

    next.revision = revision + 1;
    *this = next;
    return true;
}

void StandinState::clear()
{
    *this = StandinState();
}

const StandinAccount* StandinState::account(const QString& id) const
{
    for (const StandinAccount& a : accounts) {
        if (a.id == id)
            return &a;
    }
    return nullptr;
}

StandinBlog* StandinState::blog(const QString& id)
{
    for (StandinBlog& b : blogs) {
        if (b.id == id)
            return &b;
    }
    return nullptr;
}

const StandinBlog* StandinState::blog(const QString& id) const
{
    return const_cast<StandinState*>(this)->blog(id);
}

StandinBlog* StandinState::blogByPath(const QString& path)
{
    for (StandinBlog& b : blogs) {
        if (b.path.compare(path, Qt::CaseInsensitive) == 0)
            return &b;
    }
    return nullptr;
}

StandinPost* StandinState::post(StandinBlog& blog, const QString& id)
{
    for (StandinPost& p : blog.posts) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

const StandinPhoto* StandinState::photo(const QString& id) const
{
    for (const StandinPhoto& p : photos) {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

bool StandinState::idInUse(const QString& id) const
{
    for (const StandinBlog& b : blogs) {
        if (b.id == id)
            return true;
        for (const StandinPost& p : b.posts) {
            if (p.id == id)
                return true;
            for (const StandinComment& c : p.comments) {
                if (c.id == id)
                    return true;
            }
        }
    }
    for (const StandinPhoto& p : photos) {
        if (p.id == id)
            return true;
    }
    return false;
}

QString StandinState::newId(int digits) const
{
    for (;;) {
        QString id = QString::number(QRandomGenerator::global()->bounded(1, 10));
        while (id.size() < digits)
            id += QString::number(QRandomGenerator::global()->bounded(0, 10));
        if (!idInUse(id))
            return id;
    }
}

QString StandinState::randomToken(int length) const
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    QString out;
    for (int i = 0; i < length; ++i)
        out += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof(alphabet) - 1))]);
    return out;
}

QString StandinState::issueCode(const QString& accountId, const QString& clientId, const QString& redirectUri,
                                const QString& scope)
{
    const QString code = QStringLiteral("4/0Ad") + randomToken(40);
    codes.insert(code, StandinGrant{accountId, scope, clientId, redirectUri, false});
    markChanged();
    return code;
}

QString StandinState::issueAccessToken(const QString& accountId, const QString& scope,
                                       const QString& clientId)
{
    const QString token = QStringLiteral("ya29.a0Standin") + randomToken(48);
    accessTokens.insert(token, StandinGrant{accountId, scope, clientId, QString(), false});
    markChanged();
    return token;
}

QString StandinState::issueRefreshToken(const QString& accountId, const QString& scope,
                                        const QString& clientId)
{
    const QString token = QStringLiteral("1//0gStandin") + randomToken(40);
    refreshTokens.insert(token, StandinGrant{accountId, scope, clientId, QString(), false});
    markChanged();
    return token;
}

QString StandinState::accountForAccessToken(const QString& token) const
{
    const auto it = accessTokens.constFind(token);
    if (it == accessTokens.constEnd() || it->spent || !account(it->accountId))
        return {};
    return it->accountId;
}

void StandinState::assignUrlPath(const StandinBlog& blog, StandinPost& post)
{
    if (post.draft || !post.urlPath.isEmpty())
        return;
    QString slug;
    for (const QChar ch : post.title.toLower()) {
        if ((ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
            (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')))
            slug += ch;
        else if (!slug.isEmpty() && !slug.endsWith(QLatin1Char('-')))
            slug += QLatin1Char('-');
        if (slug.size() >= 40)
            break;
    }
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    if (slug.isEmpty())
        slug = QStringLiteral("blog-post");
    const QDateTime local = post.published.toUTC().addSecs(qint64(blog.utcOffsetMinutes) * 60);
    const QString prefix = local.toString(QStringLiteral("yyyy/MM/"));
    QString candidate = prefix + slug + QStringLiteral(".html");
    for (int n = 1;; ++n) {
        bool taken = false;
        for (const StandinPost& other : blog.posts) {
            if (other.id != post.id && other.urlPath == candidate)
                taken = true;
        }
        if (!taken)
            break;
        candidate = prefix + slug + QStringLiteral("_%1.html").arg(n);
    }
    post.urlPath = candidate;
}

bool StandinState::isReservedPath(const QString& path)
{
    static const QStringList reserved{"feeds",  "o",         "oauth2",      "blogger", "data",
                                      "photos", "comment.g", "favicon.ico", "standin"};
    return reserved.contains(path.toLower());
}

bool StandinState::isUsablePath(const QString& path)
{
    static const QRegularExpression pathRe(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9-]*$"));
    return pathRe.match(path).hasMatch() && !isReservedPath(path);
}
