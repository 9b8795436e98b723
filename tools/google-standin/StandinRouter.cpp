#include "StandinRouter.h"

#include "StandinAtomReader.h"
#include "StandinAtomWriter.h"
#include "StandinDates.h"
#include "StandinErrors.h"
#include "StandinJsonWriter.h"
#include "StandinPages.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

namespace {

const QByteArray JsonType = "application/json; charset=UTF-8";
const QByteArray HtmlType = "text/html; charset=UTF-8";
const QByteArray AtomEntryType = "application/atom+xml; charset=UTF-8; type=entry";
const QByteArray AtomFeedType = "application/atom+xml; charset=UTF-8; type=feed";
const QString OobRedirect = QStringLiteral("urn:ietf:wg:oauth:2.0:oob");

// One field of a form body, kept both as sent and decoded: clients send either.
struct FormField
{
    QString raw;
    QString decoded;
    bool is(const QString& value) const { return raw == value || decoded == value; }
};

QHash<QString, FormField> parseForm(const QByteArray& body)
{
    QHash<QString, FormField> out;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        QByteArray name = eq < 0 ? pair : pair.left(eq);
        const QByteArray raw = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        QByteArray plus = raw;
        plus.replace('+', ' ');
        name.replace('+', ' ');
        const QString key = QString::fromUtf8(QByteArray::fromPercentEncoding(name));
        if (!out.contains(key))
            out.insert(key, FormField{QString::fromUtf8(raw),
                                      QString::fromUtf8(QByteArray::fromPercentEncoding(plus))});
    }
    return out;
}

bool isLoopbackRedirect(const QString& uri)
{
    const QUrl url(uri);
    return url.isValid() && url.scheme() == QLatin1String("http") &&
           (url.host() == QLatin1String("127.0.0.1") || url.host() == QLatin1String("localhost"));
}

bool parsePositive(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1)
        return false;
    *value = v;
    return true;
}

bool isGData2(const LoggedRequest& request)
{
    return request.header("GData-Version").trimmed().startsWith('2');
}

// Reads the Atom entry of a post body; the refusal when there is none.
std::optional<StandinResponse> readPostEntry(const LoggedRequest& request, StandinAtomReader::Entry* entry)
{
    const QByteArray type = request.header("Content-Type").toLower();
    if (!type.isEmpty() && !type.contains("xml"))
        return StandinErrors::feedError(415, QStringLiteral("Content-Type %1 is not a valid input type.")
                                                 .arg(QString::fromUtf8(request.header("Content-Type"))));
    QString error;
    if (!StandinAtomReader::read(request.body, entry, &error))
        return StandinErrors::feedError(400, QStringLiteral("Invalid post entry: ") + error);
    return std::nullopt;
}

StandinResponse htmlNotFound()
{
    return StandinResponse::make(
        404, HtmlType,
        "<!DOCTYPE html>\n<html lang=en>\n<meta charset=utf-8>\n<title>Error 404 (Not Found)!!1</title>\n"
        "<p><b>404.</b> <ins>That\xE2\x80\x99s an error.</ins>\n<p>The requested URL was not found on this "
        "server. "
        "<ins>That\xE2\x80\x99s all we know.</ins>\n");
}

StandinResponse methodNotAllowed(bool json)
{
    return json ? StandinErrors::jsonError(405, "httpMethodNotAllowed", "Method Not Allowed")
                : StandinErrors::feedError(405, "Method not allowed");
}

// How a route answers a method it does not serve.
enum class Refusal
{
    HtmlNotAllowed,
    JsonNotAllowed,
    FeedNotAllowed,
    HtmlNotFound,
};

StandinResponse refuse(Refusal refusal)
{
    switch (refusal) {
    case Refusal::HtmlNotAllowed:
        return StandinResponse::make(405, HtmlType, "Method not allowed");
    case Refusal::JsonNotAllowed:
        return methodNotAllowed(true);
    case Refusal::FeedNotAllowed:
        return methodNotAllowed(false);
    case Refusal::HtmlNotFound:
        break;
    }
    return htmlNotFound();
}

// Whether the path segments fit a pattern such as "feeds/*/posts/default/*": "*" takes any one segment and
// hands it on in args, a last "**" takes any number of them, none included.
bool matchRoute(const char* pattern, const QStringList& segments, QStringList* args)
{
    const QStringList parts = QString::fromLatin1(pattern).split(QLatin1Char('/'));
    args->clear();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i] == QLatin1String("**"))
            return true;
        if (i >= segments.size())
            return false;
        if (parts[i] == QLatin1String("*"))
            args->append(segments[i]);
        else if (parts[i] != segments[i])
            return false;
    }
    return parts.size() == segments.size();
}

} // namespace

// One request on its way to a handler: the method after any override, and what the pattern's "*" took.
struct StandinRouter::RouteCall
{
    const LoggedRequest& request;
    const QByteArray& method;
    const QStringList& args;
};

StandinRouter::StandinRouter(StandinState& state, const StandinConfig& config)
    : m_state(state), m_config(config)
{
}

QStringList StandinRouter::knownScopes()
{
    return {QStringLiteral("http://www.blogger.com/feeds"),
            QStringLiteral("https://www.blogger.com/feeds"),
            QStringLiteral("https://www.blogger.com/feeds/"),
            QStringLiteral("https://www.googleapis.com/auth/blogger"),
            QStringLiteral("https://www.googleapis.com/auth/blogger.readonly"),
            QStringLiteral("https://picasaweb.google.com/data"),
            QStringLiteral("https://picasaweb.google.com/data/"),
            QStringLiteral("https://www.googleapis.com/auth/userinfo.profile"),
            QStringLiteral("https://www.googleapis.com/auth/userinfo.email"),
            QStringLiteral("profile"),
            QStringLiteral("email"),
            QStringLiteral("openid")};
}

StandinResponse StandinRouter::route(const LoggedRequest& request)
{
    QByteArray method = request.method;
    const QByteArray override = request.header("X-HTTP-Method-Override").trimmed().toUpper();
    if (method == "POST" && !override.isEmpty())
        method = override;

    QStringList segments;
    for (const QByteArray& s : request.path().split('/')) {
        if (!s.isEmpty())
            segments.append(QString::fromUtf8(QByteArray::fromPercentEncoding(s)));
    }

    using R = StandinRouter;
    struct Route
    {
        const char* pattern; // see matchRoute()
        const char* methods; // those served, separated by blanks; null: the handler sorts them out
        Refusal refusal;     // for any other method
        StandinResponse (*handler)(StandinRouter& router, const RouteCall& call);
    };
    // The first match wins.
    static const Route routes[] = {
        {"o/oauth2/auth", "GET", Refusal::HtmlNotAllowed,
         [](R& r, const RouteCall& c) { return r.consent(c.request); }},
        {"o/oauth2/approval", "GET", Refusal::HtmlNotAllowed,
         [](R& r, const RouteCall& c) { return r.approval(c.request); }},
        {"o/oauth2/token", nullptr, Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.token(c.request); }},
        {"oauth2/v3/token", nullptr, Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.token(c.request); }},
        {"oauth2/v1/userinfo", "GET", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.userInfo(c.request); }},
        {"oauth2/v2/userinfo", "GET", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.userInfo(c.request); }},
        {"blogger/v3/users/self/blogs", "GET", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.blogList(c.request); }},
        {"blogger/v3/blogs/*/posts/*", "DELETE", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.deletePostJson(c.request, c.args[0], c.args[1]); }},
        {"blogger/v3/blogs/*/posts/*/comments", "GET", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.commentsJson(c.request, c.args[0], c.args[1]); }},
        {"blogger/v3/blogs/*/posts/*/comments/*", "GET", Refusal::JsonNotAllowed,
         [](R& r, const RouteCall& c) { return r.commentJson(c.request, c.args[0], c.args[1], c.args[2]); }},
        {"blogger/v3/**", nullptr, Refusal::JsonNotAllowed,
         [](R&, const RouteCall&) { return StandinErrors::notFound(); }},
        {"feeds/*/posts/default", nullptr, Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) { return r.postsFeed(c.request, c.method, c.args[0]); }},
        {"feeds/*/posts/default/*", nullptr, Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) { return r.postEntry(c.request, c.method, c.args[0], c.args[1]); }},
        {"feeds/*/*/comments/default", "POST", Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) { return r.addComment(c.request, c.args[0], c.args[1]); }},
        {"feeds/*/*/comments/default/*", "DELETE", Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) {
             return r.deleteComment(c.request, c.args[0], c.args[1], c.args[2]);
         }},
        {"feeds/**", nullptr, Refusal::FeedNotAllowed,
         [](R&, const RouteCall&) { return StandinErrors::feedError(404, QStringLiteral("Not found")); }},
        {"data/feed/api/user/*/albumid/*", "POST", Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) { return r.uploadPhoto(c.request, c.args[0], c.args[1]); }},
        {"photos/*/**", "GET HEAD", Refusal::FeedNotAllowed,
         [](R& r, const RouteCall& c) { return r.servePhoto(c.args[0]); }},
        {"img/*", "GET HEAD", Refusal::HtmlNotFound,
         [](R&, const RouteCall&) {
             // Profile pictures and icons: one transparent pixel stands in for all of them.
             static const QByteArray pixel =
                 QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");
             return StandinResponse::make(200, "image/gif", pixel);
         }},
    };
    QStringList args;
    for (const Route& route : routes) {
        if (!matchRoute(route.pattern, segments, &args))
            continue;
        if (route.methods && !QByteArray(route.methods).split(' ').contains(method))
            return refuse(route.refusal);
        return route.handler(*this, RouteCall{request, method, args});
    }

    if (!segments.isEmpty() && (method == "GET" || method == "HEAD") && m_state.blogByPath(segments.first()))
        return blogPage(segments);
    return htmlNotFound();
}

// ---- OAuth ---------------------------------------------------------------------------------------------

bool StandinRouter::checkAuthParameters(const LoggedRequest& request, StandinResponse* failure)
{
    auto fail = [&](int status, const QString& error, const QString& description) {
        *failure =
            StandinResponse::make(status, HtmlType, StandinPages::oauthErrorPage(status, error, description));
        return false;
    };
    const QString clientId = request.queryValue(QStringLiteral("client_id"));
    if (clientId.isEmpty())
        return fail(400, QStringLiteral("invalid_request"),
                    QStringLiteral("Missing required parameter: client_id"));
    if (clientId != m_config.clientId)
        return fail(401, QStringLiteral("invalid_client"), QStringLiteral("The OAuth client was not found."));
    const QString redirect = request.queryValue(QStringLiteral("redirect_uri"));
    if (redirect.isEmpty())
        return fail(400, QStringLiteral("invalid_request"),
                    QStringLiteral("Missing required parameter: redirect_uri"));
    if (redirect != OobRedirect && redirect != OobRedirect + QStringLiteral(":auto") &&
        !isLoopbackRedirect(redirect))
        return fail(400, QStringLiteral("redirect_uri_mismatch"),
                    QStringLiteral("The redirect URI in the request, ") + redirect +
                        QStringLiteral(", does not match the ones authorized for the OAuth client."));
    const QString responseType = request.queryValue(QStringLiteral("response_type"));
    if (responseType.isEmpty())
        return fail(400, QStringLiteral("invalid_request"),
                    QStringLiteral("Required parameter is missing: response_type"));
    if (responseType != QLatin1String("code"))
        return fail(400, QStringLiteral("unsupported_response_type"),
                    QStringLiteral("Invalid response_type: ") + responseType);
    const QStringList scopes =
        request.queryValue(QStringLiteral("scope")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (scopes.isEmpty())
        return fail(400, QStringLiteral("invalid_request"),
                    QStringLiteral("Missing required parameter: scope"));
    const QStringList accepted = knownScopes() + m_config.scope.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList invalid;
    for (const QString& s : scopes) {
        if (!accepted.contains(s))
            invalid.append(s);
    }
    if (!invalid.isEmpty())
        return fail(400, QStringLiteral("invalid_scope"),
                    QStringLiteral("Some requested scopes were invalid. {invalid=[") +
                        invalid.join(QStringLiteral(", ")) + QStringLiteral("]}"));
    return true;
}

StandinResponse StandinRouter::consent(const LoggedRequest& request)
{
    StandinResponse failure;
    if (!checkAuthParameters(request, &failure))
        return failure;
    QList<QPair<QString, QString>> fields;
    for (const char* key : {"client_id", "redirect_uri", "response_type", "scope", "state"}) {
        const QString k = QLatin1String(key);
        if (request.hasQueryKey(k))
            fields.append({k, request.queryValue(k)});
    }
    QString chosen = request.queryValue(QStringLiteral("login_hint"));
    if (!m_state.account(chosen))
        chosen = m_config.consentAccountId;
    if (!m_state.account(chosen) && !m_state.accounts.isEmpty())
        chosen = m_state.accounts.first().id;
    return StandinResponse::make(200, HtmlType,
                                 StandinPages::consentPage(fields, m_state.accounts, chosen,
                                                           request.queryValue(QStringLiteral("scope"))));
}

StandinResponse StandinRouter::approval(const LoggedRequest& request)
{
    StandinResponse failure;
    if (!checkAuthParameters(request, &failure))
        return failure;
    const QString state = request.queryValue(QStringLiteral("state"));
    const QString redirect = request.queryValue(QStringLiteral("redirect_uri"));
    const bool oob = !isLoopbackRedirect(redirect);
    if (request.queryValue(QStringLiteral("decision")) != QLatin1String("allow")) {
        if (oob)
            return StandinResponse::make(200, HtmlType, StandinPages::deniedPage(state));
        QUrl target(redirect);
        target.setQuery(QStringLiteral("error=access_denied&state=") +
                        QString::fromUtf8(QUrl::toPercentEncoding(state)));
        StandinResponse r = StandinResponse::make(302, HtmlType, QByteArray());
        r.setHeader("Location", target.toEncoded());
        return r;
    }
    QString accountId = request.queryValue(QStringLiteral("account"));
    if (!m_state.account(accountId))
        accountId = m_state.account(m_config.consentAccountId) ? m_config.consentAccountId : QString();
    if (accountId.isEmpty() && !m_state.accounts.isEmpty())
        accountId = m_state.accounts.first().id;
    if (accountId.isEmpty())
        return StandinResponse::make(
            400, HtmlType,
            StandinPages::oauthErrorPage(400, QStringLiteral("access_denied"),
                                         QStringLiteral("No account to sign in with.")));
    const QString scope = request.queryValue(QStringLiteral("scope"));
    const QString code =
        m_state.issueCode(accountId, request.queryValue(QStringLiteral("client_id")), redirect, scope);
    if (oob)
        return StandinResponse::make(200, HtmlType, StandinPages::successPage(state, code));
    QUrl target(redirect);
    QString query = QStringLiteral("code=") + QString::fromUtf8(QUrl::toPercentEncoding(code)) +
                    QStringLiteral("&scope=") + QString::fromUtf8(QUrl::toPercentEncoding(scope));
    if (!state.isEmpty())
        query += QStringLiteral("&state=") + QString::fromUtf8(QUrl::toPercentEncoding(state));
    target.setQuery(query);
    StandinResponse r = StandinResponse::make(302, HtmlType, QByteArray());
    r.setHeader("Location", target.toEncoded());
    return r;
}

StandinResponse StandinRouter::token(const LoggedRequest& request)
{
    if (request.method != "POST")
        return StandinErrors::tokenError(405, QStringLiteral("invalid_request"),
                                         QStringLiteral("Invalid request method."));
    const QHash<QString, FormField> form = parseForm(request.body);
    const FormField grantType = form.value(QStringLiteral("grant_type"));
    const FormField clientId = form.value(QStringLiteral("client_id"));
    const FormField clientSecret = form.value(QStringLiteral("client_secret"));
    if (!form.contains(QStringLiteral("client_id")) || !clientId.is(m_config.clientId))
        return StandinErrors::tokenError(401, QStringLiteral("invalid_client"),
                                         QStringLiteral("The OAuth client was not found."));
    if (!clientSecret.is(m_config.clientSecret))
        return StandinErrors::tokenError(401, QStringLiteral("invalid_client"),
                                         QStringLiteral("Unauthorized"));

    if (grantType.is(QStringLiteral("authorization_code"))) {
        const FormField code = form.value(QStringLiteral("code"));
        QString key = m_state.codes.contains(code.raw) ? code.raw : code.decoded;
        auto it = m_state.codes.find(key);
        if (key.isEmpty() || it == m_state.codes.end())
            return StandinErrors::tokenError(400, QStringLiteral("invalid_grant"),
                                             QStringLiteral("Malformed auth code."));
        if (it->spent)
            return StandinErrors::tokenError(400, QStringLiteral("invalid_grant"),
                                             QStringLiteral("Bad Request"));
        if (!form.value(QStringLiteral("redirect_uri")).is(it->redirectUri))
            return StandinErrors::tokenError(400, QStringLiteral("redirect_uri_mismatch"),
                                             QStringLiteral("Bad Request"));
        it->spent = true;
        m_state.markChanged();
        const StandinGrant grant = *it;
        const QString access = m_state.issueAccessToken(grant.accountId, grant.scope, m_config.clientId);
        const QString refresh = m_state.issueRefreshToken(grant.accountId, grant.scope, m_config.clientId);
        return StandinResponse::make(200, JsonType,
                                     StandinJsonWriter::tokenReply(access, refresh, grant.scope));
    }
    if (grantType.is(QStringLiteral("refresh_token"))) {
        const FormField token = form.value(QStringLiteral("refresh_token"));
        const QString key = m_state.refreshTokens.contains(token.raw) ? token.raw : token.decoded;
        const auto it = m_state.refreshTokens.constFind(key);
        if (key.isEmpty() || it == m_state.refreshTokens.constEnd())
            return StandinErrors::tokenError(400, QStringLiteral("invalid_grant"),
                                             QStringLiteral("Bad Request"));
        if (it->spent || !m_state.account(it->accountId))
            return StandinErrors::tokenError(400, QStringLiteral("invalid_grant"),
                                             QStringLiteral("Token has been expired or revoked."));
        const StandinGrant grant = *it;
        const QString access = m_state.issueAccessToken(grant.accountId, grant.scope, m_config.clientId);
        return StandinResponse::make(200, JsonType,
                                     StandinJsonWriter::tokenReply(access, QString(), grant.scope));
    }
    return StandinErrors::tokenError(400, QStringLiteral("unsupported_grant_type"),
                                     QStringLiteral("Invalid grant_type: ") + grantType.decoded);
}

StandinRouter::Target StandinRouter::caller(const LoggedRequest& request, bool json) const
{
    Target t;
    const QByteArray header = request.header("Authorization").trimmed();
    const int space = header.indexOf(' ');
    if (space > 0) {
        const QByteArray scheme = header.left(space).toLower();
        if (scheme == "oauth" || scheme == "bearer")
            t.accountId = m_state.accountForAccessToken(QString::fromUtf8(header.mid(space + 1).trimmed()));
    }
    if (t.accountId.isEmpty())
        t.failure = json ? StandinErrors::invalidCredentials() : StandinErrors::feedTokenInvalid();
    return t;
}

StandinRouter::Target StandinRouter::callerBlog(const LoggedRequest& request, bool json,
                                                const QString& blogId)
{
    Target t = caller(request, json);
    if (t.failure)
        return t;
    t.blog = m_state.blog(blogId);
    if (!t.blog) {
        t.failure = json ? StandinErrors::notFound()
                         : StandinErrors::feedError(404, QStringLiteral("Blog not found"));
    } else if (t.blog->ownerId != t.accountId) {
        t.failure =
            json ? StandinErrors::jsonError(403, QStringLiteral("forbidden"),
                                            QStringLiteral("We're sorry, but you don't have permission to "
                                                           "access this resource."))
                 : StandinErrors::feedError(
                       403, QStringLiteral("User does not have permission to access this blog"));
    }
    return t;
}

StandinRouter::Target StandinRouter::callerPost(const LoggedRequest& request, bool json,
                                                const QString& blogId, const QString& postId)
{
    Target t = callerBlog(request, json, blogId);
    if (t.failure)
        return t;
    t.post = StandinState::post(*t.blog, postId);
    if (!t.post)
        t.failure = json ? StandinErrors::notFound()
                         : StandinErrors::feedError(404, QStringLiteral("Post not found"));
    return t;
}

StandinResponse StandinRouter::userInfo(const LoggedRequest& request)
{
    const Target t = caller(request, true);
    if (t.failure)
        return *t.failure;
    return StandinResponse::make(
        200, JsonType, StandinJsonWriter::userInfo(*m_state.account(t.accountId), m_config.baseUrl));
}

StandinResponse StandinRouter::blogList(const LoggedRequest& request)
{
    const Target t = caller(request, true);
    if (t.failure)
        return *t.failure;
    QList<const StandinBlog*> blogs;
    for (const StandinBlog& b : m_state.blogs) {
        if (b.ownerId == t.accountId)
            blogs.append(&b);
    }
    return StandinResponse::make(200, JsonType, StandinJsonWriter::blogList(blogs, m_config.baseUrl));
}

// ---- Blogger JSON v3 -----------------------------------------------------------------------------------

StandinResponse StandinRouter::deletePostJson(const LoggedRequest& request, const QString& blogId,
                                              const QString& postId)
{
    const Target t = callerPost(request, true, blogId, postId);
    if (t.failure)
        return *t.failure;
    t.blog->posts.removeIf([&](const StandinPost& p) { return p.id == postId; });
    m_state.markChanged();
    return StandinResponse::make(204, QByteArray(), QByteArray());
}

StandinResponse StandinRouter::commentsJson(const LoggedRequest& request, const QString& blogId,
                                            const QString& postId)
{
    const Target t = callerPost(request, true, blogId, postId);
    if (t.failure)
        return *t.failure;

    int maxResults = 20;
    if (request.hasQueryKey(QStringLiteral("maxResults"))) {
        const QString text = request.queryValue(QStringLiteral("maxResults"));
        if (!parsePositive(text, &maxResults) || maxResults > 500)
            return StandinErrors::jsonError(
                400, QStringLiteral("invalid"),
                QStringLiteral("Invalid value '%1'. Values must be within the range: [1, 500]").arg(text));
    }
    int offset = 0;
    const QString pageToken = request.queryValue(QStringLiteral("pageToken"));
    if (!pageToken.isEmpty()) {
        const QByteArray decoded =
            QByteArray::fromBase64(pageToken.toLatin1(), QByteArray::Base64UrlEncoding);
        bool ok = false;
        offset = decoded.startsWith("offset:") ? decoded.mid(7).toInt(&ok) : -1;
        if (!ok || offset < 0)
            return StandinErrors::jsonError(400, QStringLiteral("invalid"),
                                            QStringLiteral("Invalid pageToken"));
    }
    QList<const StandinComment*> sorted;
    for (const StandinComment& c : t.post->comments)
        sorted.append(&c);
    std::stable_sort(sorted.begin(), sorted.end(), [](const StandinComment* a, const StandinComment* b) {
        return a->published < b->published;
    });
    QList<QJsonObject> items;
    for (int i = offset; i < sorted.size() && items.size() < maxResults; ++i)
        items.append(StandinJsonWriter::comment(*t.blog, *t.post, *sorted[i], m_config.baseUrl));
    QString next;
    if (qint64(offset) + maxResults < sorted.size()) { // a token near INT_MAX must not wrap
        next = QString::fromLatin1(
            ("offset:" + QByteArray::number(offset + maxResults)).toBase64(QByteArray::Base64UrlEncoding));
    }
    return StandinResponse::make(200, JsonType, StandinJsonWriter::commentList(items, next));
}

StandinResponse StandinRouter::commentJson(const LoggedRequest& request, const QString& blogId,
                                           const QString& postId, const QString& commentId)
{
    const Target t = callerPost(request, true, blogId, postId);
    if (t.failure)
        return *t.failure;
    for (const StandinComment& c : t.post->comments) {
        if (c.id == commentId) {
            return StandinResponse::make(200, JsonType,
                                         StandinJsonWriter::toBytes(StandinJsonWriter::comment(
                                             *t.blog, *t.post, c, m_config.baseUrl)));
        }
    }
    return StandinErrors::notFound();
}

// ---- Atom feeds ----------------------------------------------------------------------------------------

StandinResponse StandinRouter::atomEntryReply(int status, const StandinBlog& blog, const StandinPost& post,
                                              bool gdata2)
{
    const StandinAccount* owner = m_state.account(blog.ownerId);
    StandinResponse r = StandinResponse::make(
        status, AtomEntryType, StandinAtomWriter::postEntry(blog, post, *owner, m_config.baseUrl, gdata2));
    if (gdata2) {
        r.setHeader(
            "ETag",
            StandinAtomWriter::etag(blog.id + post.id + StandinDates::write(post.updated, 0)).toUtf8());
    }
    if (status == 201) {
        r.setHeader("Location", (m_config.baseUrl + QStringLiteral("/feeds/") + blog.id +
                                 QStringLiteral("/posts/default/") + post.id)
                                    .toUtf8());
    }
    return r;
}

StandinResponse StandinRouter::postsFeed(const LoggedRequest& request, const QByteArray& method,
                                         const QString& blogId)
{
    if (method != "GET" && method != "POST")
        return methodNotAllowed(false);
    const Target t = callerBlog(request, false, blogId);
    if (t.failure)
        return *t.failure;
    const bool gdata2 = isGData2(request);

    if (method == "POST") {
        StandinAtomReader::Entry entry;
        if (const auto refusal = readPostEntry(request, &entry))
            return *refusal;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        StandinPost post;
        post.id = m_state.newId();
        post.title = entry.title;
        post.content = entry.content;
        post.labels = entry.labels;
        post.draft = entry.draft;
        post.updated = now;
        post.published = entry.hasPublished ? entry.published : now;
        StandinState::assignUrlPath(*t.blog, post);
        t.blog->posts.prepend(post);
        m_state.markChanged();
        return atomEntryReply(201, *t.blog, t.blog->posts.first(), gdata2);
    }

    QString orderBy = request.queryValue(QStringLiteral("orderby"));
    if (!orderBy.isEmpty() && orderBy != QLatin1String("updated") && orderBy != QLatin1String("published"))
        return StandinErrors::feedError(400, QStringLiteral("Invalid orderby parameter: ") + orderBy);
    int maxResults = 25;
    if (request.hasQueryKey(QStringLiteral("max-results"))) {
        const QString text = request.queryValue(QStringLiteral("max-results"));
        if (!parsePositive(text, &maxResults))
            return StandinErrors::feedError(400, QStringLiteral("Invalid max-results parameter: ") + text);
        maxResults = qMin(maxResults, 500);
    }
    int startIndex = 1;
    if (request.hasQueryKey(QStringLiteral("start-index"))) {
        const QString text = request.queryValue(QStringLiteral("start-index"));
        if (!parsePositive(text, &startIndex))
            return StandinErrors::feedError(400, QStringLiteral("Invalid start-index parameter: ") + text);
    }
    QList<const StandinPost*> sorted;
    for (const StandinPost& p : t.blog->posts)
        sorted.append(&p);
    const bool byUpdated = orderBy == QLatin1String("updated");
    std::stable_sort(sorted.begin(), sorted.end(), [byUpdated](const StandinPost* a, const StandinPost* b) {
        const QDateTime& da = byUpdated ? a->updated : a->published;
        const QDateTime& db = byUpdated ? b->updated : b->published;
        if (da != db)
            return da > db;
        return a->id > b->id;
    });
    StandinAtomWriter::FeedPage page;
    page.totalResults = int(sorted.size());
    page.startIndex = startIndex;
    page.itemsPerPage = maxResults;
    page.orderBy = orderBy;
    for (qsizetype i = startIndex - 1; i < sorted.size() && page.posts.size() < maxResults; ++i)
        page.posts.append(sorted[i]);
    const StandinAccount* owner = m_state.account(t.blog->ownerId);
    return StandinResponse::make(
        200, AtomFeedType, StandinAtomWriter::postsFeed(*t.blog, page, *owner, m_config.baseUrl, gdata2));
}

StandinResponse StandinRouter::postEntry(const LoggedRequest& request, const QByteArray& method,
                                         const QString& blogId, const QString& postId)
{
    if (method != "GET" && method != "PUT" && method != "DELETE")
        return methodNotAllowed(false);
    const Target t = callerPost(request, false, blogId, postId);
    if (t.failure)
        return *t.failure;
    const bool gdata2 = isGData2(request);

    if (method == "GET")
        return atomEntryReply(200, *t.blog, *t.post, gdata2);
    if (method == "DELETE") {
        t.blog->posts.removeIf([&](const StandinPost& p) { return p.id == postId; });
        m_state.markChanged();
        return StandinResponse::make(200, QByteArray(), QByteArray());
    }
    StandinAtomReader::Entry entry;
    if (const auto refusal = readPostEntry(request, &entry))
        return *refusal;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool wasDraft = t.post->draft;
    t.post->title = entry.title;
    t.post->content = entry.content;
    t.post->labels = entry.labels;
    t.post->draft = entry.draft;
    if (entry.hasPublished)
        t.post->published = entry.published;
    else if (wasDraft && !entry.draft)
        t.post->published = now; // a draft goes live now
    t.post->updated = now;
    StandinState::assignUrlPath(*t.blog, *t.post);
    m_state.markChanged();
    return atomEntryReply(200, *t.blog, *t.post, gdata2);
}

StandinResponse StandinRouter::addComment(const LoggedRequest& request, const QString& blogId,
                                          const QString& postId)
{
    const Target t = callerPost(request, false, blogId, postId);
    if (t.failure)
        return *t.failure;
    if (t.post->draft)
        return StandinErrors::feedError(400, QStringLiteral("Comments are not allowed on a draft post"));
    StandinAtomReader::Entry entry;
    QString error;
    if (!StandinAtomReader::read(request.body, &entry, &error))
        return StandinErrors::feedError(400, QStringLiteral("Invalid comment entry: ") + error);
    if (entry.content.trimmed().isEmpty())
        return StandinErrors::feedError(400, QStringLiteral("Comment content is required"));
    const StandinAccount* author = m_state.account(t.accountId);
    StandinComment comment;
    comment.id = m_state.newId();
    comment.authorId = author->profileId;
    comment.authorName = author->name;
    comment.authorImage = author->picture;
    comment.published = comment.updated = QDateTime::currentDateTimeUtc();
    comment.content = entry.content;
    t.post->comments.append(comment);
    m_state.markChanged();
    StandinResponse r = StandinResponse::make(
        201, AtomEntryType,
        StandinAtomWriter::commentEntry(*t.blog, *t.post, t.post->comments.last(), m_config.baseUrl));
    r.setHeader("Location", (m_config.baseUrl + QStringLiteral("/feeds/") + t.blog->id + QLatin1Char('/') +
                             t.post->id + QStringLiteral("/comments/default/") + comment.id)
                                .toUtf8());
    return r;
}

StandinResponse StandinRouter::deleteComment(const LoggedRequest& request, const QString& blogId,
                                             const QString& postId, const QString& commentId)
{
    const Target t = callerPost(request, false, blogId, postId);
    if (t.failure)
        return *t.failure;
    if (t.post->comments.removeIf([&](const StandinComment& c) { return c.id == commentId; }) == 0)
        return StandinErrors::feedError(404, QStringLiteral("Comment not found"));
    m_state.markChanged();
    return StandinResponse::make(200, QByteArray(), QByteArray());
}

// ---- Photos --------------------------------------------------------------------------------------------

StandinResponse StandinRouter::uploadPhoto(const LoggedRequest& request, const QString& user,
                                           const QString& album)
{
    const Target t = caller(request, false);
    if (t.failure)
        return *t.failure;
    const StandinAccount* account = m_state.account(t.accountId);
    if ((user != QLatin1String("default") && user != account->id) ||
        (album != QLatin1String("default") && album != account->albumId))
        return StandinErrors::feedError(403, QStringLiteral("Not authorized to upload to this album"));
    const QByteArray type = request.header("Content-Type").split(';').value(0).trimmed().toLower();
    if (!type.startsWith("image/"))
        return StandinErrors::feedError(400, QStringLiteral("Content-Type %1 is not a valid input type.")
                                                 .arg(QString::fromUtf8(request.header("Content-Type"))));
    if (request.body.isEmpty())
        return StandinErrors::feedError(400, QStringLiteral("Photo data or source id must be included."));
    QBuffer buffer;
    buffer.setData(request.body);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid())
        return StandinErrors::feedError(400, QStringLiteral("Not an image."));
    StandinPhoto photo;
    photo.id = m_state.newId();
    photo.ownerId = account->id;
    photo.albumId = account->albumId;
    photo.fileName = QString::fromUtf8(QByteArray::fromPercentEncoding(request.header("Slug").trimmed()));
    photo.fileName.remove(QLatin1Char('/'));
    if (photo.fileName.isEmpty())
        photo.fileName = QStringLiteral("image.") + QString::fromLatin1(type.mid(6));
    photo.contentType = type;
    photo.data = request.body;
    photo.published = QDateTime::currentDateTimeUtc();
    photo.width = size.width();
    photo.height = size.height();
    m_state.photos.append(photo);
    m_state.markChanged();
    return StandinResponse::make(201, AtomEntryType,
                                 StandinAtomWriter::photoEntry(photo, *account, m_config.baseUrl));
}

StandinResponse StandinRouter::servePhoto(const QString& photoId)
{
    const StandinPhoto* photo = m_state.photo(photoId);
    if (!photo)
        return htmlNotFound();
    StandinResponse r = StandinResponse::make(200, photo->contentType, photo->data);
    r.setHeader("Cache-Control", "public, max-age=86400");
    return r;
}

// ---- Blog pages ----------------------------------------------------------------------------------------

StandinResponse StandinRouter::blogPage(const QStringList& segments)
{
    const StandinBlog* blog = m_state.blogByPath(segments.first());
    if (segments.size() == 1)
        return StandinResponse::make(200, HtmlType, StandinPages::blogHome(*blog, m_config.baseUrl));
    const QString rest = segments.mid(1).join(QLatin1Char('/'));
    for (const StandinPost& p : blog->posts) {
        if (!p.draft && !p.isScheduled() && p.urlPath == rest)
            return StandinResponse::make(200, HtmlType, StandinPages::postPage(*blog, p, m_config.baseUrl));
    }
    // Any other address of the blog, "temp/post/title.html" among them, gets the template around a notice.
    return StandinResponse::make(404, HtmlType, StandinPages::missingPage(*blog, m_config.baseUrl));
}
