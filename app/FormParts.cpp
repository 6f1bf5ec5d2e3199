#include "app/FormParts.h"

#include "app/Lamp.h"
#include "app/Memo.h"
#include "app/SpinEdit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QVBoxLayout>

namespace {

// A frame whose inside is drawn from a picture of itself. The counters inside the window's
// frames change on every received packet, and each of their repaints draws the frames behind
// them too: the style's frame (a picture it loads, a rounded outline) cost more than the
// counters themselves. A repaint that touches the title, or a frame with a check box, is drawn
// by the style as always.
class FrameBox : public QGroupBox {
public:
    FrameBox(const QString &title, QWidget *parent) : QGroupBox(title, parent) {}

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        const QRect label =
            style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
        if (isCheckable() || event->region().intersects(label)) {
            QGroupBox::paintEvent(event);
            return;
        }
        option.subControls &= ~(QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxCheckBox);
        const Look now{option.rect,
                       option.state,
                       option.palette.cacheKey(),
                       option.direction,
                       option.features,
                       option.text.isEmpty(),
                       option.fontMetrics.height(),
                       style(),
                       devicePixelRatioF()};
        if (!(now == shown_)) {
            picture_ = QPixmap(size() * now.ratio);
            picture_.setDevicePixelRatio(now.ratio);
            picture_.fill(Qt::transparent);
            QPainter p(&picture_);
            p.setFont(font());
            style()->drawComplexControl(QStyle::CC_GroupBox, &option, &p, this);
            shown_ = now;
        }
        QPainter(this).drawPixmap(0, 0, picture_);
    }

private:
    // What the style's frame depends on.
    struct Look {
        QRect rect;
        QStyle::State state;
        qint64 palette = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        QStyleOptionFrame::FrameFeatures features;
        bool untitled = false; // an untitled frame starts higher
        int textHeight = 0;
        const QStyle *style = nullptr;
        qreal ratio = 0;
        bool operator==(const Look &o) const
        {
            return rect == o.rect && state == o.state && palette == o.palette &&
                   direction == o.direction && features == o.features && untitled == o.untitled &&
                   textHeight == o.textHeight && style == o.style && ratio == o.ratio;
        }
    };
    Look shown_;
    QPixmap picture_;
};

} // namespace

namespace FormParts {

QGroupBox *Frame(const QString &title, QWidget *parent)
{
    auto *box = new FrameBox(title, parent);
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

TLamp *Lamp(const char *name, const QString &caption, QWidget *parent)
{
    auto *l = new TLamp(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setAccessibleName(caption);
    return l;
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
