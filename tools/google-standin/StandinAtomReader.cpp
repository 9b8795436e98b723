#include "StandinAtomReader.h"

#include "StandinDates.h"

#include <QXmlStreamReader>

namespace {
const QString ReadAtomNs = QStringLiteral("http://www.w3.org/2005/Atom");
const QString ReadLabelScheme = QStringLiteral("http://www.blogger.com/atom/ns#");
} // namespace

bool StandinAtomReader::read(const QByteArray& body, Entry* entry, QString* error)
{
    *entry = Entry();
    QXmlStreamReader xml(body);
    int depth = 0;
    bool sawRoot = false;
    bool inControl = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            *error = QStringLiteral("DOCTYPE is not allowed");
            return false;
        }
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            if (xml.name() == QLatin1String("control"))
                inControl = false;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (depth == 1) {
            sawRoot = true;
            if (xml.name() != QLatin1String("entry") || xml.namespaceUri() != ReadAtomNs) {
                *error = QStringLiteral("Root element must be an Atom entry");
                return false;
            }
            continue;
        }
        const bool atom = xml.namespaceUri() == ReadAtomNs;
        if (depth == 2 && atom && xml.name() == QLatin1String("title")) {
            entry->title = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
        } else if (depth == 2 && atom && xml.name() == QLatin1String("content")) {
            entry->content = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            --depth;
        } else if (depth == 2 && atom && xml.name() == QLatin1String("published")) {
            const QString text = xml.readElementText();
            --depth;
            entry->published = StandinDates::parse(text);
            if (!entry->published.isValid()) {
                *error = QStringLiteral("Invalid published date: ") + text;
                return false;
            }
            entry->hasPublished = true;
        } else if (depth == 2 && atom && xml.name() == QLatin1String("category")) {
            const QXmlStreamAttributes attrs = xml.attributes();
            if (attrs.value(QStringLiteral("scheme")) == ReadLabelScheme) {
                const QString term = attrs.value(QStringLiteral("term")).toString();
                if (!term.trimmed().isEmpty() && !entry->labels.contains(term))
                    entry->labels.append(term);
            }
        } else if (depth == 2 && xml.name() == QLatin1String("control")) {
            inControl = true;
        } else if (depth == 3 && inControl && xml.name() == QLatin1String("draft")) {
            entry->draft = xml.readElementText().trimmed() == QLatin1String("yes");
            --depth;
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString() +
                 QStringLiteral(" (line %1, column %2)").arg(xml.lineNumber()).arg(xml.columnNumber());
        return false;
    }
    if (!sawRoot) {
        *error = QStringLiteral("Premature end of file.");
        return false;
    }
    return true;
}
