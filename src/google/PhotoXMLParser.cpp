#include "PhotoXMLParser.h"

#include "google/AtomEntryReader.h"

PhotoXMLParser::PhotoXMLParser(QString xmlString) : xmlString(std::move(xmlString)) {}

std::pair<BloggerSuccessResponse, std::optional<QString>> PhotoXMLParser::parse() const
{
    AtomEntryReader reader(xmlString);
    QXmlStreamReader& xml = reader.xml();
    std::optional<QString> address;
    while (reader.readNextStartElement()) {
        if (!reader.isAtomElement(QLatin1StringView("entry"))) {
            continue;
        }
        // Only the entry's own content element names the image.
        while (xml.readNextStartElement()) {
            if (!address && reader.isAtomElement(QLatin1StringView("content"))) {
                const QStringView source = xml.attributes().value(QLatin1StringView("src"));
                if (!source.isEmpty()) {
                    address = source.toString();
                }
            }
            xml.skipCurrentElement();
        }
    }
    return {reader.response(), address};
}
