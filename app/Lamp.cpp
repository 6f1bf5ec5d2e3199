#include "app/Lamp.h"

#include "app/PaintPacer.h"

#include <QStyleOptionButton>
#include <QStylePainter>

void TLamp::Blink()
{
    if (litForPaint_)
        return; // a paint is already asked for: a flood costs one flag test a packet
    litForPaint_ = true;
    update();
}

void TLamp::ShowNow()
{
    // The window's pacer would hold back a paint asked for here; it paints everything at once.
    if (PaintPacer *pacer = PaintPacer::of(window()))
        pacer->PaintNow();
    else
        repaint();
}

void TLamp::checkStateSet()
{
    QCheckBox::checkStateSet();
    if (isChecked())
        litForPaint_ = true;
}

void TLamp::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (litForPaint_ && !isChecked()) {
        option.state = (option.state & ~QStyle::State_Off) | QStyle::State_On;
        // Dark again in the next paint; asked for once this one is over.
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
    litForPaint_ = false;
    p.drawControl(QStyle::CE_CheckBox, option);
}
