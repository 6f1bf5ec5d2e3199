#pragma once

// A search through one pane, as the find bar drives it: every match of a text (with or
// without regard to case) counted over the whole pane, one of them the current match
// (selected, "3 of 17"), Next and Previous going round the pane's end.
//
// Received data may pour into the pane while the search is open, so the search never looks
// at the whole pane again for new lines: it keeps the number of matches of every line, counts
// only the lines handed over (Appended) and forgets the counts of the lines the pane lets go
// at its top. Only the matches in view are highlighted; they are found again when the view
// moves or new lines arrive, a few dozen lines each time, however full the pane.

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

    // From the pane: lines are about to be handed over; text has been added as lines, the pane
    // holding before blocks then and after blocks now (it let go of the rest at its top).
    void BeginAppend() { appending_ = true; }
    void Appended(QStringView text, int before, int after);
    // The pane was emptied.
    void Restart();
    // Highlights the matches in view.
    void Highlight();

signals:
    void changed();

private:
    // Where the pattern starts in line, matches not overlapping, left to right.
    std::vector<int> positionsIn(QStringView line) const;
    int countIn(QStringView line) const;
    void recount();
    // The match nearest to position in the direction asked for, going round; -1 if none.
    int find(int position, bool forward) const;
    void select(int position);
    int viewTop() const;

    TMemo *pane_;
    QString pattern_;
    Qt::CaseSensitivity cs_ = Qt::CaseInsensitive;
    std::deque<int> counts_; // matches of each block of the pane, in order
    int total_ = 0;
    QTextCursor current_;
    bool appending_ = false;
    std::vector<int> shown_; // starts of the highlighted matches, the current one negated - 1
    int shownRevision_ = -1; // the document's revision they were found in
};
