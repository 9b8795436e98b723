#pragma once

#include "LoggedRequest.h"
#include "StandinConfig.h"
#include "StandinResponse.h"
#include "StandinState.h"

#include <QStringList>

#include <optional>

// Answers one request from the state, changing the state where the request asks for it.
class StandinRouter
{
public:
    StandinRouter(StandinState& state, const StandinConfig& config);

    StandinResponse route(const LoggedRequest& request);

    // The scopes the consent page accepts besides the configured ones.
    static QStringList knownScopes();

private:
    struct RouteCall;

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

    // What a handler works on: the account of a usable "Authorization" header and, as asked, the caller's
    // blog and its post. When one is missing, failure holds the JSON or the feed service's refusal.
    struct Target
    {
        QString accountId;
        StandinBlog* blog = nullptr;
        StandinPost* post = nullptr;
        std::optional<StandinResponse> failure;
    };
    Target caller(const LoggedRequest& request, bool json) const;
    Target callerBlog(const LoggedRequest& request, bool json, const QString& blogId);
    Target callerPost(const LoggedRequest& request, bool json, const QString& blogId, const QString& postId);

    StandinResponse atomEntryReply(int status, const StandinBlog& blog, const StandinPost& post, bool gdata2);

    StandinState& m_state;
    const StandinConfig& m_config;
};
