#include "PostsListXMLParser.h"

#include "google/AtomEntryReader.h"

PostsListXMLParser::PostsListXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, QList<BloggerPost>> PostsListXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    QList<BloggerPost> posts;
    // An error document (GData <errors>, an XHTML page) is well-formed too, and holds no posts.
    if (reader.readNextStartElement() && !reader.isAtomElement(QLatin1StringView("feed"))) {
        reader.xml().raiseError(QStringLiteral("The reply is not an Atom feed"));
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
