#include "StringExtensions.h"

#include <QTextBoundaryFinder>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace StringExtensions {

namespace {

bool isRegionalIndicator(const QString& text, qsizetype offset, qsizetype* width)
{
    if (offset + 1 >= text.size() || !text.at(offset).isHighSurrogate()) {
        return false;
    }
    const char32_t code = QChar::surrogateToUcs4(text.at(offset), text.at(offset + 1));
    *width = 2;
    return code >= 0x1F1E6 && code <= 0x1F1FF;
}

// Qt's finder restarts regional-indicator pairing after some sequences (a flag right after a joined emoji),
// splitting flags in two. Inside a run of indicators the boundaries are every second indicator from its
// start.
std::vector<qsizetype> mendRegionalIndicatorPairs(const QString& text, const std::vector<qsizetype>& marks)
{
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    qsizetype width = 0;
    for (qsizetype position = 0; position < text.size();) {
        if (!isRegionalIndicator(text, position, &width)) {
            ++position;
            continue;
        }
        const qsizetype begin = position;
        while (isRegionalIndicator(text, position, &width)) {
            position += 2;
        }
        if (position - begin > 2) {
            runs.emplace_back(begin, position);
        }
    }
    if (runs.empty()) {
        return marks;
    }
    std::vector<qsizetype> result;
    for (qsizetype mark : marks) {
        const bool inside = std::any_of(runs.begin(), runs.end(), [mark](const auto& run) {
            return mark > run.first && mark < run.second;
        });
        if (!inside) {
            result.push_back(mark);
        }
    }
    for (const auto& [begin, end] : runs) {
        for (qsizetype mark = begin + 4; mark < end; mark += 4) {
            result.push_back(mark);
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

// UTF-16 offsets of every grapheme boundary, the start (0) and the end included.
std::vector<qsizetype> boundaries(const QString& text)
{
    std::vector<qsizetype> result{0};
    if (text.isEmpty()) {
        return result;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1) {
        const qsizetype position = finder.position();
        // Qt's finder can stop between the halves of a surrogate pair (a tag character after some letters):
        // a cut there would leave half a character.
        if (position < text.size() && text.at(position).isLowSurrogate() &&
            text.at(position - 1).isHighSurrogate()) {
            continue;
        }
        result.push_back(position);
    }
    return mendRegionalIndicatorPairs(text, result);
}

// UTF-16 offset where character position n starts (the end when n reaches past it).
qsizetype offsetOfCharacter(const QString& text, qsizetype n)
{
    if (n <= 0) {
        return 0;
    }
    const std::vector<qsizetype> marks = boundaries(text);
    if (n >= static_cast<qsizetype>(marks.size())) {
        return text.size();
    }
    return marks[static_cast<std::size_t>(n)];
}

} // namespace

qsizetype characterCount(const QString& text)
{
    return static_cast<qsizetype>(boundaries(text).size()) - 1;
}

qsizetype indexOf(const QString& text, const QString& target)
{
    // An empty text occurs nowhere, as the platform's search answers it.
    if (target.isEmpty()) {
        return -1;
    }
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
