#include "common/StringExtensions.h"
#include "common/StringServices.h"

#include <QTest>

using namespace StringExtensions;

namespace {
const QString kFamily = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467"); // one character
const QString kFlag = QString::fromUtf8("\U0001F1EB\U0001F1F7");                         // one character
const QString kEAcute = QString::fromUtf8("e\u0301");             // e + combining acute
const QString kThumb = QString::fromUtf8("\U0001F44D\U0001F3FD"); // emoji + skin tone
} // namespace

class TestStringServices : public QObject
{
    Q_OBJECT

private:
    StringServices services;

private Q_SLOTS:
    void testPreviewDropsTagsAndNbsp()
    {
        QCOMPARE(services.postPreview("<p>a&nbsp;<b>b</b></p>\n"), QStringLiteral("ab"));
        QCOMPARE(services.postPreview("line one\nline two"), QStringLiteral("line one line two"));
        QCOMPARE(services.postPreview("  \t<div>x</div>\u00a0 "), QStringLiteral("x"));
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
