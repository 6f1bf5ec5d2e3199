#pragma once

// The file-send progress window: a bar that counts the lines of the file being sent and an
// "&Abort" button. It lives for the whole run, hidden except while a file goes out; the
// sender reads Aborted once per line, so the line in progress always completes.

#include <QDialog>

class QProgressBar;
class QPushButton;
class QShowEvent;

class TWritingForm : public QDialog {
    Q_OBJECT
public:
    explicit TWritingForm(QWidget *parent = nullptr);

    QProgressBar *ProgressBar1; // 0 to 100 until a file re-ranges it to its line count
    QPushButton *Button1;       // "&Abort"
    bool Aborted = false;       // "&Abort" pressed since the window was last shown

    // Lines handled so far. QProgressBar paints at once on every visible step, which a file
    // of many short lines would pay inside the timing of its packets; the bar is painted
    // with the rest of the window when the events next run.
    void SetProgress(int lines);

    void FormShow();     // every showing: a new transfer starts unaborted
    void Button1Click(); // "&Abort"
    // The close box and Escape: the window would go while the file still goes out, with no
    // way left to stop it, so closing it aborts the transfer as "&Abort" does.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
};

extern TWritingForm *WritingForm;
