#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerSuccessResponse.h"

#include <QList>
#include <QString>

#include <utility>

// One page of a blog's Atom posts feed. Only what stands inside an entry belongs to a post.
class PostsListXMLParser
{
public:
    explicit PostsListXMLParser(QString xmlString);

    // The posts of the complete entries, in feed order. A document whose root is not an Atom feed fails.
    std::pair<BloggerSuccessResponse, QList<BloggerPost>> parse() const;

    static QString notAFeedMessage() { return QStringLiteral("The reply is not a feed of posts"); }

    QString xmlString;
};
