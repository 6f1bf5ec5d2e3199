#pragma once

// A multi-line text pane the operator reads but does not edit. It starts with one empty
// line; AddLine() appends a new line after the last one (so the first stays empty), and a
// line holding line breaks becomes several lines. Appending costs the same however long the
// pane is, and the pane keeps the last line in view.

#include <QPlainTextEdit>
#include <QStringList>

class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget *parent = nullptr);

    void AddLine(const QString &line);
    QStringList Lines() const;
    // Back to one empty line.
    void Clear();
};
