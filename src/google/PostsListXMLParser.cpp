#include "PostsListXMLParser.h"

#include "google/AtomEntryReader.h"

PostsListXMLParser::PostsListXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, QList<BloggerPost>> PostsListXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    QList<BloggerPost> posts;
    while (reader.readNextStartElement()) {
        if (reader.isAtomElement(QLatin1StringView("entry"))) {
            if (std::optional<BloggerPost> post = reader.readPostEntry()) {
                posts.append(std::move(*post));
            }
        }
    }
    return {reader.response(), posts};
}
