#pragma once

// The find bar: Edit, "Find..." (Ctrl+F) opens it above a pane, the one with the focus or the
// Received pane. Typing finds as it goes; Enter and F3 go to the next match, Shift+Enter and
// Shift+F3 to the previous one, round the pane's end; "Match case" tells upper from lower
// case. The count beside it ("3 of 17") keeps up with lines that arrive meanwhile. Escape or
// the close button closes it and takes the highlights away.
//
// There is one bar for the window; opening it over another pane moves it there. The search
// itself is the pane's (PaneSearch), made when the bar opens and dropped when it closes, so a
// pane without the bar pays nothing for it.

#include <QPointer>
#include <QWidget>

class PaneSearch;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QToolButton;
class TMemo;

class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    QLineEdit *Pattern;
    QToolButton *PreviousButton;
    QToolButton *NextButton;
    QCheckBox *MatchCase;
    QLabel *Count;
    QToolButton *CloseButton;

    // Shows the bar above pane (moving it from another pane), the pattern selected for typing.
    void Open(TMemo *pane);
    void Close();
    bool IsOpen() const;
    TMemo *Pane() const;
    PaneSearch *Search() const;
    void FindNext();
    void FindPrevious();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void searchAgain();
    void showCount();
    // One row in a wide frame; the narrow log pane gets two.
    void arrange(bool narrow);

    QGridLayout *grid_;
    QPointer<PaneSearch> search_;
};
