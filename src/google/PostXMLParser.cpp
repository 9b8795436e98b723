#include "PostXMLParser.h"

#include "google/AtomEntryReader.h"

PostXMLParser::PostXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, std::optional<BloggerPost>> PostXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    std::optional<BloggerPost> post;
    while (reader.readNextStartElement()) {
        if (!post && reader.isAtomElement(QLatin1StringView("entry"))) {
            post = reader.readPostEntry();
        }
    }
    return {reader.response(), post};
}
