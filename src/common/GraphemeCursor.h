#pragma once

#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

#include <memory>

// Walks the user-perceived character boundaries of a text from its start, one at a time, and looks at
// no more of the text than the boundaries asked for need: between two plain characters (below U+0300)
// the boundary is known without the finder; elsewhere the boundary finder sees a growing prefix.
// Runs of regional indicators pair from the start of the run (Qt's finder restarts the pairing after
// some sequences, which would split flags).
class GraphemeCursor
{
public:
    // The text must outlive the cursor. expectedReach (UTF-16 units) sizes the first prefix looked at:
    // the whole text when every boundary will be asked for.
    explicit GraphemeCursor(QStringView text, qsizetype expectedReach = 0);

    // The next boundary after the last one given (the first after 0), or -1 past the end of the text.
    // The end of a non-empty text is its last boundary.
    qsizetype next();
    // Where the text stands after `count` more boundaries (as many calls of next()), or -1 when it ends
    // before; the same walk with runs of plain characters taken in one loop. *walked tells how many
    // boundaries were passed.
    qsizetype advance(qsizetype count, qsizetype* walked = nullptr);

    // A letter (no mark) of a script whose boundaries Qt's finder draws from left to right. A prefix
    // of a text that ends with one has, up to its end, the boundaries of the whole text.
    static bool isPlainLetter(QChar c);

    // The kind of script run a character starts or joins, as Qt's finder groups text.
    enum class ScriptRun
    {
        Joins,
        Plain,
        Tailored
    };

private:
    static constexpr qsizetype NotRead = -2;

    // The finder's first boundary after `from`, or -1.
    qsizetype nextFinderBoundary(qsizetype from);
    void consumePending();
    // Whether the character at offset lies in a script run whose boundaries Qt does not re-draw; the
    // runs are followed by one forward scan.
    bool inPlainRun(qsizetype offset);
    bool isRegionalIndicator(qsizetype offset) const;
    // Runs of two or more indicators are found by one forward scan that never goes back, only as far
    // as asked: runBefore makes the first run that begins before limit and ends after the last
    // boundary given the current one; runCovers tells whether offset lies before the current run's end.
    void findRunBefore(qsizetype limit);
    bool runBefore(qsizetype limit);
    bool runCovers(qsizetype offset);

    QStringView m_text;
    qsizetype m_firstWindow;
    std::unique_ptr<QTextBoundaryFinder> m_finder;
    qsizetype m_window = 0;
    // The finder's boundaries are looked for after here; its next one waits in m_pending.
    qsizetype m_finderFrom = 0;
    qsizetype m_pending = NotRead;
    qsizetype m_last = 0;

    qsizetype m_scriptScan = 0;
    // The last script run begun before m_scriptScan; Joins while none has begun.
    ScriptRun m_lastRun = ScriptRun::Joins;

    qsizetype m_scan = 0;
    qsizetype m_runBegin = -1;
    qsizetype m_runEnd = -1;
    bool m_runComplete = false;
};
