#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The one way the web services turn an Atom reply into records: each call runs one fresh reader.
class BloggerXMLParser
{
public:
    std::pair<BloggerSuccessResponse, std::optional<BloggerPost>> parsePost(const QString& xml) const;
    std::pair<BloggerSuccessResponse, QList<BloggerPost>> parsePostsList(const QString& xml) const;
    std::pair<BloggerSuccessResponse, std::optional<BloggerPostComment>> parseComment(const QString& xml) const;
    std::pair<BloggerSuccessResponse, std::optional<QString>> parseAlbum(const QString& xml) const;
    std::pair<BloggerSuccessResponse, std::optional<QString>> parsePhoto(const QString& xml) const;
};
