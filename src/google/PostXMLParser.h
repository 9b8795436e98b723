#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerSuccessResponse.h"

#include <QString>

#include <optional>
#include <utility>

// One Atom post entry: the reply to a get, an add or an update.
class PostXMLParser
{
public:
    explicit PostXMLParser(QString xmlString);

    // The post of the first entry; none when the text holds no complete entry.
    std::pair<BloggerSuccessResponse, std::optional<BloggerPost>> parse() const;

    QString xmlString;
};
