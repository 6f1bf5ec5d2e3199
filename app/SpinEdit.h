#pragma once

// The integer spin box of the main window. Its text is what counts:
//   - Value() is the integer in the text; a text that is no integer gives the minimum, and
//     reading it puts the minimum into the text (so an emptied box the program reads shows
//     its minimum at once, while one nobody reads stays empty);
//   - any text may stand while the operator types; a typed value is clamped to the range
//     when the box loses the focus;
//   - SetValue() clamps to the range; SetText() writes the text as it is;
//   - Change() is raised on every change of the text, typed, stepped, clamped or set by the
//     program, and only then.
// The range is kept here rather than in QSpinBox alone: a maximum set below the minimum
// leaves the minimum where it is, and clamping then prefers the minimum.

#include <QSpinBox>

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    int Value();
    // What Value() gives, leaving the text as it is.
    int Peek() const;
    void SetValue(int v);
    QString Text() const;
    void SetText(const QString &text);

    int MinValue() const { return minValue_; }
    int MaxValue() const { return maxValue_; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    int Increment() const { return singleStep(); }
    void SetIncrement(int v) { setSingleStep(v); }

signals:
    void Change();

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;
    bool event(QEvent *e) override;

private:
    int CheckValue(int v) const;
    void ApplyRange();
    // Raises Change() when the text differs from the one last seen. QSpinBox rewrites its
    // text with the line edit's signals blocked (stepping, range changes, focus loss), so
    // every such path ends here.
    void NoteText();

    int minValue_ = 0;
    int maxValue_ = 100;
    QString lastText_;
};
