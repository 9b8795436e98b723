#pragma once

#include <QString>

#include <cstdint>

// Fixed numbers and sentinels shared by every layer. Stateless: read the members directly.
class GoogleServiceConstants
{
public:
    static constexpr double RefreshTokenTime = 2700.0; // seconds
    static constexpr double OperationRefreshTokenTime = 180.0;
    static constexpr double StandardTimeout = 60.0; // request and resource time-out of every web request
    static constexpr std::int64_t MaxResultsPerPage = 20;
    static constexpr std::int64_t MaxResultPagesForPosts = 5;
    static constexpr std::int64_t MaxResultPagesForComments = 10;
    static constexpr std::int64_t NoInternalId = -1;
    static constexpr std::int64_t NoComments = 0;

    static QString NoId() { return QString(""); }
    static QString NoOfflineId() { return QStringLiteral("0"); }
    static QString NoUrl() { return QStringLiteral("#"); }

    // A fresh version 4 UUID: 36 characters, upper case, no braces.
    static QString RandomId();
    // A fresh uniformly drawn unsigned 32-bit number, never negative.
    static std::int64_t RandomIntId();

    static QString ListSelfBlogsEvent() { return QStringLiteral("ListSelfBlogsEvent"); }
    static QString GetSelfUserDetails() { return QStringLiteral("GetSelfUserDetails"); }
    static QString ListBlogPosts() { return QStringLiteral("ListBlogPosts"); }
    static QString GetBlogPost() { return QStringLiteral("GetBlogPost"); }
    static QString AddBlogPost() { return QStringLiteral("AddBlogPost"); }
    static QString UpdateBlogPost() { return QStringLiteral("UpdateBlogPost"); }
    static QString DeleteBlogPost() { return QStringLiteral("DeleteBlogPost"); }
    static QString ListPostComments() { return QStringLiteral("ListPostComments"); }
    static QString GetPostComments() { return QStringLiteral("GetPostComments"); }
    static QString AddPostComments() { return QStringLiteral("AddPostComments"); }
    static QString DeletePostComments() { return QStringLiteral("DeletePostComments"); }
    static QString GetAlbum() { return QStringLiteral("GetAlbum"); }
    static QString AddAlbum() { return QStringLiteral("AddAlbum"); }
    static QString UploadAlbumPhoto() { return QStringLiteral("UploadAlbumPhoto"); }
};
