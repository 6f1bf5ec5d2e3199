#include "cli/SurveyChart.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace {

constexpr int kChannels = 128;
const QColor kFastColour(30, 80, 200);
const QColor kSlowColour(150, 60, 170);
const QColor kClearColour(30, 150, 60);
const QColor kWifiColour(240, 170, 40, 60);
const QColor kBestColour(200, 30, 30);

} // namespace

QImage SurveyChart::Image(const QSize &size, const SurveyResult &result, const QString &title,
                          const QPalette &palette)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(palette.color(QPalette::Base));
    QPainter p(&image);
    QRect area = image.rect();
    if (!title.isEmpty()) {
        image.setText(QStringLiteral("Title"), title);
        const QRect line(area.left() + 8, area.top() + 6, area.width() - 16,
                         p.fontMetrics().height());
        p.setPen(palette.color(QPalette::Text));
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(title, Qt::ElideRight, line.width()));
        area.setTop(line.bottom() + 4);
    }
    Draw(p, area, result, palette);
    return image;
}

void SurveyChart::Draw(QPainter &p, const QRect &area, const SurveyResult &result,
                       const QPalette &palette)
{
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    const QRect plot = area.adjusted(fm.horizontalAdvance(QStringLiteral("100 %")) + 10, line + 10,
                                     -12, -(2 * line + 8));
    if (plot.width() < kChannels || plot.height() < 20)
        return;
    const double slot = double(plot.width()) / kChannels;
    const auto left = [&](int channel) { return plot.left() + channel * slot; };
    const QColor text = palette.color(QPalette::Text);

    // The busy Wi-Fi channels' bands behind everything.
    for (const WifiBand &band : WifiBands) {
        const QRectF r(left(band.first), plot.top(), (band.last - band.first + 1) * slot,
                       plot.height());
        p.fillRect(r, kWifiColour);
        p.setPen(text);
        p.drawText(r.adjusted(0, 2, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("Wi-Fi %1").arg(band.wifiChannel));
    }

    // Grid at the quarters, frame, loss scale.
    p.setPen(QPen(palette.color(QPalette::Mid), 1, Qt::DotLine));
    for (int q = 1; q < 4; ++q) {
        const int y = plot.bottom() - plot.height() * q / 4;
        p.drawLine(plot.left(), y, plot.right(), y);
    }
    p.setPen(text);
    p.drawRect(plot);
    for (int q = 0; q <= 4; q += 2) {
        const int y = plot.bottom() - plot.height() * q / 4;
        p.drawText(QRect(area.left(), y - line / 2, plot.left() - area.left() - 4, line),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 %").arg(25 * q));
    }
    // Channels below, every sixteenth, and what they are.
    for (int ch = 0; ch < kChannels; ch += 16) {
        const int x = int(left(ch) + slot / 2);
        p.drawLine(x, plot.bottom(), x, plot.bottom() + 3);
        p.drawText(QRect(x - 30, plot.bottom() + 3, 60, line), Qt::AlignHCenter | Qt::AlignTop,
                   QString::number(ch));
    }
    p.drawText(QRect(plot.left(), plot.bottom() + 3 + line, plot.width(), line),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("channel (2400 + channel MHz)"));

    // Legend above the plot.
    const bool fast = std::any_of(result.rows.begin(), result.rows.end(),
                                  [](const SurveyRow &r) { return r.oneMbit; });
    const bool slow = std::any_of(result.rows.begin(), result.rows.end(),
                                  [](const SurveyRow &r) { return !r.oneMbit; });
    int x = plot.left();
    const auto legend = [&](const QColor &colour, const QString &label) {
        p.fillRect(QRect(x, area.top() + 4 + line / 2 - 4, 12, 8), colour);
        p.setPen(text);
        p.drawText(QPoint(x + 16, area.top() + 4 + fm.ascent()), label);
        x += 16 + fm.horizontalAdvance(label) + 16;
    };
    legend(fast || !slow ? kFastColour : kSlowColour, slow && !fast
                                                          ? QStringLiteral("Loss %, 250 kbit/s")
                                                          : QStringLiteral("Loss %, 1 Mbit/s"));
    if (fast && slow)
        legend(kSlowColour, QStringLiteral("Loss %, 250 kbit/s"));
    legend(kClearColour, QStringLiteral("no loss"));
    legend(kWifiColour, QStringLiteral("busy Wi-Fi 1, 6, 11"));

    // The bars: two to a channel when both rates were surveyed.
    const bool pairs = fast && slow;
    for (const SurveyRow &r : result.rows) {
        if (r.channel < 0 || r.channel >= kChannels)
            continue;
        double x0 = left(r.channel) + 0.5, w = std::max(1.0, slot - 1.0);
        if (pairs) {
            w = std::max(1.0, slot / 2 - 0.5);
            x0 = left(r.channel) + (r.oneMbit ? 0.0 : slot / 2);
        }
        if (r.lost == 0) {
            p.fillRect(QRectF(x0, plot.bottom() - 3, w, 3), kClearColour);
            continue;
        }
        const double h = r.LossPercent() / 100.0 * plot.height();
        p.fillRect(QRectF(x0, plot.bottom() - h, w, h), r.oneMbit ? kFastColour : kSlowColour);
    }

    // The best channel: a mark above its bar and its number.
    const QList<SurveyResult::Ranked> best = result.Best(1);
    if (best.isEmpty())
        return;
    const SurveyRow &b = best.first().row;
    const double bx = left(b.channel) + slot / 2;
    const double top = plot.bottom() - b.LossPercent() / 100.0 * plot.height() - 6;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kBestColour);
    p.drawPolygon(
        QPolygonF({QPointF(bx, top), QPointF(bx - 5, top - 8), QPointF(bx + 5, top - 8)}));
    p.setPen(kBestColour);
    const QString label = QStringLiteral("best: %1").arg(b.channel);
    const int lw = fm.horizontalAdvance(label);
    const double lx =
        std::clamp(bx - lw / 2.0, double(plot.left() + 2), double(plot.right() - lw - 2));
    p.drawText(QPointF(lx, top - 10), label);
}
