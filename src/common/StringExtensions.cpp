#include "StringExtensions.h"

#include "common/GraphemeCursor.h"

#include <QUrl>

#include <algorithm>
#include <vector>

namespace StringExtensions {

namespace {

// UTF-16 offset where character position n starts (the end when n reaches past it); looks no further.
qsizetype offsetOfCharacter(const QString& text, qsizetype n)
{
    if (n <= 0) {
        return 0;
    }
    const qsizetype offset = GraphemeCursor(text).advance(n);
    return offset < 0 ? text.size() : offset;
}

} // namespace

qsizetype characterCount(const QString& text)
{
    qsizetype count = 0;
    GraphemeCursor(text, text.size()).advance(text.size() + 1, &count);
    return count;
}

qsizetype indexOf(const QString& text, const QString& target)
{
    // An empty text occurs nowhere, as the platform's search answers it.
    if (target.isEmpty()) {
        return -1;
    }
    const QString haystack = text.normalized(QString::NormalizationForm_C);
    const QString needle = target.normalized(QString::NormalizationForm_C);
    // Boundaries are walked only as far as the matches tried.
    GraphemeCursor cursor(haystack);
    std::vector<qsizetype> marks{0};
    auto walkTo = [&](qsizetype offset) {
        while (marks.back() < offset) {
            const qsizetype mark = cursor.next();
            if (mark < 0) {
                return;
            }
            marks.push_back(mark);
        }
    };
    qsizetype from = 0;
    while (true) {
        const qsizetype found = haystack.indexOf(needle, from, Qt::CaseSensitive);
        if (found < 0) {
            return -1;
        }
        // A match counts only where it starts and ends on character boundaries.
        walkTo(found + needle.size());
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
