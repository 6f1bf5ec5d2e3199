#pragma once

// What a channel survey found: a row per channel and data rate (packets sent, received, lost,
// repeated and out of order), and which channels are best. The same rows make the table and
// bars quorvane-cli prints, the CSV file, the JSON object and the chart.
//
// The best channels are ranked by whether they lie in the licence-free 2.4 GHz band first (it
// ends at 2483.5 MHz: a module channel above 83 radiates where few places allow it, however
// quiet it is), then by their own loss; between channels that lose as little,
// the one whose surveyed neighbours lose least (within NeighbourReach channels: a busy Wi-Fi
// channel spreads over 22 MHz, and its edge moves with the load), then the one farthest from
// any channel that lost a packet, then the lower channel.

#include <QJsonArray>
#include <QList>
#include <QString>

class QIODevice;

struct SurveyRow {
    static constexpr int LastInBand = 83; // 2483 MHz
    int channel = 0;
    bool oneMbit = true;
    int sent = 0;
    int received = 0;   // numbered packets that came, each counted once
    int lost = 0;       // sent and never came
    int repeated = 0;   // came again
    int outOfOrder = 0; // came after a later one
    double packetsPerSecond = 0;

    int Mhz() const { return 2400 + channel; }
    bool InBand() const { return channel <= LastInBand; }
    double LossPercent() const { return sent > 0 ? 100.0 * lost / sent : 0; }
    QString RateText() const;
};

class SurveyResult {
public:
    static constexpr int NeighbourReach = 10;
    static constexpr int BarWidth = 40; // characters of a bar at 100 % loss

    struct Ranked {
        SurveyRow row;
        double neighbourLoss = 0; // the worst loss among the neighbours surveyed at its rate
        int distance = 0;         // channels to the nearest one that lost a packet; 128: none
    };

    QList<SurveyRow> rows;

    // The rows ranked best first (at most count of them).
    QList<Ranked> Best(int count) const;
    // "80 (2480 MHz, 1M): 0.0 % loss, no loss within 10 channels"; a channel above the band
    // says so: "127 (2527 MHz, 1M, outside the 2.4 GHz band): ..."
    static QString BestText(const Ranked &r);

    // The table's header, and one line per row with its bar.
    static QString TableHeader();
    static QString TableLine(const SurveyRow &row);

    // channel,mhz,rate,sent,received,lost,loss_percent,packets_per_second,repeated,out_of_order
    bool WriteCsv(QIODevice &out) const;
    QJsonArray Json() const;
};
