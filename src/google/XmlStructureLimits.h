#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What an Atom reply may hold, checked in one linear pass before the stream reader sees the text.
// The reader spends quadratic time on an element's attribute list and on namespace look-ups, and the
// work per element adds up: a document past these limits is refused instead of read. Real replies stay
// far below every limit.
class XmlStructureLimits
{
public:
    static constexpr int MaximumDepth = 256;
    static constexpr int MaximumAttributesPerElement = 64;
    static constexpr int MaximumNamespaceDeclarationsInScope = 32;
    static constexpr qsizetype MaximumElements = 500000;
    static constexpr qsizetype MaximumAttributes = 500000;

    // Why the text is refused; none when it stays within the limits. A text that is not well-formed may
    // pass: the reader reports it.
    static std::optional<QString> refusal(QStringView xml);
};
