#include "app/FormParts.h"

#include "app/Memo.h"
#include "app/SpinEdit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace FormParts {

QGroupBox *Frame(const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setAccessibleName(title);
    return box;
}

// A label that names a control: the control takes the label's text as its accessible name.
QLabel *Caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    buddy->setAccessibleName(text);
    return l;
}

void LayOutPlainly(QWidget *w)
{
    // Only the strategy is set: everything else of the font still comes from the window.
    QFont plain;
    plain.setStyleStrategy(QFont::PreferNoShaping);
    w->setFont(plain);
}

QLineEdit *Edit(const char *name, const QString &text, QWidget *parent)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QLatin1String(name));
    LayOutPlainly(e);
    return e;
}

TSpinEdit *Spin(const char *name, int min, int max, int step, int value, QWidget *parent)
{
    auto *s = new TSpinEdit(parent);
    s->setObjectName(QLatin1String(name));
    s->SetMinValue(min);
    s->SetMaxValue(max);
    s->SetIncrement(step);
    s->SetValue(value);
    return s;
}

QCheckBox *Check(const char *name, const QString &caption, bool checked, QWidget *parent)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(caption);
    c->setChecked(checked);
    return c;
}

QPushButton *Button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    b->setAutoDefault(false);
    return b;
}

TMemo *Pane(const char *name, const QString &frameTitle, QGroupBox *frame)
{
    auto *m = new TMemo(frame);
    m->setObjectName(QLatin1String(name));
    m->setAccessibleName(frameTitle);
    Tight(new QVBoxLayout(frame), 3)->addWidget(m);
    return m;
}

} // namespace FormParts
