#pragma once

// The link report: what a range test asks and the link test's two counters cannot answer,
// namely how many packets were lost, where and when.
//
// Sending side: whether test packets are numbered (and the next number), packets sent and
// the pace. Receiving side: every data packet the receive handling reads is looked at here.
// Numbered packets (TestPacket) are found however the reads cut or merge them and counted as
// received, lost (numbers skipped), duplicated (a number seen again) or out of order (a number
// below one already seen, which takes back the loss its gap had counted). Anything else counts
// as one unnumbered packet per read, as "Rec. Data" counts it; loss then cannot be known.
//
// Numbers wrap at TestPacket::NumberRange; each is unwrapped to the one nearest the highest
// number seen, so a test may run for days. A number more than ReorderWindow below the highest
// means the sender's numbering started again (its program was restarted): counting goes on
// from there without a loss.
//
// The report keeps one row per packet for the CSV file (the last MaxRows of them) and a chart
// of loss and packet rate over the whole run in at most ChartBuckets time slices: when they
// are full, neighbours merge and each slice covers twice the time. Its memory stays bounded
// however long the test runs.
//
// Times are milliseconds of StampClock::program(). The report's Reset, Start and Stop never
// touch the link test's own counters ("Rec. Data", "Data Error").

#include "traffic/PacketScanner.h"

#include <QByteArray>
#include <QByteArrayView>

#include <bitset>
#include <deque>
#include <vector>

class QIODevice;

class LinkReport {
public:
    enum class Kind : quint8 { Unnumbered, InOrder, Duplicate, Late };
    struct Row {
        qint64 at;         // when it was read
        qint64 sequence;   // the unwrapped number; -1 for an unnumbered packet
        qint32 lostBefore; // numbers skipped just before it; -1 when it takes back a loss
        quint16 width;     // bytes
        Kind kind;
    };
    struct Bucket {
        qint32 received = 0; // every packet, duplicates and unnumbered ones included
        qint32 unique = 0;   // numbered packets seen for the first time
        qint32 lost = 0;     // losses revealed in the slice, less those taken back
    };
    struct Chart {
        qint64 bucketMs;
        std::vector<Bucket> buckets; // from the start of the report up to now
    };
    struct Recent {
        int received = 0;
        int unique = 0;
        int lost = 0;
        qint64 spanMs = 0; // the time the figures cover: at most RecentMs
    };

    static constexpr qsizetype MaxRows = 1000000; // a day of the continuous send
    static constexpr int ChartBuckets = 600;
    static constexpr qint64 RecentMs = 10000;
    static constexpr int ReorderWindow = 1024;

    LinkReport();

    // ---- sending
    bool numbered() const { return numbered_; }
    void setNumbered(bool on) { numbered_ = on; }
    // The test packet to send next: numbered or plain. Empty for a numbered packet the width
    // cannot hold.
    QByteArray testPacket(int width) const;
    // A test packet has gone out: the next one takes the next number.
    void packetSent(qint64 at);
    qint64 sent() const { return sent_; }
    // Mean time between the sends of the last RecentMs; 0 with fewer than two.
    double paceMs() const;

    // ---- receiving
    void received(QByteArrayView bytes, qint64 at);
    bool running() const { return running_; }
    // Start counting again after a Stop: the next number found starts afresh, so the packets
    // missed meanwhile count as no loss.
    void start();
    void stop();
    // Forgets everything counted, on both sides; the numbering goes on.
    void reset(qint64 at);

    // When the report started, or was last reset: the chart's origin.
    qint64 startedMs() const { return since_; }
    qint64 receivedCount() const { return received_; }
    qint64 numberedCount() const { return numberedReceived_; }
    qint64 lost() const { return lost_; }
    qint64 duplicates() const { return duplicates_; }
    qint64 late() const { return late_; }
    // lost / (lost + numbered packets seen once), in percent; -1 before any numbered packet.
    double lossPercent() const;
    Recent recent(qint64 now) const;
    static double lossPercent(qint64 lost, qint64 unique);

    qint64 lastGapMs() const { return lastGap_; }
    qint64 worstGapMs() const { return worstGap_; }
    double meanGapMs() const { return gaps_ ? double(gapSum_) / double(gaps_) : 0; }

    const std::deque<Row> &rows() const { return rows_; }
    Chart chart(qint64 now) const;

    // time,sequence,gap_ms,width,lost_before: one row per packet, oldest first. False when the
    // device did not take every byte.
    bool writeCsv(QIODevice &out) const;

private:
    void count(const PacketScanner::Packet &p, qint64 at);
    void addRow(const Row &row);
    bool seen(qint64 sequence) const { return seen_[size_t(slot(sequence))]; }
    static qint64 slot(qint64 sequence);
    // The slice of a time offset from the chart's origin, merging slices until it fits.
    static qint64 fit(std::vector<Bucket> &buckets, qint64 &bucketMs, qint64 offset);

    // sending
    bool numbered_ = false;
    qint64 nextNumber_ = 1;
    qint64 sent_ = 0;
    std::deque<qint64> sendTimes_; // the sends of the last RecentMs

    // receiving
    bool running_ = true;
    PacketScanner scanner_;
    qint64 since_ = 0; // the report's start or last Reset: the chart's origin
    bool haveBase_ = false;
    qint64 base_ = 0;                 // the first number counted since Start or Reset
    qint64 highest_ = 0;              // the highest number seen since
    std::bitset<ReorderWindow> seen_; // numbers up to ReorderWindow below the highest
    qint64 received_ = 0, numberedReceived_ = 0, lost_ = 0, duplicates_ = 0, late_ = 0;
    bool havePrevious_ = false;
    qint64 previousAt_ = 0;
    qint64 lastGap_ = 0, worstGap_ = 0, gapSum_ = 0, gaps_ = 0;
    qint64 firstAt_ = -1; // the first packet since Start or Reset
    std::deque<Row> rows_;
    qint64 bucketMs_ = 1000;
    std::vector<Bucket> buckets_;
};
