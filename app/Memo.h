#pragma once

// A multi-line text pane the operator reads but does not edit. It starts with one empty
// line; AddLine() appends a new line after the last one (so the first stays empty), and a
// line holding line breaks becomes several lines.
//
// Lines are gathered and handed to the document together when the event loop next runs (or
// when Lines() reads the pane): laying out one line at a time costs tens of microseconds, a
// batch costs about one. Read the pane through Lines(), not through the document.

#include <QPlainTextEdit>
#include <QStringList>

class QTimer;

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget *parent = nullptr);

    void AddLine(const QString &line);
    QStringList Lines() const;
    // Back to one empty line.
    void Clear();

private:
    void Flush();

    QStringList pending_;
    QTimer *flushTimer_;
};
