#pragma once

// A multi-line text pane the operator reads but does not edit. It starts with one empty
// line; AddLine() appends a new line after the last one (so the first stays empty), and a
// line holding line breaks becomes several lines.
//
// Lines are gathered and handed to the document together when the event loop next runs, and
// while they keep coming at most every 20 ms (or when Lines() reads the pane): laying out one
// line at a time costs tens of microseconds, a batch costs about one, and every hand-over
// repaints the pane. Read the pane through Lines(), not through the document.
//
// A pane holds its last MaxLines lines: received data may come for hours, or as a flood, and
// a pane that kept all of it would take the machine's memory. Older lines give way at the
// top. A line longer than MaxLineLength goes on in the next line, so that nothing of it is
// lost: the layout of one line costs time that grows with the square of its length when it
// has no place to break (a megabyte froze the window for most of a minute), pieces of a
// kilobyte cost about a millisecond each.

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStringList>

class QTimer;

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    // 10,000 lines: hours of the link test's packets or a long file's echo, some three
    // hundred pages of the pane; at most a few tens of megabytes, however long the run.
    static constexpr int MaxLines = 10000;
    static constexpr int MaxLineLength = 1024;

    explicit TMemo(QWidget *parent = nullptr);

    void AddLine(const QString &line);
    QStringList Lines() const;
    // Back to one empty line.
    void Clear();

private:
    void Flush();

    QStringList pending_;
    QTimer *flushTimer_;
    QElapsedTimer sinceFlush_; // since lines last reached the document
};
