#pragma once

#include "google/BlockProperty.h"
#include "google/GoogleRequestServiceBase.h"
#include "model/BloggerBlog.h"
#include "model/BloggerUser.h"

#include <QList>
#include <QString>

// Who the signed-in user is and which blogs they own, asked with the access token the client
// was made with (no refresh). Exactly one block of an operation is called per request.
class UsersAndBlogsGoogleService : public GoogleRequestServiceBase
{
public:
    static std::shared_ptr<UsersAndBlogsGoogleService> create(std::shared_ptr<GoogleAuthentificationService> service,
                                                              QString accessToken);

    BlockProperty<void(BloggerUser)> onGetSelfUserDetailsBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onGetSelfUserDetailsBlockError;
    BlockProperty<void(QList<BloggerBlog>)> onListSelfBlogsBlockSuccess;
    BlockProperty<void(BloggerSuccessResponse)> onListSelfBlogsBlockError;

    void getSelfUserDetails();
    // The blogs come back with userId set to the id given here; it is not sent.
    void listSelfBlogs(const QString& userId);

private:
    UsersAndBlogsGoogleService(std::shared_ptr<GoogleAuthentificationService> service, QString accessToken);

    UrlSession::Request requestFor(const QString& pathAndQuery) const;

    const QString m_accessToken;
};
