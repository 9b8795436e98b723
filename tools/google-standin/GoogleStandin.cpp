#include "GoogleStandin.h"

#include "StandinErrors.h"
#include "StandinRouter.h"
#include "StandinServer.h"
#include "StandinStateFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QThread>

static void initStandinResources()
{
    Q_INIT_RESOURCE(google_standin_seed);
}

namespace {

// Marks a token as used up: an expired access token, a revoked refresh token.
void spend(QHash<QString, StandinGrant>& grants, const QString& token)
{
    auto it = grants.find(token);
    if (it != grants.end())
        it->spent = true;
}

void spendAll(QHash<QString, StandinGrant>& grants)
{
    for (auto& grant : grants)
        grant.spent = true;
}

QStringList liveTokens(const QHash<QString, StandinGrant>& grants, const QString& accountId)
{
    QStringList out;
    for (auto it = grants.constBegin(); it != grants.constEnd(); ++it) {
        if (!it->spent && (accountId.isEmpty() || it->accountId == accountId))
            out.append(it.key());
    }
    return out;
}

} // namespace

GoogleStandin::GoogleStandin(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<LoggedRequest>();
    m_config.clientId = QStringLiteral(STANDIN_CLIENT_ID);
    m_config.clientSecret = QStringLiteral(STANDIN_CLIENT_SECRET);
    m_config.scope = QStringLiteral(STANDIN_SCOPE);
    m_seed = defaultSeed();
}

GoogleStandin::~GoogleStandin()
{
    stop();
}

QJsonObject GoogleStandin::defaultSeed()
{
    initStandinResources();
    QFile file(QStringLiteral(":/google-standin/default-seed.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

quint16 GoogleStandin::start(quint16 port)
{
    if (m_server)
        return m_port;
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("google-standin"));
    m_server = new StandinServer([this](const LoggedRequest& r, bool replay) { return handle(r, replay); });
    {
        QMutexLocker lock(&m_mutex);
        m_server->setMaxBodySize(m_maxBodySize);
    }
    m_server->moveToThread(m_thread.get());
    m_thread->start();
    quint16 bound = 0;
    QString error;
    QMetaObject::invokeMethod(
        m_server, [&] { bound = m_server->listen(port, &error); }, Qt::BlockingQueuedConnection);
    if (bound == 0) {
        {
            QMutexLocker lock(&m_mutex);
            m_error = error.isEmpty() ? QStringLiteral("cannot listen") : error;
        }
        stop();
        return 0;
    }
    QMutexLocker lock(&m_mutex);
    m_port = bound;
    m_config.baseUrl = QStringLiteral("http://127.0.0.1:%1").arg(bound);
    QString loadError;
    if (!m_pendingState.isEmpty()) {
        if (!StandinStateFile::fromJson(m_pendingState, m_config.baseUrl, &m_state, &loadError))
            m_error = QStringLiteral("state not loaded: ") + loadError;
        m_pendingState = QJsonObject();
    } else if (!m_state.loadSeed(m_seed, m_config.baseUrl, &loadError)) {
        m_error = QStringLiteral("seed not loaded: ") + loadError;
    }
    return bound;
}

void GoogleStandin::stop()
{
    if (m_server) {
        QMetaObject::invokeMethod(
            m_server, [this] { m_server->shutdown(); }, Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_server;
        m_server = nullptr;
        m_thread.reset();
    }
    QMutexLocker lock(&m_mutex);
    m_port = 0;
}

bool GoogleStandin::isRunning() const
{
    return m_server != nullptr;
}

quint16 GoogleStandin::port() const
{
    QMutexLocker lock(&m_mutex);
    return m_port;
}

QUrl GoogleStandin::serverUrl() const
{
    QMutexLocker lock(&m_mutex);
    return QUrl(m_config.baseUrl);
}

QString GoogleStandin::errorString() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

bool GoogleStandin::loadSeedFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        if (error)
            *error = path + QStringLiteral(": ") +
                     (parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                   : QStringLiteral("not a JSON object"));
        return false;
    }
    return loadSeed(doc.object(), error);
}

bool GoogleStandin::loadSeed(const QJsonObject& seed, QString* error)
{
    QMutexLocker lock(&m_mutex);
    // Checked at once, with a stand-in address if not yet listening.
    StandinState trial;
    const QString base = m_config.baseUrl.isEmpty() ? QStringLiteral("http://127.0.0.1:0") : m_config.baseUrl;
    if (!trial.loadSeed(seed, base, error))
        return false;
    m_seed = seed;
    m_pendingState = QJsonObject();
    if (!m_config.baseUrl.isEmpty()) {
        m_state = trial;
        stateChangedLocked();
    }
    return true;
}

void GoogleStandin::reset()
{
    QMutexLocker lock(&m_mutex);
    m_faults.clear();
    m_log.clear();
    if (!m_config.baseUrl.isEmpty() && m_state.loadSeed(m_seed, m_config.baseUrl, nullptr))
        stateChangedLocked();
    lock.unlock();
    releaseStalled();
}

QList<StandinAccount> GoogleStandin::accounts() const
{
    QMutexLocker lock(&m_mutex);
    return m_state.accounts;
}

QString GoogleStandin::defaultAccountId() const
{
    QMutexLocker lock(&m_mutex);
    return knownAccount(QString());
}

QString GoogleStandin::knownAccount(const QString& accountId) const
{
    if (accountId.isEmpty())
        return m_state.accounts.isEmpty() ? QString() : m_state.accounts.first().id;
    return m_state.account(accountId) ? accountId : QString();
}

QList<StandinBlog> GoogleStandin::blogs(const QString& accountId) const
{
    QMutexLocker lock(&m_mutex);
    QList<StandinBlog> out;
    for (const StandinBlog& b : m_state.blogs) {
        if (accountId.isEmpty() || b.ownerId == accountId)
            out.append(b);
    }
    return out;
}

std::optional<StandinBlog> GoogleStandin::blog(const QString& blogId) const
{
    QMutexLocker lock(&m_mutex);
    const StandinBlog* b = m_state.blog(blogId);
    return b ? std::optional<StandinBlog>(*b) : std::nullopt;
}

std::optional<StandinPost> GoogleStandin::post(const QString& blogId, const QString& postId) const
{
    QMutexLocker lock(&m_mutex);
    const StandinBlog* b = m_state.blog(blogId);
    if (!b)
        return std::nullopt;
    for (const StandinPost& p : b->posts) {
        if (p.id == postId)
            return p;
    }
    return std::nullopt;
}

QString GoogleStandin::addPost(const QString& blogId, StandinPost post)
{
    QMutexLocker lock(&m_mutex);
    StandinBlog* b = m_state.blog(blogId);
    if (!b)
        return {};
    if (post.id.isEmpty() || StandinState::post(*b, post.id))
        post.id = m_state.newId();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!post.updated.isValid())
        post.updated = now;
    if (!post.published.isValid())
        post.published = post.updated;
    StandinState::assignUrlPath(*b, post);
    b->posts.prepend(post);
    stateChangedLocked();
    return post.id;
}

bool GoogleStandin::updatePost(const QString& blogId, const StandinPost& post)
{
    QMutexLocker lock(&m_mutex);
    StandinBlog* b = m_state.blog(blogId);
    StandinPost* existing = b ? StandinState::post(*b, post.id) : nullptr;
    if (!existing)
        return false;
    *existing = post;
    StandinState::assignUrlPath(*b, *existing);
    stateChangedLocked();
    return true;
}

bool GoogleStandin::removePost(const QString& blogId, const QString& postId)
{
    QMutexLocker lock(&m_mutex);
    StandinBlog* b = m_state.blog(blogId);
    if (!b || b->posts.removeIf([&](const StandinPost& p) { return p.id == postId; }) == 0)
        return false;
    stateChangedLocked();
    return true;
}

QList<StandinPhoto> GoogleStandin::photos() const
{
    QMutexLocker lock(&m_mutex);
    return m_state.photos;
}

bool GoogleStandin::loadStateFile(const QString& path, QString* error)
{
    QString localError;
    if (!error)
        error = &localError;
    QJsonObject json;
    if (!StandinStateFile::read(path, &json, error))
        return false;
    QMutexLocker lock(&m_mutex);
    // Checked at once, with a stand-in address if not yet listening.
    const bool running = !m_config.baseUrl.isEmpty();
    StandinState trial;
    if (!StandinStateFile::fromJson(json, running ? m_config.baseUrl : QStringLiteral("http://127.0.0.1:0"),
                                    &trial, error)) {
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    if (running) {
        trial.revision = m_state.revision + 1;
        m_state = trial;
        stateChangedLocked();
    } else {
        m_pendingState = json;
    }
    return true;
}

void GoogleStandin::setStateFile(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_statePath = path;
}

QString GoogleStandin::stateFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_statePath;
}

bool GoogleStandin::saveState(QString* error)
{
    QString localError;
    if (!error)
        error = &localError;
    QMutexLocker lock(&m_mutex);
    if (m_statePath.isEmpty()) {
        *error = QStringLiteral("no state file is set");
        return false;
    }
    if (m_config.baseUrl.isEmpty()) {
        *error = QStringLiteral("the stand-in has not started, so it has no state yet");
        return false;
    }
    return writeStateLocked(error);
}

void GoogleStandin::stateChangedLocked()
{
    if (m_statePath.isEmpty())
        return;
    QString error;
    if (!writeStateLocked(&error))
        qWarning("google-standin: cannot write the state: %s", qPrintable(error));
}

bool GoogleStandin::writeStateLocked(QString* error)
{
    return StandinStateFile::write(m_statePath, m_state, m_config.baseUrl, error);
}

QString GoogleStandin::issueAccessToken(const QString& accountId)
{
    QMutexLocker lock(&m_mutex);
    const QString id = knownAccount(accountId);
    if (id.isEmpty())
        return {};
    const QString token = m_state.issueAccessToken(id, m_config.scope, m_config.clientId);
    stateChangedLocked();
    return token;
}

QString GoogleStandin::issueRefreshToken(const QString& accountId)
{
    QMutexLocker lock(&m_mutex);
    const QString id = knownAccount(accountId);
    if (id.isEmpty())
        return {};
    const QString token = m_state.issueRefreshToken(id, m_config.scope, m_config.clientId);
    stateChangedLocked();
    return token;
}

QString GoogleStandin::issueAuthorizationCode(const QString& accountId, const QString& redirectUri)
{
    QMutexLocker lock(&m_mutex);
    const QString id = knownAccount(accountId);
    if (id.isEmpty())
        return {};
    const QString code = m_state.issueCode(id, m_config.clientId, redirectUri, m_config.scope);
    stateChangedLocked();
    return code;
}

void GoogleStandin::expireAccessToken(const QString& token)
{
    QMutexLocker lock(&m_mutex);
    spend(m_state.accessTokens, token);
    stateChangedLocked();
}

void GoogleStandin::expireAllAccessTokens()
{
    QMutexLocker lock(&m_mutex);
    spendAll(m_state.accessTokens);
    stateChangedLocked();
}

void GoogleStandin::revokeRefreshToken(const QString& token)
{
    QMutexLocker lock(&m_mutex);
    spend(m_state.refreshTokens, token);
    stateChangedLocked();
}

void GoogleStandin::revokeAllRefreshTokens()
{
    QMutexLocker lock(&m_mutex);
    spendAll(m_state.refreshTokens);
    stateChangedLocked();
}

bool GoogleStandin::isAccessTokenValid(const QString& token) const
{
    QMutexLocker lock(&m_mutex);
    return !m_state.accountForAccessToken(token).isEmpty();
}

QStringList GoogleStandin::accessTokens(const QString& accountId) const
{
    QMutexLocker lock(&m_mutex);
    return liveTokens(m_state.accessTokens, accountId);
}

QStringList GoogleStandin::refreshTokens(const QString& accountId) const
{
    QMutexLocker lock(&m_mutex);
    return liveTokens(m_state.refreshTokens, accountId);
}

void GoogleStandin::setClient(const QString& clientId, const QString& clientSecret)
{
    QMutexLocker lock(&m_mutex);
    m_config.clientId = clientId;
    m_config.clientSecret = clientSecret;
}

void GoogleStandin::setScope(const QString& scope)
{
    QMutexLocker lock(&m_mutex);
    m_config.scope = scope;
}

StandinConfig GoogleStandin::config() const
{
    QMutexLocker lock(&m_mutex);
    return m_config;
}

void GoogleStandin::setConsentAccount(const QString& accountId)
{
    QMutexLocker lock(&m_mutex);
    m_config.consentAccountId = accountId;
}

void GoogleStandin::addFault(const StandinFault& fault)
{
    QMutexLocker lock(&m_mutex);
    m_faults.append(fault);
}

void GoogleStandin::addFault(StandinFault::Kind kind, const QByteArray& pathPrefix, int count)
{
    StandinFault fault;
    fault.kind = kind;
    fault.pathPrefix = pathPrefix;
    fault.remaining = count;
    addFault(fault);
}

QList<StandinFault> GoogleStandin::faults() const
{
    QMutexLocker lock(&m_mutex);
    return m_faults;
}

void GoogleStandin::clearFaults()
{
    {
        QMutexLocker lock(&m_mutex);
        m_faults.clear();
    }
    releaseStalled();
}

void GoogleStandin::releaseStalled()
{
    if (m_server)
        QMetaObject::invokeMethod(
            m_server, [this] { m_server->releaseStalled(); }, Qt::BlockingQueuedConnection);
}

int GoogleStandin::stalledCount() const
{
    int count = 0;
    if (m_server)
        QMetaObject::invokeMethod(
            m_server, [&] { count = m_server->stalledCount(); }, Qt::BlockingQueuedConnection);
    return count;
}

void GoogleStandin::setMaxBodySize(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_maxBodySize = bytes;
    if (m_server)
        m_server->setMaxBodySize(bytes);
}

QList<LoggedRequest> GoogleStandin::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

QList<LoggedRequest> GoogleStandin::requests(const QByteArray& method, const QByteArray& pathPrefix) const
{
    QMutexLocker lock(&m_mutex);
    QList<LoggedRequest> out;
    for (const LoggedRequest& r : m_log) {
        if ((method.isEmpty() || r.method == method) && r.path().startsWith(pathPrefix))
            out.append(r);
    }
    return out;
}

int GoogleStandin::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_log.size());
}

void GoogleStandin::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
}

void GoogleStandin::setRequestLogLimit(int maxRequests)
{
    QMutexLocker lock(&m_mutex);
    m_logLimit = maxRequests;
    trimLog();
}

void GoogleStandin::trimLog()
{
    if (m_logLimit >= 0 && m_log.size() > m_logLimit)
        m_log.remove(0, m_log.size() - m_logLimit);
}

std::optional<StandinFault> GoogleStandin::takeFault(const LoggedRequest& request)
{
    const QByteArray path = request.path();
    for (StandinFault& f : m_faults) {
        if (f.matches(request.method, path)) {
            if (f.remaining > 0)
                --f.remaining;
            return f;
        }
    }
    return std::nullopt;
}

StandinResponse GoogleStandin::handle(const LoggedRequest& request, bool replay)
{
    QMutexLocker lock(&m_mutex);
    std::optional<StandinFault> fault;
    if (!replay) {
        m_log.append(request);
        trimLog();
        fault = takeFault(request);
    }
    const quint64 revision = m_state.revision;
    StandinResponse response;
    bool routed = false;
    if (fault && fault->kind == StandinFault::Kind::NoReply) {
        response.action = StandinResponse::Action::CloseWithoutReply;
    } else if (fault && fault->kind == StandinFault::Kind::Stall) {
        response.action = StandinResponse::Action::Stall;
    } else if (fault && fault->kind == StandinFault::Kind::ErrorObject) {
        const int status = fault->status ? fault->status : 503;
        const QString message = fault->message.isEmpty() ? QStringLiteral("Backend Error") : fault->message;
        response =
            request.path().startsWith("/oauth2/v3/token") || request.path().startsWith("/o/oauth2/token")
                ? StandinErrors::tokenError(status, QStringLiteral("temporarily_unavailable"), message)
                : StandinErrors::jsonError(status, QStringLiteral("backendError"), message);
    } else if (fault && fault->kind == StandinFault::Kind::HtmlErrorPage) {
        response = StandinErrors::htmlErrorPage(fault->status ? fault->status : 502);
    } else if (request.bodyTooLarge) {
        response = StandinErrors::jsonError(413, QStringLiteral("uploadTooLarge"),
                                            QStringLiteral("Request Entity Too Large"));
        routed = true;
    } else {
        StandinRouter router(m_state, m_config);
        response = router.route(request);
        routed = true;
    }
    if (routed && fault)
        applyBodyFault(fault->kind, &response);
    if (routed && fault && fault->kind == StandinFault::Kind::LostReply)
        response.action = StandinResponse::Action::CloseWithoutReply;
    // Written before the reply leaves, so a client that saw the reply finds the change on disk.
    if (m_state.revision != revision)
        stateChangedLocked();
    lock.unlock();
    if (!replay)
        Q_EMIT requestLogged(request);
    return response;
}

void GoogleStandin::applyBodyFault(StandinFault::Kind kind, StandinResponse* response)
{
    QByteArray& body = response->body;
    if (kind == StandinFault::Kind::MalformedBody) {
        if (body.isEmpty()) {
            response->status = 200;
            response->setHeader("Content-Type", "application/json; charset=UTF-8");
            body = "{\"error\": {\"errors\": [{\"domain\": \"glo";
        } else {
            body.truncate(body.size() / 2);
        }
    } else if (kind == StandinFault::Kind::NonUtf8Body) {
        // Inside a text, so the body stays otherwise well-formed: only its encoding is broken.
        static const QByteArray bad = "\xC3\x28\xFF\xFE";
        qsizetype at = -1;
        const qsizetype title = body.indexOf("<title");
        if (title >= 0)
            at = body.indexOf('>', title) + 1;
        if (at <= 0) {
            const qsizetype colon = body.indexOf("\": \"");
            if (colon >= 0)
                at = colon + 4;
        }
        if (at <= 0) {
            if (body.isEmpty()) {
                response->status = 200;
                response->setHeader("Content-Type", "text/plain; charset=UTF-8");
            }
            at = body.size() / 2;
        }
        body.insert(at, bad);
    }
}
