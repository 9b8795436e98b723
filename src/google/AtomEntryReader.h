#pragma once

#include "model/BloggerPost.h"
#include "model/BloggerPostComment.h"
#include "model/BloggerSuccessResponse.h"

#include <QString>
#include <QXmlStreamReader>

#include <optional>

// What the Atom readers share: a stream reader that never loads a DTD or resolves an external entity and
// never starts on a document beyond XmlStructureLimits, the reading of one post or comment entry, and the
// outcome of a parse.
class AtomEntryReader
{
public:
    explicit AtomEntryReader(const QString& xmlString);

    QXmlStreamReader& xml() { return m_xml; }

    // Moves to the next start tag anywhere in the document; false at the end or on an error.
    bool readNextStartElement();
    bool isAtomElement(QLatin1StringView name) const;
    bool isElement(const QString& namespaceUri, QLatin1StringView name) const;

    // At the start tag of an entry: reads up to its end tag. None when the entry is cut short.
    std::optional<BloggerPost> readPostEntry();
    std::optional<BloggerPostComment> readCommentEntry();

    // Success with empty details, or the reader's error description.
    BloggerSuccessResponse response() const;

    // The text after ".post-" of an entry's id; empty when it has none.
    static QString idAfterPostMarker(const QString& id);

private:
    // At a start tag: the text of the element and of everything inside it, up to its end tag, read
    // without recursion.
    QString readTextIncludingChildren();

    QXmlStreamReader m_xml;
};
