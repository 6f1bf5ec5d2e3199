#pragma once

// The send line's history: Up and Down bring back the last MaxLines lines sent, newest first,
// for this run. Down past the newest gives back what was in the field before Up. A line sent
// twice in a row is kept once, and Up skips the newest line while the field still shows it
// (the field keeps the line it sent).

#include <QObject>
#include <QString>
#include <QStringList>

class QLineEdit;

class InputHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxLines = 50;

    // Takes the Up and Down keys of field; a child of the field.
    explicit InputHistory(QLineEdit *field);

    void Add(const QString &line);
    QStringList Lines() const { return lines_; }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Up();
    void Down();

    QLineEdit *field_;
    QStringList lines_; // oldest first
    qsizetype at_ = 0;  // the line shown; lines_.size(): the field's own text
    QString draft_;     // the field's own text, while a line of the history is shown
};
