#pragma once

// The small builders the main window's construction uses: each makes one control with the
// object name the program and the tests find it by, and the accessible name a screen reader
// says.

#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class TLamp;
class TMemo;
class TSpinEdit;

namespace FormParts {

QGroupBox *Frame(const QString &title, QWidget *parent);

template <typename Layout> Layout *Tight(Layout *l, int margin = 4, int spacing = 3)
{
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

// A label that names a control: the control takes the label's text as its accessible name.
QLabel *Caption(const QString &text, QWidget *buddy, QWidget *parent);
QLineEdit *Edit(const char *name, const QString &text, QWidget *parent);
// The window's edits (Edit() does it) and text panes lay out their text without shaping where
// its script does not need it: received data sets the counters and fills the panes many times a
// second, the shaping took a fifth of a flood's time, and Latin text looks the same without it.
void LayOutPlainly(QWidget *w);
TSpinEdit *Spin(const char *name, int min, int max, int step, int value, QWidget *parent);
QCheckBox *Check(const char *name, const QString &caption, bool checked, QWidget *parent);
// An indicator lamp, unticked.
TLamp *Lamp(const char *name, const QString &caption, QWidget *parent);
QPushButton *Button(const char *name, const QString &caption, QWidget *parent);
// A pane filling its frame.
TMemo *Pane(const char *name, const QString &frameTitle, QGroupBox *frame);

} // namespace FormParts
