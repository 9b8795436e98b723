#include "AtomEntryReader.h"

#include "common/GoogleDateService.h"
#include "common/GoogleServiceConstants.h"
#include "google/AtomNamespaces.h"
#include "google/XmlStructureLimits.h"

namespace {

bool isAppNamespace(QStringView namespaceUri)
{
    return namespaceUri == AtomNamespaces::App || namespaceUri == AtomNamespaces::AppDraft;
}

bool readDraftMarker(QXmlStreamReader& xml)
{
    bool draft = false;
    while (xml.readNextStartElement()) {
        if (isAppNamespace(xml.namespaceUri()) && xml.name() == QLatin1StringView("draft")) {
            draft = xml.readElementText().trimmed() == QLatin1StringView("yes") || draft;
        } else {
            xml.skipCurrentElement();
        }
    }
    return draft;
}

} // namespace

AtomEntryReader::AtomEntryReader(const QString& xmlString)
{
    // Undeclared entities are errors, nothing external is ever fetched; keep internal expansion small too.
    m_xml.setNamespaceProcessing(true);
    m_xml.setEntityExpansionLimit(1024);
    // Checked before the reader takes (and converts) the text, so a refusal costs one pass over it.
    if (std::optional<QString> refusal = XmlStructureLimits::refusal(xmlString)) {
        m_xml.raiseError(*refusal);
        return;
    }
    m_xml.addData(xmlString);
}

bool AtomEntryReader::readNextStartElement()
{
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            return true;
        }
        if (token == QXmlStreamReader::DTD) {
            // The service never sends one; a document that brings its own declarations is not trusted.
            m_xml.raiseError(QStringLiteral("Document type declarations are not accepted"));
            return false;
        }
    }
    return false;
}

bool AtomEntryReader::isAtomElement(QLatin1StringView name) const
{
    return m_xml.name() == name && m_xml.namespaceUri() == AtomNamespaces::Atom;
}

bool AtomEntryReader::isElement(const QString& namespaceUri, QLatin1StringView name) const
{
    return m_xml.name() == name && m_xml.namespaceUri() == namespaceUri;
}

QString AtomEntryReader::idAfterPostMarker(const QString& id)
{
    static const QString marker = QStringLiteral(".post-");
    const qsizetype index = id.indexOf(marker);
    return index < 0 ? QString() : id.mid(index + marker.size()).trimmed();
}

QString AtomEntryReader::readTextIncludingChildren()
{
    QString text;
    qsizetype depth = 1;
    while (depth > 0 && !m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            text += m_xml.text();
            break;
        default:
            break;
        }
    }
    return text;
}

std::optional<BloggerPost> AtomEntryReader::readPostEntry()
{
    GoogleDateService dates;
    BloggerPost post;
    post.url = GoogleServiceConstants::NoUrl();
    post.commentsCount = 0;
    bool draft = false;
    bool hasUrl = false;

    while (m_xml.readNextStartElement()) {
        if (isAtomElement(QLatin1StringView("id"))) {
            post.postId = idAfterPostMarker(m_xml.readElementText());
        } else if (isAtomElement(QLatin1StringView("published"))) {
            post.publishDate = dates.parseDate(m_xml.readElementText().trimmed());
        } else if (isAtomElement(QLatin1StringView("updated"))) {
            post.updatedDate = dates.parseDate(m_xml.readElementText().trimmed());
        } else if (isAtomElement(QLatin1StringView("title"))) {
            post.title = readTextIncludingChildren();
        } else if (isAtomElement(QLatin1StringView("content"))) {
            post.content = readTextIncludingChildren();
        } else if (isAtomElement(QLatin1StringView("category"))) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            if (attributes.value(QLatin1StringView("scheme")) == AtomNamespaces::BloggerCategoryScheme) {
                post.labels.append(attributes.value(QLatin1StringView("term")).toString());
            }
            m_xml.skipCurrentElement();
        } else if (isAtomElement(QLatin1StringView("link"))) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            if (!hasUrl && attributes.value(QLatin1StringView("rel")) == QLatin1StringView("alternate")) {
                post.url = attributes.value(QLatin1StringView("href")).toString();
                hasUrl = true;
            }
            m_xml.skipCurrentElement();
        } else if (isElement(AtomNamespaces::Thread, QLatin1StringView("total"))) {
            bool ok = false;
            const qint64 total = m_xml.readElementText().trimmed().toLongLong(&ok);
            post.commentsCount = ok && total >= 0 ? total : 0;
        } else if (m_xml.name() == QLatin1StringView("control") && isAppNamespace(m_xml.namespaceUri())) {
            draft = readDraftMarker(m_xml) || draft;
        } else {
            m_xml.skipCurrentElement();
        }
    }
    if (m_xml.hasError()) {
        return std::nullopt;
    }

    post.postStatus = draft ? PostStatus::Draft : PostStatus::Published;
    if (!draft && post.publishDate && post.updatedDate && *post.publishDate > *post.updatedDate) {
        post.postStatus = PostStatus::Scheduled;
    }
    return post;
}

std::optional<BloggerPostComment> AtomEntryReader::readCommentEntry()
{
    GoogleDateService dates;
    BloggerPostComment comment;
    comment.blogId = GoogleServiceConstants::NoId();
    comment.postId = GoogleServiceConstants::NoId();

    while (m_xml.readNextStartElement()) {
        if (isAtomElement(QLatin1StringView("id"))) {
            comment.commentId = idAfterPostMarker(m_xml.readElementText());
        } else if (isAtomElement(QLatin1StringView("published"))) {
            comment.publishDate = dates.parseDate(m_xml.readElementText().trimmed());
        } else if (isAtomElement(QLatin1StringView("content"))) {
            comment.content = readTextIncludingChildren();
        } else if (isAtomElement(QLatin1StringView("author"))) {
            while (m_xml.readNextStartElement()) {
                if (isAtomElement(QLatin1StringView("name"))) {
                    comment.author.userName = m_xml.readElementText();
                } else if (isAtomElement(QLatin1StringView("uri"))) {
                    comment.author.userLink = m_xml.readElementText();
                } else if (isElement(AtomNamespaces::GData, QLatin1StringView("image"))) {
                    comment.author.userPicture =
                        m_xml.attributes().value(QLatin1StringView("src")).toString();
                    m_xml.skipCurrentElement();
                } else {
                    m_xml.skipCurrentElement();
                }
            }
        } else {
            m_xml.skipCurrentElement();
        }
    }
    if (m_xml.hasError()) {
        return std::nullopt;
    }
    return comment;
}

BloggerSuccessResponse AtomEntryReader::response() const
{
    if (m_xml.hasError()) {
        return BloggerSuccessResponse(false, m_xml.errorString());
    }
    return BloggerSuccessResponse(true, QString(""));
}
