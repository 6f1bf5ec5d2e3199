#include "app/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString &caption, const QStringList &items, int columns,
                         QWidget *parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);
    const int perColumn = (int(items.size()) + columns - 1) / qMax(1, columns);
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items.at(i), this);
        b->setAccessibleName(items.at(i));
        group_->addButton(b, i);
        grid->addWidget(b, i % qMax(1, perColumn), i / qMax(1, perColumn));
    }
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (!checked || id == index_)
            return;
        index_ = id;
        emit Click();
    });
}

int TRadioGroup::Count() const
{
    return int(group_->buttons().size());
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return qobject_cast<QRadioButton *>(group_->button(index));
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < Count()) {
        Button(index)->setChecked(true); // raises Click() through idToggled
        return;
    }
    if (index_ < 0)
        return;
    group_->setExclusive(false);
    Button(index_)->setChecked(false);
    group_->setExclusive(true);
    index_ = -1;
    emit Click();
}
