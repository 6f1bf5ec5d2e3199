#pragma once

// A search through one pane, as the find bar drives it: every match of a text (with or
// without regard to case) counted over the whole pane, one of them the current match
// (selected, "3 of 17"), Next and Previous going round the pane's end.
//
// Received data may pour into the pane while the search is open, so the search never looks
// at the whole pane again for new lines: it keeps the number of matches of every line, counts
// only the lines handed over (Appended) and forgets the counts of the lines the pane lets go
// at its top. The pane paints the highlights under the matches in view as it paints its text
// (TMemo::MatchRects), a few dozen lines each paint however full the pane: no cursor, no
// selection and no repaint of their own follow the stream.

#include <QObject>
#include <QString>
#include <QStringView>
#include <QTextCursor>

#include <deque>
#include <vector>

class TMemo;

class PaneSearch : public QObject {
    Q_OBJECT
public:
    // Watches pane (its hand-overs, its scrolling) until destroyed; a child of the pane.
    explicit PaneSearch(TMemo *pane);
    ~PaneSearch() override;

    TMemo *Pane() const { return pane_; }

    // Counts the pattern's matches anew; the current match becomes the first one at or after
    // the top of the view (or the first of the pane, going round).
    void SetPattern(const QString &pattern, Qt::CaseSensitivity cs);
    QString Pattern() const { return pattern_; }
    void Next();
    void Previous();
    int Total() const { return total_; }
    // The current match's place among all, from 1; 0 when there is none (no match yet, or
    // its line has left the pane).
    int Current() const;
    // "3 of 17"; "? of 17" without a current match; "No matches"; empty without a pattern.
    QString CountText() const;
    // Where the current match starts in the pane's document; -1 without one.
    int CurrentStart() const;
    // Whether the pane's block may hold a match (its count is not 0).
    bool MayMatch(int blockNumber) const;
    // Where the pattern starts in line, matches not overlapping, left to right.
    std::vector<int> PositionsIn(QStringView line) const;

    // From the pane: text has been added as lines, the pane holding before blocks then and
    // after blocks now (it let go of the rest at its top).
    void Appended(QStringView text, int before, int after);
    // The pane was emptied.
    void Restart();

signals:
    void changed();

private:
    int countIn(QStringView line) const;
    void recount();
    // The match nearest to position in the direction asked for, going round; -1 if none.
    int find(int position, bool forward) const;
    void select(int position);
    // Next or Previous: the match after the current one (or the view's top) that way.
    void step(bool forward);
    int viewTop() const;
    // The highlights change: the pane paints them anew.
    void repaint();

    TMemo *pane_;
    QString pattern_;
    Qt::CaseSensitivity cs_ = Qt::CaseInsensitive;
    std::deque<int> counts_; // matches of each block of the pane, in order
    int total_ = 0;
    QTextCursor current_;
};
