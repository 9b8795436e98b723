#include "common/StringExtensions.h"
#include "common/StringServices.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <vector>

using namespace StringExtensions;

namespace {
const QString kFamily = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // one character
const QString kFlag = QString::fromUtf8("\U0001F1EB\U0001F1F7");                         // one character
const QString kEAcute = QString::fromUtf8("e\u0301");             // e + combining acute
const QString kThumb = QString::fromUtf8("\U0001F44D\U0001F3FD"); // emoji + skin tone
// The helpers as defined on the whole text at once: every boundary from the finder, indicator runs
// re-paired from their start, the tag pattern applied over the whole text. The one-pass helpers must
// give exactly what these give.
namespace Reference {

bool isRegionalIndicator(const QString& text, qsizetype offset)
{
    if (offset + 1 >= text.size() || !text.at(offset).isHighSurrogate()) {
        return false;
    }
    const char32_t code = QChar::surrogateToUcs4(text.at(offset), text.at(offset + 1));
    return code >= 0x1F1E6 && code <= 0x1F1FF;
}

std::vector<qsizetype> boundaries(const QString& text)
{
    std::vector<qsizetype> marks{0};
    if (text.isEmpty()) {
        return marks;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1) {
        const qsizetype position = finder.position();
        // Never between the halves of a surrogate pair, where Qt's finder sometimes stops.
        if (position < text.size() && text.at(position).isLowSurrogate() &&
            text.at(position - 1).isHighSurrogate()) {
            continue;
        }
        marks.push_back(position);
    }
    std::vector<std::pair<qsizetype, qsizetype>> runs;
    for (qsizetype position = 0; position < text.size();) {
        if (!isRegionalIndicator(text, position)) {
            ++position;
            continue;
        }
        const qsizetype begin = position;
        while (isRegionalIndicator(text, position)) {
            position += 2;
        }
        if (position - begin > 2) {
            runs.emplace_back(begin, position);
        }
    }
    std::vector<qsizetype> result;
    for (qsizetype mark : marks) {
        if (std::none_of(runs.begin(), runs.end(),
                         [mark](const auto& run) { return mark > run.first && mark < run.second; })) {
            result.push_back(mark);
        }
    }
    for (const auto& [begin, end] : runs) {
        for (qsizetype mark = begin + 4; mark < end; mark += 4) {
            result.push_back(mark);
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

QString left(const QString& text, qsizetype characters)
{
    const std::vector<qsizetype> marks = boundaries(text);
    return text.left(characters < qsizetype(marks.size()) ? marks[characters] : text.size());
}

QString trimmed(const QString& text)
{
    auto blank = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && blank(text.at(start))) {
        ++start;
    }
    while (end > start && blank(text.at(end - 1))) {
        --end;
    }
    return text.mid(start, end - start);
}

QString withoutTags(QString text)
{
    static const QRegularExpression tag(QStringLiteral("<[^\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}]*?>"));
    return text.remove(tag);
}

qsizetype indexOf(const QString& text, const QString& target)
{
    if (target.isEmpty()) {
        return -1;
    }
    const QString haystack = text.normalized(QString::NormalizationForm_C);
    const QString needle = target.normalized(QString::NormalizationForm_C);
    const std::vector<qsizetype> marks = boundaries(haystack);
    for (qsizetype found = haystack.indexOf(needle); found >= 0;
         found = haystack.indexOf(needle, found + 1)) {
        const auto start = std::find(marks.begin(), marks.end(), found);
        if (start != marks.end() && std::count(marks.begin(), marks.end(), found + needle.size()) == 1) {
            return start - marks.begin();
        }
    }
    return -1;
}

QString postPreview(QString html)
{
    static const QRegularExpression separating(
        QStringLiteral(
            "^/?(address|article|aside|blockquote|br|caption|dd|details|div|dl|dt|fieldset|figcaption|"
            "figure|footer|form|h[1-6]|header|hr|li|main|nav|ol|p|pre|section|summary|table|tbody|"
            "td|tfoot|th|thead|tr|ul)(?![A-Za-z0-9])"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<([^\\n\\x{0B}\\f\\r\\x{85}\\x{2028}\\x{2029}]*?)>"));
    html.replace(u'\n', u' ');
    html.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    QString text;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        text += html.mid(from, match.capturedStart() - from);
        text += separating.match(match.captured(1)).hasMatch() ? QStringLiteral(" ") : QString();
        from = match.capturedEnd();
    }
    text += html.mid(from);
    QString collapsed;
    for (const QChar c : std::as_const(text)) {
        const bool white = c == u'\t' || c.category() == QChar::Separator_Space ||
                           QStringLiteral("\n\x0b\f\r\x85\u2028\u2029").contains(c);
        if (!white) {
            collapsed += c;
        } else if (!collapsed.endsWith(u' ')) {
            collapsed += u' ';
        }
    }
    text = trimmed(collapsed);
    return boundaries(text).size() - 1 > 200 ? left(text, 200) : text;
}

} // namespace Reference

// Random text made of the pieces the helpers treat specially, long enough to cross the prefixes the
// one-pass helpers look at. Some texts keep to scripts whose boundaries Qt draws by syllables (and to
// characters that join their runs), so those runs grow long.
enum class Pieces
{
    Mixed,
    WithLoneSurrogates,
    SyllableScripts
};

QString generatedText(QRandomGenerator& random, int pieces, Pieces kind)
{
    // Lone surrogates last, so they can be left out.
    static const QStringList mixed{"a",
                                   "Z",
                                   "7",
                                   " ",
                                   "\t",
                                   "\u00a0",
                                   "\u3000",
                                   "&nbsp;",
                                   "&nb",
                                   "<b>",
                                   "</p>",
                                   "<",
                                   ">",
                                   "<a href='x'>",
                                   "\n",
                                   "\r",
                                   "\r\n",
                                   "\u000b",
                                   "\f",
                                   "\u0085",
                                   "\u2028",
                                   "\u2029",
                                   "\u0301",
                                   "\u200d",
                                   "\u00e9",
                                   "\u00a9",
                                   "\U0001F1EB",
                                   "\U0001F1F7",
                                   kFlag,
                                   kFamily,
                                   kThumb,
                                   kEAcute,
                                   "\u1100\u1161\u11a8",
                                   "\u0915\u094d\u0937",
                                   "\u0e01\u0e34",
                                   "\u1780\u17d2\u1780",
                                   QString(QChar(0xD83C)),
                                   QString(QChar(0xDDEB))};
    static const QStringList syllables{
        "\u0915",       "\U000E0063", "\u094d", "\u0937", "\u093f", "\u0e01\u0e34", "\u1780\u17d2\u1780",
        "\u0f40\u0f7a", " ",          "7",      "\r\n",   "\r",     "\n",           "<b>",
        "&nbsp;",       "\u0301",     kFlag,    "."};
    const QStringList& from = kind == Pieces::SyllableScripts ? syllables : mixed;
    const int choices = int(from.size()) - (kind == Pieces::Mixed ? 2 : 0);
    QString text;
    for (int i = 0; i < pieces; ++i) {
        text += from.at(random.bounded(choices));
    }
    return text;
}

} // namespace

class TestStringServices : public QObject
{
    Q_OBJECT

private:
    StringServices services;

    // Each one-pass helper against its whole-text definition; the pattern matcher cannot read texts
    // with lone surrogates, so the tag helpers are compared only where it can.
    void compareWithDefinitions(const QString& text, QRandomGenerator& random, bool patternReadable)
    {
        const std::vector<qsizetype> marks = Reference::boundaries(text);
        const qsizetype count = qsizetype(marks.size()) - 1;
        QCOMPARE(characterCount(text), count);
        for (qsizetype n : {qsizetype(0), qsizetype(1), count / 2, count - 1, count, count + 1}) {
            QCOMPARE(substringToIndex(text, n), Reference::left(text, n));
            QCOMPARE(substringFromIndex(text, n), text.mid(Reference::left(text, n).size()));
        }
        if (patternReadable) {
            QCOMPARE(services.postPreview(text), Reference::postPreview(text));
            QCOMPARE(services.removeHtmlEntries(text), Reference::trimmed(Reference::withoutTags(text)));
        }
        const qsizetype at = random.bounded(int(text.size()) + 1);
        const QString needle = text.mid(at, 1 + int(random.bounded(4)));
        QCOMPARE(indexOf(text, needle), Reference::indexOf(text, needle));
    }

private Q_SLOTS:
    void testPreviewReadsSpacingAsABrowserShowsIt()
    {
        QCOMPARE(services.postPreview("<p>a&nbsp;<b>b</b></p>\n"), QStringLiteral("a b"));
        QCOMPARE(services.postPreview("line one\nline two"), QStringLiteral("line one line two"));
        QCOMPARE(services.postPreview("  \t<div>x</div>\u00a0 "), QStringLiteral("x"));
        // The words the list rows ran together.
        QCOMPARE(services.postPreview("<p>The sand</p><p>was gold</p>"), QStringLiteral("The sand was gold"));
        QCOMPARE(services.postPreview("<h2>shore.</h2><DIV class='x'>Notes from day 2</DIV>"),
                 QStringLiteral("shore. Notes from day 2"));
        QCOMPARE(services.postPreview("tea<br>a map<BR/>More<br />end"),
                 QStringLiteral("tea a map More end"));
        QCOMPARE(services.postPreview("<ul><li>one<li>two</ul>"), QStringLiteral("one two"));
        // Inline elements join as they show; each run of white space gives one space.
        QCOMPARE(services.postPreview("<b>bo</b>ld <span>a</span><a href='x'>b</a>"),
                 QStringLiteral("bold ab"));
        QCOMPARE(services.postPreview("a&nbsp;&nbsp; \t\r\n\u3000b"), QStringLiteral("a b"));
        QCOMPARE(services.postPreview("one <p>two</p> three <i>four</i> five "),
                 QStringLiteral("one two three four five"));
        QCOMPARE(services.postPreview("<p>&nbsp;</p><p> x </p><p>&nbsp;</p>"), QStringLiteral("x"));
        // A tag named like a block element but longer is inline.
        QCOMPARE(services.postPreview("a<pre>b</pre>c<progress>d</progress>e"), QStringLiteral("a b cde"));
        // The 200 characters are counted after the spacing is read.
        QCOMPARE(services.postPreview(QString(150, 'a') + "<p></p>&nbsp;\n  " + QString(100, 'b')),
                 QString(150, 'a') + " " + QString(49, 'b'));
    }

    void testPreviewCutsAt200Characters()
    {
        const QString text250(250, 'a');
        QCOMPARE(services.postPreview(text250), QString(200, 'a'));
        const QString text200(200, 'b');
        QCOMPARE(services.postPreview(text200), text200);
    }

    void testPreviewCountsGraphemesNotCodeUnits()
    {
        QString text;
        for (int i = 0; i < 210; ++i) {
            text += (i % 3 == 0) ? kFamily : (i % 3 == 1 ? kEAcute : kFlag);
        }
        const QString preview = services.postPreview("<p>" + text + "</p>");
        QCOMPARE(characterCount(preview), 200);
        QVERIFY(text.startsWith(preview));
        // The cut never splits a character: the last one is whole.
        QVERIFY(preview.endsWith(kEAcute) || preview.endsWith(kFlag) || preview.endsWith(kFamily));
    }

    void testPreviewCutKeepsAnAccentWithItsLetter()
    {
        // Plain ASCII up to the cut, and a combining accent right after it.
        const QString text = QString(199, 'a') + QStringLiteral("e\u0301xyz");
        QCOMPARE(services.postPreview(text), QString(199, 'a') + QStringLiteral("e\u0301"));
    }

    void testTagsAfterWideCharactersAreStillRemoved()
    {
        QCOMPARE(services.postPreview(kThumb + "<b>x</b>" + kEAcute + "<i>y</i>"),
                 kThumb + "x" + kEAcute + "y");
    }

    void testTagSpanningLinesStaysInComments()
    {
        QCOMPARE(services.removeHtmlEntries("a<b\nc>d"), QStringLiteral("a<b\nc>d"));
    }

    void testRemoveHtmlEntriesTrimsBlanksButKeepsLineFeeds()
    {
        QCOMPARE(services.removeHtmlEntries("  <i>x</i>  "), QStringLiteral("x"));
        QCOMPARE(services.removeHtmlEntries("\n<i>x</i>\n"), QStringLiteral("\nx\n"));
        QCOMPARE(services.removeHtmlEntries("<A HREF='x'>link</A>"), QStringLiteral("link"));
    }

    void testDecodeCommentHtml_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        QTest::newRow("br with slash") << "a<br />b"
                                       << "a\nb";
        QTest::newRow("bare br") << "a<br>b"
                                 << "ab";
        QTest::newRow("escaped tag") << "&lt;b&gt;x&lt;/b&gt;"
                                     << "<b>x</b>";
        QTest::newRow("ampersand") << "x &amp; y"
                                   << "x & y";
        QTest::newRow("quotes") << "&quot;hi&quot; &apos;there&apos;"
                                << "\"hi\" 'there'";
        QTest::newRow("nbsp removed") << "a&nbsp;b"
                                      << "ab";
        QTest::newRow("literal entity text is decoded once") << "&amp;lt;"
                                                             << "&lt;";
        QTest::newRow("literal amp amp") << "&amp;amp;"
                                         << "&amp;";
        QTest::newRow("numeric kept") << "&#39;"
                                      << "&#39;";
        QTest::newRow("trimmed") << "  <p>hi</p>  "
                                 << "hi";
    }

    void testDecodeCommentHtml()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(services.decodeCommentHtml(html), text);
    }

    void testIndexOf()
    {
        QCOMPARE(indexOf("VARCHAR (50)", "("), 8);
        QCOMPARE(indexOf("abc", "a"), 0);
        QCOMPARE(indexOf("abc", "z"), -1);
        QCOMPARE(indexOf("abc", ""), -1);
        QCOMPARE(indexOf(kFamily + kFlag + "x(", "("), 3);
        // Canonically equivalent forms match, positions in characters.
        QCOMPARE(indexOf("caf" + kEAcute + " (1)", QString::fromUtf8("\u00e9")), 3);
        QCOMPARE(indexOf(QString::fromUtf8("caf\u00e9!"), kEAcute), 3);
        // A match inside a character is no match: "e" alone is not the accented letter.
        QCOMPARE(indexOf(kEAcute, "e"), -1);
    }

    void testFlagAfterJoinedEmojiIsOneCharacter()
    {
        QCOMPARE(characterCount(kFamily + kFlag), 2);
        QCOMPARE(characterCount(kFlag + kFlag + kFlag), 3);
        QCOMPARE(characterCount(kThumb + kFlag + "x"), 3);
        QCOMPARE(substringToIndex(kFamily + kFlag + kFlag, 2), kFamily + kFlag);
    }

    void testSubstringsByCharacter()
    {
        QCOMPARE(substringToIndex("123", 2), QStringLiteral("12"));
        QCOMPARE(substringFromIndex("src=\"x\"", 5), QStringLiteral("x\""));
        QCOMPARE(substringFromIndex("abc", 3), QString());
        QCOMPARE(substringToIndex(kFlag + kFamily + "z", 2), kFlag + kFamily);
        QCOMPARE(substringFromIndex(kEAcute + kThumb + "z", 1), kThumb + "z");
        QCOMPARE(substringFromIndex("http://x/y", 7), QStringLiteral("x/y"));
        QCOMPARE(fullRange(kFlag + "ab"), (CharacterRange{0, 3}));
        // Out of range positions are clamped instead of reading past the text.
        QCOMPARE(substringToIndex("ab", 10), QStringLiteral("ab"));
        QCOMPARE(substringFromIndex("ab", 10), QString());
    }

    void testTagNeverSpansALineEndOfAnyKind_data()
    {
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("carriage return") << "\r";
        QTest::newRow("line separator") << "\u2028";
        QTest::newRow("paragraph separator") << "\u2029";
        QTest::newRow("next line") << "\u0085";
        QTest::newRow("vertical tab") << "\u000b";
        QTest::newRow("form feed") << "\f";
        QTest::newRow("line feed") << "\n";
    }

    void testTagNeverSpansALineEndOfAnyKind()
    {
        QFETCH(QString, lineEnd);
        const QString html = "a<b" + lineEnd + "c>d<i>e</i>";
        QCOMPARE(services.removeHtmlEntries(html), "a<b" + lineEnd + "c>de");
        // The preview reads a line feed as a space first, so only there the tag spans it.
        QCOMPARE(services.postPreview(html), lineEnd == "\n" ? QString("ade") : QString("a<b c>de"));
    }

    void testOnePassHelpersGiveWhatWholeTextDefinitionsGive()
    {
        QRandomGenerator random(20150307);
        for (int round = 0; round < 600; ++round) {
            const Pieces kind = round % 3 == 0   ? Pieces::WithLoneSurrogates
                                : round % 3 == 1 ? Pieces::SyllableScripts
                                                 : Pieces::Mixed;
            const QString text =
                generatedText(random, 1 + int(random.bounded(round < 500 ? 300 : 3000)), kind);
            compareWithDefinitions(text, random, kind != Pieces::WithLoneSurrogates);
            if (QTest::currentTestFailed()) {
                return;
            }
        }
        // Characters without a script of their own belong to the run before them, or to the first run
        // when they lead: long enough, such runs reach past the first prefixes looked at.
        const QString commons = QString("\r\n 7.").repeated(100);
        for (const QString& text : {commons + "\u0915\r\nab", "ab" + commons + "\u0915",
                                    "\u0915" + commons + "x", commons + "x\u0915" + commons}) {
            compareWithDefinitions(text, random, true);
        }
        // A preview whose 200th character falls among syllables, near the end of what was read so far.
        const QString syllables = QString("\u0915\u094d\u0937\u093f\r\n<b>&nbsp;").repeated(400);
        for (int latin : {150, 190, 199, 230, 250}) {
            compareWithDefinitions(QString(latin, 'a') + syllables, random, true);
            compareWithDefinitions(QString(latin, 'a') + syllables + "z", random, true);
        }
    }

    void testManyRunsOfFlagsArePairedInOnePass()
    {
        // Two flags, a letter, again and again: a million runs. Pairing each run again for every boundary
        // of the text would not finish within the suite's time-out.
        const QString unit = kFlag + kFlag + "x";
        const int repeats = 1000000;
        const QString text = unit.repeated(repeats);
        QCOMPARE(characterCount(text), qsizetype(3) * repeats);
        QCOMPARE(substringToIndex(text, 3 * repeats - 1), text.chopped(1));
        // After a joined emoji Qt's finder restarts pairing; the runs still pair from their start.
        QCOMPARE(characterCount(kFamily + text), qsizetype(3) * repeats + 1);
    }

    void testCutNeverSplitsASurrogatePair()
    {
        // Qt's finder breaks inside the tag characters that follow this consonant.
        const QString tags = QString::fromUtf16(u"\U000E0063\U000E0074");
        const QString text = QString::fromUtf16(u"\u0937") + tags;
        for (qsizetype n = 0; n <= characterCount(text); ++n) {
            QVERIFY(substringToIndex(text, n).isValidUtf16());
            QVERIFY(substringFromIndex(text, n).isValidUtf16());
        }
        QVERIFY(characterCount(text) <= 3);
    }

    void testPercentEncodingReservedSet()
    {
        QCOMPARE(urlEncoded("a b/c"), QStringLiteral("a%20b%2Fc"));
        QCOMPARE(urlDecoded("a%20b%2Fc"), QStringLiteral("a b/c"));
        QCOMPARE(urlEncoded("!*'();:@&=+$,/?%#[]"),
                 QStringLiteral("%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D"));
        QCOMPARE(urlEncoded("AZaz09-_.~"), QStringLiteral("AZaz09-_.~"));
        QCOMPARE(urlEncoded(QString::fromUtf8("\u00e9")), QStringLiteral("%C3%A9"));
        const QString mixed = kFamily + " & " + kEAcute + "=%";
        QCOMPARE(urlDecoded(urlEncoded(mixed)), mixed);
    }
};

QTEST_GUILESS_MAIN(TestStringServices)
#include "TestStringServices.moc"
