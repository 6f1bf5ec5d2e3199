#pragma once

// An editable drop-down list. ItemIndex() is the selected entry, -1 for none; with none
// selected the text is empty unless the operator typed one. Typing into the box deselects
// the entry (as a typed text need not be one of the entries); leaving the box with a text
// that equals an entry selects that entry. Typed texts are never added to the list.

#include <QComboBox>

class TComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TComboBox(const QStringList &items, QWidget *parent = nullptr);

    int ItemIndex() const { return currentIndex(); }
    // The selected entry, else the entry that the typed text is exactly, else -1.
    int MatchingIndex() const
    {
        return currentIndex() >= 0
                   ? currentIndex()
                   : findText(currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    // An index outside the list leaves no selection and an empty text.
    void SetItemIndex(int index);
    QString Text() const { return currentText(); }
};
