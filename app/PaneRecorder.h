#pragma once

// "Record to File...": every line any pane takes goes to a file as it comes, one line each,
//
//   2026-12-08T17:33:42.914+01:00<TAB>Received<TAB>abcdefghijklmnopqrstuvwzx
//
// The file is opened for appending, so a record stopped and started again on the same file
// goes on after what is there. Each line is handed to the system with one write as soon as the
// pane takes it: when the program crashes, everything recorded before is in the file (the
// kernel holds it; no sync to the disk is needed for that, and none slows the panes).
//
// A pane line may hold any byte received; control characters are written as their Unicode
// pictures (U+2400 on), so that the record stays one line per pane line and is safe to read
// in a terminal with tail or less. A failed write ends the record and says why (failed()).

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringView>

class PaneRecorder : public QObject {
    Q_OBJECT
public:
    explicit PaneRecorder(QObject *parent = nullptr);

    // Opens path for appending; false, with the reason in error, when it cannot be opened.
    bool start(const QString &path, QString &error);
    void stop();
    bool recording() const { return file_.isOpen(); }
    QString path() const { return file_.fileName(); }

    // A text the named pane takes; a line break in it starts a new record line.
    void write(const QString &pane, QStringView text)
    {
        if (recording())
            writeLines(pane, text);
    }

signals:
    // The record ended because a write failed (a full disk, a vanished drive).
    void failed(const QString &reason);

private:
    void writeLines(const QString &pane, QStringView text);

    QFile file_;
};
