#pragma once

#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

#include <memory>

// Walks the user-perceived character boundaries of a text from its start, one at a time, and looks at
// no more of the text than the boundaries asked for need: the boundary finder sees a growing prefix.
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

private:
    static constexpr qsizetype NotRead = -2;

    qsizetype nextFinderBoundary();
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
    qsizetype m_lastFinderBoundary = 0;
    qsizetype m_pending = NotRead;
    qsizetype m_last = 0;

    qsizetype m_scan = 0;
    qsizetype m_runBegin = -1;
    qsizetype m_runEnd = -1;
    bool m_runComplete = false;
};
