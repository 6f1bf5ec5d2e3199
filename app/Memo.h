#pragma once

// A multi-line text pane the operator reads but does not edit. It starts with one empty
// line; AddLine() appends a new line after the last one (so the first stays empty), and a
// line holding line breaks becomes several lines.
//
// Lines are gathered and handed to the document together when the event loop next runs, and
// while they keep coming at most every FlushGapMs (or when Lines() reads the pane): laying out one
// line at a time costs tens of microseconds, a batch costs about one, and every hand-over
// repaints the pane. In a window whose paints are paced (PaintPacer) a stream's lines go over
// just before the window's paint instead. Read the pane through Lines(), not through the
// document.
//
// A pane holds its last MaxLines lines: received data may come for hours, or as a flood, and
// a pane that kept all of it would take the machine's memory. Older lines give way at the
// top. A line longer than MaxLineLength goes on in the next line, so that nothing of it is
// lost: the layout of one line costs time that grows with the square of its length when it
// has no place to break (a megabyte froze the window for most of a minute), pieces of a
// kilobyte cost about a millisecond each.
//
// Every line the pane takes also goes to the pane record (PaneRecorder) under the pane's
// name while a record runs. The pane's pop-up menu offers Copy, Select All and "Save As..."
// (the pane's text as it shows it) after whatever the window put there first.
//
// With time stamps on, every line starts with the local time it was added, "hh:mm:ss.zzz ",
// as part of its text (copied and saved with it); the record keeps its own stamps and takes
// the line without this one. A search (PaneSearch) that watches the pane hears of every
// hand-over of lines, so that it need not look at the whole pane again; the pane paints the
// matches in view under its text.

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <QTextBlock>

class PaintPacer;
class PaneRecorder;
class PaneSearch;
class QMenu;
class QTimer;

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    // 10,000 lines: hours of the link test's packets or a long file's echo, some three
    // hundred pages of the pane; at most a few tens of megabytes, however long the run.
    static constexpr int MaxLines = 10000;
    static constexpr int MaxLineLength = 1024;
    // Lines that keep coming (received data, a flood) reach the document at most this often
    // (ms): each hand-over lays out and scrolls the pane, and at the notifications' own pace
    // that took a whole core. A line after a quiet spell is handed over at once.
    static constexpr int FlushGapMs = 100;

    explicit TMemo(QWidget *parent = nullptr);
    ~TMemo() override;

    // Shows the line and records it.
    void AddLine(const QString &line);
    // The two halves of AddLine, for a window that shows a line otherwise than it records it:
    // Record() as the record takes it, Show() as the pane shows it, stamped with atMs (ms
    // since the epoch) or, when that is negative, with the present time.
    void Record(const QString &line);
    bool Recording() const;
    void Show(const QString &line, qint64 atMs = -1);
    void SetTimeStamps(bool on) { stamps_ = on; }
    bool TimeStamps() const { return stamps_; }
    QStringList Lines() const;
    // Back to one empty line.
    void Clear();

    // The pane's name in the record and in the file name Save As proposes ("Received").
    void SetRecorder(PaneRecorder *recorder, const QString &paneName);
    // Shows menu on a right click, with Copy, Select All and "Save As..." added to its items.
    void UsePopupMenu(QMenu *menu);
    // Select All, the lines still on their way to the pane included.
    void SelectAllLines();
    // Asks for a file and writes the pane's text there; a failed write is shown.
    void SaveAs();
    // The pane's text, a line break after each line; false with the reason when it fails.
    bool SaveToFile(const QString &path, QString &error) const;

    // The blocks the view shows now, top to bottom.
    QList<QTextBlock> VisibleBlocks() const;
    // The highlights of the search's matches within area of the view, as painted.
    struct MatchRect {
        QRectF rect;
        bool current;
    };
    QList<MatchRect> MatchRects(const QRect &area) const;
    // The search that watches the pane, or none.
    void SetSearch(PaneSearch *search) { search_ = search; }
    PaneSearch *Search() const { return search_; }
    // Hands the lines on their way to the document (a search looks at the whole pane).
    void Flush();

protected:
    // Ctrl+A selects the lines still on their way too.
    void keyPressEvent(QKeyEvent *event) override;
    // A pane that followed its last line goes on following it when it grows or shrinks (a
    // find bar opened above it).
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void take(QString text, qint64 atMs);
    // Whether the window's paints are paced; then lines go over just before each paint.
    bool FollowPaints();
    void FlushForPaint();

    QStringList pending_;
    QTimer *flushTimer_;
    QElapsedTimer sinceFlush_; // since lines last reached the document
    QPointer<PaintPacer> pacer_;
    PaneRecorder *recorder_ = nullptr;
    QString paneName_;
    PaneSearch *search_ = nullptr;
    bool stamps_ = false;
};
