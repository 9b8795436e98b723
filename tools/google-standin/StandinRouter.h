#pragma once

#include "LoggedRequest.h"
#include "StandinConfig.h"
#include "StandinResponse.h"
#include "StandinState.h"

#include <QStringList>

// Answers one request from the state, changing the state where the request asks for it.
class StandinRouter
{
public:
    StandinRouter(StandinState& state, const StandinConfig& config);

    StandinResponse route(const LoggedRequest& request);

    // The scopes the consent page accepts besides the configured ones.
    static QStringList knownScopes();

private:
    StandinResponse consent(const LoggedRequest& request);
    StandinResponse approval(const LoggedRequest& request);
    StandinResponse token(const LoggedRequest& request);
    StandinResponse userInfo(const LoggedRequest& request);
    StandinResponse blogList(const LoggedRequest& request);
    StandinResponse deletePostJson(const LoggedRequest& request, const QString& blogId,
                                   const QString& postId);
    StandinResponse commentsJson(const LoggedRequest& request, const QString& blogId, const QString& postId);
    StandinResponse commentJson(const LoggedRequest& request, const QString& blogId, const QString& postId,
                                const QString& commentId);
    StandinResponse postsFeed(const LoggedRequest& request, const QByteArray& method, const QString& blogId);
    StandinResponse postEntry(const LoggedRequest& request, const QByteArray& method, const QString& blogId,
                              const QString& postId);
    StandinResponse addComment(const LoggedRequest& request, const QString& blogId, const QString& postId);
    StandinResponse deleteComment(const LoggedRequest& request, const QString& blogId, const QString& postId,
                                  const QString& commentId);
    StandinResponse uploadPhoto(const LoggedRequest& request, const QString& user, const QString& album);
    StandinResponse servePhoto(const QString& photoId);
    StandinResponse blogPage(const QStringList& segments);

    // Checks the consent request's parameters; false with the error page in failure.
    bool checkAuthParameters(const LoggedRequest& request, StandinResponse* failure);
    // Account of a usable "Authorization" header; empty with the matching reply in failure.
    QString authorize(const LoggedRequest& request, bool json, StandinResponse* failure) const;
    // The caller's blog; null with the matching reply in failure.
    StandinBlog* ownedBlog(const QString& blogId, const QString& accountId, bool json,
                           StandinResponse* failure);

    StandinResponse atomEntryReply(int status, const StandinBlog& blog, const StandinPost& post, bool gdata2);
    static StandinResponse methodNotAllowed(bool json);

    StandinState& m_state;
    const StandinConfig& m_config;
};
