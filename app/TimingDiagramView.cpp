#include "app/TimingDiagramView.h"

#include <QPainter>
#include <QStringList>
#include <qdrawutil.h>

#include <algorithm>

namespace {

// The box of a text whose anchor point (named by align) is at `anchor`.
QRect placeText(const QFontMetrics &fm, const QPoint &anchor, Qt::Alignment align,
                const QString &text)
{
    const QSize s = fm.size(0, text);
    int x = anchor.x();
    if (align & Qt::AlignHCenter)
        x -= s.width() / 2;
    else if (align & Qt::AlignRight)
        x -= s.width();
    int y = anchor.y();
    if (align & Qt::AlignVCenter)
        y -= s.height() / 2;
    else if (align & Qt::AlignBottom)
        y -= s.height();
    return QRect(QPoint(x, y), s);
}

// A horizontal stretch of a signal from x0 to x1 at height y, dotted where time is left out.
void addStretch(TimingDiagramView::Scene &s, const QVector<TimingDiagram::Span> &dotted, int x0,
                int x1, int y)
{
    int x = x0;
    for (const TimingDiagram::Span &d : dotted) {
        const int a = std::max(x, d.from);
        const int b = std::min(x1, d.to);
        if (a >= b)
            continue;
        if (x < a)
            s.lines << QLine(x, y, a, y);
        s.dotted << QLine(a, y, b, y);
        x = b;
    }
    if (x < x1)
        s.lines << QLine(x, y, x1, y);
}

} // namespace

TimingDiagramView::TimingDiagramView(const TimingDiagram &diagram, QWidget *parent)
    : QWidget(parent), m_diagram(diagram)
{
    QStringList names;
    for (const TimingDiagram::Trace &t : m_diagram.traces)
        names << t.name;
    setAccessibleName(m_diagram.title + QStringLiteral(" timing diagram"));
    setAccessibleDescription(QStringLiteral("Signals from top to bottom: ") +
                             names.join(QStringLiteral(", ")));
}

QSize TimingDiagramView::sizeHint() const
{
    return m_diagram.size;
}

QSize TimingDiagramView::minimumSizeHint() const
{
    return m_diagram.size;
}

QPoint TimingDiagramView::origin() const
{
    return QPoint(std::max(0, (width() - m_diagram.size.width()) / 2),
                  std::max(0, (height() - m_diagram.size.height()) / 2));
}

TimingDiagramView::Scene TimingDiagramView::scene() const
{
    const TimingDiagram &d = m_diagram;
    const QFontMetrics fm = fontMetrics();
    Scene s;

    // All name labels of a diagram are as wide as the widest, so the lines start together.
    int labelWidth = 0;
    for (const TimingDiagram::Trace &t : d.traces)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(t.name));
    labelWidth += 12;
    const int labelHeight = fm.height() + 6;

    for (const TimingDiagram::Trace &t : d.traces) {
        s.texts << Text{QRect(d.left - labelWidth, t.y - labelHeight / 2, labelWidth, labelHeight),
                        t.name, true};
        int x = d.left;
        for (const TimingDiagram::Pulse &p : t.pulses) {
            const int y2 = p.level == TimingDiagram::Level::Raised ? t.y - TimingDiagram::LevelStep
                                                                   : t.y + TimingDiagram::LevelStep;
            addStretch(s, t.dotted, x, p.from, t.y);
            s.lines << QLine(p.from, t.y, p.from, y2);
            addStretch(s, t.dotted, p.from, p.to, y2);
            s.lines << QLine(p.to, y2, p.to, t.y);
            x = p.to;
        }
        addStretch(s, t.dotted, x, d.right, t.y);

        for (int i = 0; i < t.cells.size(); ++i)
            s.cells << TimingDiagram::cellRect(t, i);
        for (const TimingDiagram::Frame &f : t.frames) {
            s.frames << TimingDiagram::frameRect(t, f);
            if (!f.label.isEmpty())
                s.texts << Text{placeText(fm, TimingDiagram::frameLabelAnchor(t, f),
                                          Qt::AlignHCenter | Qt::AlignBottom, f.label),
                                f.label};
        }
    }

    for (const TimingDiagram::Measure &m : d.measures) {
        s.markers << QLine(m.from, m.fromTop, m.from, d.markerBottom)
                  << QLine(m.to, m.toTop, m.to, d.markerBottom)
                  << QLine(m.from, d.markerBottom, m.to, d.markerBottom);
        s.texts << Text{
            placeText(fm, d.measureLabelAnchor(m), Qt::AlignHCenter | Qt::AlignTop, m.label),
            m.label};
    }
    for (const TimingDiagram::Note &n : d.notes)
        s.texts << Text{placeText(fm, n.anchor, n.align, n.text), n.text};

    const QPoint o = origin();
    for (QLine &l : s.lines)
        l.translate(o);
    for (QLine &l : s.dotted)
        l.translate(o);
    for (QLine &l : s.markers)
        l.translate(o);
    for (QRect &r : s.cells)
        r.translate(o);
    for (QRect &r : s.frames)
        r.translate(o);
    for (Text &t : s.texts)
        t.rect.translate(o);
    return s;
}

void TimingDiagramView::paintEvent(QPaintEvent *)
{
    const Scene s = scene();
    const QPalette &pal = palette();
    QPainter p(this);

    // Markers first: the edges of pulses and boxes they start from stay crisp on top.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(pal.color(QPalette::Dark), 1, Qt::DashLine));
    p.drawLines(s.markers);

    p.setPen(QPen(pal.color(QPalette::WindowText), 1));
    for (const QRect &r : s.frames)
        p.drawRect(r.adjusted(0, 0, -1, -1));

    p.setPen(QPen(pal.color(QPalette::WindowText), 2, Qt::SolidLine, Qt::SquareCap));
    p.drawLines(s.lines);
    p.setPen(QPen(pal.color(QPalette::WindowText), 2, Qt::DotLine, Qt::FlatCap));
    p.drawLines(s.dotted);

    p.setPen(QPen(pal.color(QPalette::WindowText), 1));
    p.setBrush(pal.brush(QPalette::Base));
    for (const QRect &r : s.cells)
        p.drawRect(r.adjusted(0, 0, -1, -1));

    p.setPen(pal.color(QPalette::WindowText));
    for (const Text &t : s.texts) {
        if (t.sunken) {
            const QBrush fill = pal.brush(QPalette::Button);
            qDrawShadePanel(&p, t.rect, pal, true, 1, &fill);
            p.drawText(t.rect, Qt::AlignCenter, t.text);
        } else {
            p.drawText(t.rect, Qt::AlignLeft | Qt::AlignTop, t.text);
        }
    }
}
