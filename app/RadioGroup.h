#pragma once

// A frame of mutually exclusive options laid out in columns. ItemIndex() is the checked
// option, -1 for none. Click() is raised whenever the index changes, whether the operator
// clicked an option or the program set the index (the configuration read-back relies on
// the rules running again).

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString &caption, const QStringList &items, int columns,
                QWidget *parent = nullptr);

    int ItemIndex() const { return index_; }
    // An index outside the items clears the selection.
    void SetItemIndex(int index);
    int Count() const;
    QRadioButton *Button(int index) const;

signals:
    void Click();

private:
    QButtonGroup *group_;
    int index_ = -1;
};
