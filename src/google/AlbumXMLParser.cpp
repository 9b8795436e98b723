#include "AlbumXMLParser.h"

#include "google/AtomEntryReader.h"
#include "google/AtomNamespaces.h"

AlbumXMLParser::AlbumXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, std::optional<QString>> AlbumXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    QXmlStreamReader& xml = reader.xml();
    std::optional<QString> albumId;
    while (reader.readNextStartElement()) {
        if (!reader.isAtomElement(QLatin1StringView("entry"))) {
            continue;
        }
        while (xml.readNextStartElement()) {
            if (!albumId && reader.isElement(AtomNamespaces::Photo, QLatin1StringView("id"))) {
                albumId = xml.readElementText().trimmed();
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    return {reader.response(), albumId};
}
