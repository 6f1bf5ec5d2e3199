#include "cli/SurveyResult.h"

#include <QIODevice>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdlib>

QString SurveyRow::RateText() const
{
    return oneMbit ? QStringLiteral("1M") : QStringLiteral("250k");
}

QList<SurveyResult::Ranked> SurveyResult::Best(int count) const
{
    QList<Ranked> ranked;
    for (const SurveyRow &row : rows) {
        Ranked r{row, 0, 128};
        for (const SurveyRow &other : rows) {
            const int d = std::abs(other.channel - row.channel);
            if (other.oneMbit != row.oneMbit || d == 0 || other.lost == 0)
                continue;
            r.distance = std::min(r.distance, d);
            if (d <= NeighbourReach)
                r.neighbourLoss = std::max(r.neighbourLoss, other.LossPercent());
        }
        ranked << r;
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        if (a.row.InBand() != b.row.InBand())
            return a.row.InBand();
        if (a.row.LossPercent() != b.row.LossPercent())
            return a.row.LossPercent() < b.row.LossPercent();
        if (a.neighbourLoss != b.neighbourLoss)
            return a.neighbourLoss < b.neighbourLoss;
        if (a.distance != b.distance)
            return a.distance > b.distance;
        return a.row.channel < b.row.channel;
    });
    return ranked.mid(0, count);
}

QString SurveyResult::BestText(const Ranked &r)
{
    const QString neighbours =
        r.neighbourLoss > 0 ? QStringLiteral("neighbours within %1 channels lose up to %2 %")
                                  .arg(NeighbourReach)
                                  .arg(r.neighbourLoss, 0, 'f', 1)
                            : QStringLiteral("no loss within %1 channels").arg(NeighbourReach);
    return QStringLiteral("%1 (%2 MHz, %3%4): %5 % loss, %6")
        .arg(r.row.channel)
        .arg(r.row.Mhz())
        .arg(r.row.RateText())
        .arg(r.row.InBand() ? QString() : QStringLiteral(", outside the 2.4 GHz band"))
        .arg(r.row.LossPercent(), 0, 'f', 1)
        .arg(neighbours);
}

QString SurveyResult::TableHeader()
{
    return QStringLiteral("channel   MHz  rate  sent  recv  lost  repeat  order  loss %  pkt/s  "
                          "loss");
}

QString SurveyResult::TableLine(const SurveyRow &r)
{
    const int bar = int(std::lround(r.LossPercent() / 100.0 * BarWidth));
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9  %10  |%11")
        .arg(r.channel, 7)
        .arg(r.Mhz(), 4)
        .arg(r.RateText(), 4)
        .arg(r.sent, 4)
        .arg(r.received, 4)
        .arg(r.lost, 4)
        .arg(r.repeated, 6)
        .arg(r.outOfOrder, 5)
        .arg(r.LossPercent(), 6, 'f', 1)
        .arg(r.packetsPerSecond, 5, 'f', 1)
        .arg(QString(bar, QLatin1Char('#')));
}

bool SurveyResult::WriteCsv(QIODevice &out) const
{
    QByteArray text("channel,mhz,rate,sent,received,lost,loss_percent,packets_per_second,"
                    "repeated,out_of_order\n");
    for (const SurveyRow &r : rows)
        text += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10\n")
                    .arg(r.channel)
                    .arg(r.Mhz())
                    .arg(r.RateText())
                    .arg(r.sent)
                    .arg(r.received)
                    .arg(r.lost)
                    .arg(r.LossPercent(), 0, 'f', 2)
                    .arg(r.packetsPerSecond, 0, 'f', 2)
                    .arg(r.repeated)
                    .arg(r.outOfOrder)
                    .toLatin1();
    return out.write(text) == text.size();
}

QJsonArray SurveyResult::Json() const
{
    QJsonArray list;
    for (const SurveyRow &r : rows)
        list.append(QJsonObject{{QStringLiteral("channel"), r.channel},
                                {QStringLiteral("mhz"), r.Mhz()},
                                {QStringLiteral("rate"), r.RateText()},
                                {QStringLiteral("sent"), r.sent},
                                {QStringLiteral("received"), r.received},
                                {QStringLiteral("lost"), r.lost},
                                {QStringLiteral("repeated"), r.repeated},
                                {QStringLiteral("outOfOrder"), r.outOfOrder},
                                {QStringLiteral("lossPercent"), r.LossPercent()},
                                {QStringLiteral("packetsPerSecond"), r.packetsPerSecond}});
    return list;
}
