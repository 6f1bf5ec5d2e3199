#include "app/LinkChart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kLossColour(200, 30, 30);
const QColor kRateColour(30, 80, 200);

// 1, 2 or 5 times a power of ten, at least v.
double niceCeiling(double v)
{
    if (v <= 1)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(v)));
    for (const double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= v)
            return step * power;
    return 10 * power;
}

QString duration(qint64 ms)
{
    const qint64 s = ms / 1000;
    if (s < 3600)
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

LinkChart::LinkChart(QWidget *parent) : QWidget(parent)
{
    setAccessibleName(QStringLiteral("Loss and packets a second over time"));
}

void LinkChart::SetChart(LinkReport::Chart chart)
{
    chart_ = std::move(chart);
    update();
}

QImage LinkChart::Image(const QSize &size, const QString &title) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Base));
    QPainter p(&image);
    p.setFont(font());
    QRect area = image.rect();
    if (!title.isEmpty()) {
        image.setText(QStringLiteral("Title"), title);
        const QRect line(area.left() + 8, area.top() + 6, area.width() - 16,
                         p.fontMetrics().height());
        p.setPen(palette().color(QPalette::Text));
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(title, Qt::ElideRight, line.width()));
        area.setTop(line.bottom() + 4);
    }
    Draw(p, area, chart_, palette());
    return image;
}

void LinkChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    Draw(p, rect(), chart_, palette());
}

void LinkChart::Draw(QPainter &p, const QRect &area, const LinkReport::Chart &chart,
                     const QPalette &palette)
{
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    const QRect plot =
        area.adjusted(fm.horizontalAdvance(QStringLiteral("100 %")) + 10, line + 10,
                      -(fm.horizontalAdvance(QStringLiteral("0000")) + 10), -(line + 8));
    if (plot.width() < 20 || plot.height() < 20)
        return;

    // The slices complete so far: the last one is still running.
    const size_t slices = chart.buckets.empty() ? 0 : chart.buckets.size() - 1;
    double rateTop = 0;
    for (size_t i = 0; i < slices; ++i)
        rateTop = std::max(rateTop, chart.buckets[i].received * 1000.0 / double(chart.bucketMs));
    rateTop = niceCeiling(rateTop);

    // Frame, grid at the quarters, scales.
    const QColor text = palette.color(QPalette::Text);
    p.setPen(QPen(palette.color(QPalette::Mid), 1, Qt::DotLine));
    for (int q = 1; q < 4; ++q) {
        const int y = plot.bottom() - plot.height() * q / 4;
        p.drawLine(plot.left(), y, plot.right(), y);
    }
    p.setPen(text);
    p.drawRect(plot);
    for (int q = 0; q <= 4; q += 2) {
        const int y = plot.bottom() - plot.height() * q / 4;
        p.setPen(kLossColour);
        p.drawText(QRect(area.left(), y - line / 2, plot.left() - area.left() - 4, line),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 %").arg(25 * q));
        p.setPen(kRateColour);
        p.drawText(QRect(plot.right() + 4, y - line / 2, area.right() - plot.right() - 4, line),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::number(rateTop * q / 4, 'g', 3));
    }
    p.setPen(text);
    const qint64 spanMs = qint64(std::max<size_t>(slices, 1)) * chart.bucketMs;
    const QRect times(plot.left(), plot.bottom() + 3, plot.width(), line);
    p.drawText(times, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("0:00"));
    p.drawText(times, Qt::AlignRight | Qt::AlignTop, duration(spanMs));
    p.drawText(times, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("time since the start"));

    // Legend above the plot.
    int x = plot.left();
    for (const auto &[colour, label] :
         {std::pair{kLossColour, QStringLiteral("Loss %")},
          std::pair{kRateColour, QStringLiteral("Packets a second")}}) {
        p.fillRect(QRect(x, area.top() + 4 + line / 2 - 2, 16, 4), colour);
        p.setPen(text);
        p.drawText(QPoint(x + 20, area.top() + 4 + fm.ascent()), label);
        x += 20 + fm.horizontalAdvance(label) + 16;
    }
    if (slices == 0)
        return;

    const auto xOf = [&](size_t i) {
        return plot.left() + (double(i) + 0.5) * plot.width() / double(slices);
    };
    QPolygonF rate;
    QList<QPolygonF> loss; // a gap wherever a slice had no numbered packet
    bool lossOpen = false;
    for (size_t i = 0; i < slices; ++i) {
        const LinkReport::Bucket &b = chart.buckets[i];
        rate << QPointF(xOf(i), plot.bottom() - b.received * 1000.0 / double(chart.bucketMs) /
                                                    rateTop * plot.height());
        const double percent = LinkReport::lossPercent(b.lost, b.unique);
        if (percent < 0) {
            lossOpen = false;
            continue;
        }
        if (!lossOpen)
            loss.append(QPolygonF());
        loss.last() << QPointF(xOf(i), plot.bottom() - percent / 100.0 * plot.height());
        lossOpen = true;
    }
    // Hair lines, antialiased: a wider pen goes through the stroker, which costs twenty times
    // as much for the 600 points of a long run.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kRateColour, 1));
    p.drawPolyline(rate);
    for (const QPolygonF &run : loss) {
        if (run.size() > 1) {
            p.setPen(QPen(kLossColour, 1));
            p.drawPolyline(run);
        } else {
            p.setPen(QPen(kLossColour, 4, Qt::SolidLine, Qt::RoundCap));
            p.drawPoint(run.first());
        }
    }
}
