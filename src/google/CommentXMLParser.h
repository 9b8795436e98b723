#pragma once

#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"

#include <QString>

#include <optional>
#include <utility>

// The Atom entry answered when a comment is added.
class CommentXMLParser
{
public:
    explicit CommentXMLParser(QString xmlString);

    std::pair<BloggerSuccessResponse, std::optional<BloggerPostComment>> parse() const;

    QString xmlString;
};
