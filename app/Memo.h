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

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>

class PaintPacer;
class PaneRecorder;
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

    void AddLine(const QString &line);
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

private:
    void Flush();
    // Whether the window's paints are paced; then lines go over just before each paint.
    bool FollowPaints();
    void FlushForPaint();

    QStringList pending_;
    QTimer *flushTimer_;
    QElapsedTimer sinceFlush_; // since lines last reached the document
    QPointer<PaintPacer> pacer_;
    PaneRecorder *recorder_ = nullptr;
    QString paneName_;
};
