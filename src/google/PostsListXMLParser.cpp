#include "PostsListXMLParser.h"

#include "google/AtomEntryReader.h"

PostsListXMLParser::PostsListXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, QList<BloggerPost>> PostsListXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    QList<BloggerPost> posts;
    // A well-formed page that is no Atom feed, such as the HTML page of a refused token, is not an empty
    // page of posts: taken as one, a download would "succeed" with nothing.
    if (!reader.readNextStartElement() || !reader.isAtomElement(QLatin1StringView("feed"))) {
        const BloggerSuccessResponse failure = reader.response();
        return {failure.success ? BloggerSuccessResponse(false, notAFeedMessage()) : failure, posts};
    }
    while (reader.readNextStartElement()) {
        if (reader.isAtomElement(QLatin1StringView("entry"))) {
            if (std::optional<BloggerPost> post = reader.readPostEntry()) {
                posts.append(std::move(*post));
            }
        }
    }
    return {reader.response(), posts};
}
