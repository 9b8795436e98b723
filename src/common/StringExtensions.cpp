#include "StringExtensions.h"

#include <QTextBoundaryFinder>
#include <QUrl>

#include <vector>

namespace StringExtensions {

namespace {

// UTF-16 offsets of every grapheme boundary, the start (0) and the end included.
std::vector<qsizetype> boundaries(const QString& text)
{
    std::vector<qsizetype> result{0};
    if (text.isEmpty()) {
        return result;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1) {
        result.push_back(finder.position());
    }
    return result;
}

// UTF-16 offset where character position n starts (the end when n reaches past it).
qsizetype offsetOfCharacter(const QString& text, qsizetype n)
{
    if (n <= 0) {
        return 0;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    for (qsizetype i = 0; i < n; ++i) {
        position = finder.toNextBoundary();
        if (position == -1) {
            return text.size();
        }
    }
    return position;
}

} // namespace

qsizetype characterCount(const QString& text)
{
    return static_cast<qsizetype>(boundaries(text).size()) - 1;
}

qsizetype indexOf(const QString& text, const QString& target)
{
    const QString haystack = text.normalized(QString::NormalizationForm_C);
    const QString needle = target.normalized(QString::NormalizationForm_C);
    const std::vector<qsizetype> marks = boundaries(haystack);
    qsizetype from = 0;
    while (true) {
        const qsizetype found = haystack.indexOf(needle, from, Qt::CaseSensitive);
        if (found < 0) {
            return -1;
        }
        // A match counts only where it starts and ends on character boundaries.
        const auto start = std::lower_bound(marks.begin(), marks.end(), found);
        const auto end = std::lower_bound(marks.begin(), marks.end(), found + needle.size());
        if (start != marks.end() && *start == found && end != marks.end() && *end == found + needle.size()) {
            return static_cast<qsizetype>(start - marks.begin());
        }
        from = found + 1;
    }
}

QString substringFromIndex(const QString& text, qsizetype n)
{
    return text.mid(offsetOfCharacter(text, n));
}

QString substringToIndex(const QString& text, qsizetype n)
{
    return text.left(offsetOfCharacter(text, n));
}

QString urlEncoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QString urlDecoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

CharacterRange fullRange(const QString& text)
{
    return {0, characterCount(text)};
}

} // namespace StringExtensions
