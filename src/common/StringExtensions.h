#pragma once

#include <QString>

// Text operations by position. A position counts user-perceived characters (grapheme clusters),
// never bytes or UTF-16 units. Each returns an exact slice of the text it is given.
namespace StringExtensions {

struct CharacterRange
{
    qsizetype location;
    qsizetype length;
    bool operator==(const CharacterRange&) const = default;
};

// Number of user-perceived characters.
qsizetype characterCount(const QString& text);
// Position of the first occurrence of target (canonically equivalent forms match), or -1 (always for an
// empty target).
qsizetype indexOf(const QString& text, const QString& target);
// The text from character position n on; clamped to the text.
QString substringFromIndex(const QString& text, qsizetype n);
// The first n characters; clamped to the text.
QString substringToIndex(const QString& text, qsizetype n);
// UTF-8 percent encoding; only ASCII letters, digits and "-._~" stay as they are.
QString urlEncoded(const QString& text);
QString urlDecoded(const QString& text);
CharacterRange fullRange(const QString& text);

} // namespace StringExtensions
