#include "CommentXMLParser.h"

#include "google/AtomEntryReader.h"

CommentXMLParser::CommentXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, std::optional<BloggerPostComment>> CommentXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    std::optional<BloggerPostComment> comment;
    while (reader.readNextStartElement()) {
        if (!comment && reader.isAtomElement(QLatin1StringView("entry"))) {
            comment = reader.readCommentEntry();
        }
    }
    return {reader.response(), comment};
}
