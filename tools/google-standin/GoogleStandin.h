#pragma once

#include "LoggedRequest.h"
#include "StandinAccount.h"
#include "StandinBlog.h"
#include "StandinConfig.h"
#include "StandinFault.h"
#include "StandinPhoto.h"
#include "StandinResponse.h"
#include "StandinState.h"

#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QUrl>

#include <memory>
#include <optional>

class QThread;
class StandinServer;

// A local stand-in for Google's OAuth, user information, Blogger (JSON v3 and Atom) and photo services,
// serving plain HTTP on 127.0.0.1. It answers on its own thread, so callers may block while it works;
// every accessor is thread-safe and returns copies.
class GoogleStandin : public QObject
{
    Q_OBJECT
public:
    explicit GoogleStandin(QObject* parent = nullptr);
    ~GoogleStandin() override;

    // Listens on 127.0.0.1:port (0: any free port) and loads the seed (the default one unless loadSeed* was
    // called before). Returns the bound port, 0 on failure (errorString() tells why).
    quint16 start(quint16 port = 0);
    void stop();
    bool isRunning() const;
    quint16 port() const;
    QUrl serverUrl() const; // "http://127.0.0.1:PORT"
    QString errorString() const;

    // ---- seed and state ----
    // A seed names accounts, blogs with posts and comments, and photos; "{base}" in its texts stands for
    // serverUrl(). Before start() the seed is kept and applied at start.
    bool loadSeedFile(const QString& path, QString* error = nullptr);
    bool loadSeed(const QJsonObject& seed, QString* error = nullptr);
    static QJsonObject defaultSeed();
    // Back to the loaded seed: state, tokens, faults and the request log are reset.
    void reset();

    QList<StandinAccount> accounts() const;
    QString defaultAccountId() const; // the first account of the seed
    QList<StandinBlog>
    blogs(const QString& accountId = QString()) const; // all blogs, or those of one account
    std::optional<StandinBlog> blog(const QString& blogId) const;
    std::optional<StandinPost> post(const QString& blogId, const QString& postId) const;
    // Adds a post to the front of the blog (a fresh id when post.id is empty); the post id, empty if no such
    // blog.
    QString addPost(const QString& blogId, StandinPost post);
    bool updatePost(const QString& blogId, const StandinPost& post); // replaced by id
    bool removePost(const QString& blogId, const QString& postId);
    QList<StandinPhoto> photos() const;

    // ---- state file ----
    // Reads a state that saveState() wrote, in place of the seed; before start() it is checked at once and
    // applied at start. On failure nothing changes.
    bool loadStateFile(const QString& path, QString* error = nullptr);
    // From now on every change of state is written to the file before the request that made it is
    // answered, replacing the file whole. Empty: no file.
    void setStateFile(const QString& path);
    QString stateFile() const;
    // Writes the state to the state file now.
    bool saveState(QString* error = nullptr);

    // ---- tokens ----
    // An access token valid in "Authorization: OAuth <token>" or "Bearer <token>" (empty account: the
    // default).
    QString issueAccessToken(const QString& accountId = QString());
    QString issueRefreshToken(const QString& accountId = QString());
    // A code for the token endpoint, as the consent page's Allow gives it.
    QString issueAuthorizationCode(const QString& accountId = QString(),
                                   const QString& redirectUri = QStringLiteral("urn:ietf:wg:oauth:2.0:oob"));
    void expireAccessToken(const QString& token);
    void expireAllAccessTokens();
    void revokeRefreshToken(const QString& token);
    void revokeAllRefreshTokens();
    bool isAccessTokenValid(const QString& token) const;
    QStringList accessTokens(const QString& accountId = QString()) const;  // issued and still valid
    QStringList refreshTokens(const QString& accountId = QString()) const; // issued and not revoked

    // ---- OAuth client ----
    // Defaults: the client id, secret and scope the application is built with.
    void setClient(const QString& clientId, const QString& clientSecret);
    void setScope(const QString& scope);
    StandinConfig config() const;
    // The account preselected on the consent page (empty: the first).
    void setConsentAccount(const QString& accountId);

    // ---- faults ----
    void addFault(const StandinFault& fault);
    void addFault(StandinFault::Kind kind, const QByteArray& pathPrefix = QByteArray(), int count = -1);
    QList<StandinFault> faults() const;
    // Removes every fault and answers the stalled requests.
    void clearFaults();
    void releaseStalled();
    int stalledCount() const;
    // Bodies above this many bytes are refused with 413 (applies to connections opened afterwards).
    void setMaxBodySize(qint64 bytes);

    // ---- request log ----
    QList<LoggedRequest> requests() const;
    QList<LoggedRequest> requests(const QByteArray& method, const QByteArray& pathPrefix) const;
    int requestCount() const;
    void clearRequests();
    // Keeps only the latest requests (-1, the default: all of them; 0: none).
    void setRequestLogLimit(int maxRequests);

Q_SIGNALS:
    // Emitted from the stand-in's thread for every request, before it is answered.
    void requestLogged(const LoggedRequest& request);

private:
    StandinResponse handle(const LoggedRequest& request, bool replay);
    std::optional<StandinFault> takeFault(const LoggedRequest& request);
    static void applyBodyFault(StandinFault::Kind kind, StandinResponse* response);
    void trimLog();
    // The given account, or the first when none is given; empty when there is no such account.
    QString knownAccount(const QString& accountId) const;
    // Called with the mutex held after a change of state.
    void stateChangedLocked();
    bool writeStateLocked(QString* error);

    mutable QMutex m_mutex;
    StandinState m_state;
    StandinConfig m_config;
    QJsonObject m_seed;
    QJsonObject m_pendingState; // a loaded state waiting for start()
    QString m_statePath;
    QList<StandinFault> m_faults;
    QList<LoggedRequest> m_log;
    int m_logLimit = -1;
    qint64 m_maxBodySize = 32 * 1024 * 1024;
    QString m_error;
    quint16 m_port = 0;
    std::unique_ptr<QThread> m_thread;
    StandinServer* m_server = nullptr;
};
