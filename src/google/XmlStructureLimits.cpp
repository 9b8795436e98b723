#include "XmlStructureLimits.h"

#include <QVarLengthArray>

namespace {

// The position just past the first terminator at or after from; the end of the text when there is none.
qsizetype skipPast(QStringView xml, qsizetype from, QStringView terminator)
{
    const qsizetype found = xml.indexOf(terminator, from);
    return found < 0 ? xml.size() : found + terminator.size();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Whether the attribute whose '=' stands at equals, inside the tag opened at tagStart, declares a namespace.
bool declaresNamespace(QStringView xml, qsizetype tagStart, qsizetype equals)
{
    qsizetype end = equals;
    while (end > tagStart && isBlank(xml[end - 1])) {
        --end;
    }
    qsizetype start = end;
    while (start > tagStart && !isBlank(xml[start - 1]) && xml[start - 1] != u'\'' &&
           xml[start - 1] != u'"') {
        --start;
    }
    const QStringView name = xml.sliced(start, end - start);
    return name == u"xmlns" || name.startsWith(u"xmlns:");
}

} // namespace

std::optional<QString> XmlStructureLimits::refusal(QStringView xml)
{
    const qsizetype size = xml.size();
    qsizetype elements = 0;
    qsizetype attributes = 0;
    // The namespace declarations of each open element, innermost last.
    QVarLengthArray<int, MaximumDepth> declarationsPerLevel;
    int declarationsInScope = 0;

    qsizetype pos = 0;
    while ((pos = xml.indexOf(u'<', pos)) >= 0) {
        const QStringView markup = xml.sliced(pos);
        if (markup.startsWith(u"<!--")) {
            pos = skipPast(xml, pos + 4, u"-->");
            continue;
        }
        if (markup.startsWith(u"<![CDATA[")) {
            pos = skipPast(xml, pos + 9, u"]]>");
            continue;
        }
        if (markup.startsWith(u"<?")) {
            pos = skipPast(xml, pos + 2, u"?>");
            continue;
        }
        if (markup.startsWith(u"<!")) {
            // Its declarations could add markup that no count here sees.
            return QStringLiteral("Document type declarations are not accepted");
        }
        if (markup.startsWith(u"</")) {
            if (!declarationsPerLevel.isEmpty()) {
                declarationsInScope -= declarationsPerLevel.last();
                declarationsPerLevel.removeLast();
            }
            pos += 2;
            continue;
        }

        if (++elements > MaximumElements) {
            return QStringLiteral("The document has more than %1 elements").arg(MaximumElements);
        }
        const qsizetype tagStart = pos;
        int tagAttributes = 0;
        int tagDeclarations = 0;
        bool closed = false;
        bool empty = false;
        qsizetype i = pos + 1;
        while (i < size) {
            const QChar c = xml[i];
            if (c == u'"' || c == u'\'') {
                const qsizetype quoteEnd = xml.indexOf(c, i + 1);
                if (quoteEnd < 0) {
                    return std::nullopt;
                }
                i = quoteEnd + 1;
            } else if (c == u'=') {
                if (++tagAttributes > MaximumAttributesPerElement) {
                    return QStringLiteral("An element has more than %1 attributes")
                        .arg(MaximumAttributesPerElement);
                }
                tagDeclarations += declaresNamespace(xml, tagStart + 1, i) ? 1 : 0;
                ++i;
            } else if (c == u'>') {
                closed = true;
                empty = xml[i - 1] == u'/';
                ++i;
                break;
            } else if (c == u'<') {
                // Not well-formed; counted as it stands, the reader stops here.
                break;
            } else {
                ++i;
            }
        }
        pos = i;

        attributes += tagAttributes;
        if (attributes > MaximumAttributes) {
            return QStringLiteral("The document has more than %1 attributes").arg(MaximumAttributes);
        }
        if (declarationsPerLevel.size() + 1 > MaximumDepth) {
            return QStringLiteral("The document nests elements deeper than %1 levels").arg(MaximumDepth);
        }
        if (declarationsInScope + tagDeclarations > MaximumNamespaceDeclarationsInScope) {
            return QStringLiteral("The document has more than %1 namespace declarations in scope")
                .arg(MaximumNamespaceDeclarationsInScope);
        }
        if (closed && !empty) {
            declarationsPerLevel.append(tagDeclarations);
            declarationsInScope += tagDeclarations;
        }
    }
    return std::nullopt;
}
