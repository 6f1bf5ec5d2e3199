#include "traffic/LinkReport.h"

#include "app/StampClock.h"

#include <QIODevice>

#include <algorithm>

namespace {

void mergeNeighbours(std::vector<LinkReport::Bucket> &buckets)
{
    std::vector<LinkReport::Bucket> merged((buckets.size() + 1) / 2);
    for (size_t i = 0; i < buckets.size(); ++i) {
        LinkReport::Bucket &m = merged[i / 2];
        m.received += buckets[i].received;
        m.unique += buckets[i].unique;
        m.lost += buckets[i].lost;
    }
    buckets.swap(merged);
}

} // namespace

LinkReport::LinkReport()
{
    reset(StampClock::program().elapsed());
}

// ---------------------------------------------------------------------------------------
// Sending

QByteArray LinkReport::testPacket(int width) const
{
    return numbered_ ? TestPacket::numbered(nextNumber_, width) : TestPacket::plain(width);
}

void LinkReport::packetSent(qint64 at)
{
    if (numbered_)
        ++nextNumber_;
    if (!running_)
        return;
    ++sent_;
    sendTimes_.push_back(at);
    while (sendTimes_.front() < at - RecentMs)
        sendTimes_.pop_front();
}

double LinkReport::paceMs() const
{
    if (sendTimes_.size() < 2)
        return 0;
    return double(sendTimes_.back() - sendTimes_.front()) / double(sendTimes_.size() - 1);
}

// ---------------------------------------------------------------------------------------
// Receiving

void LinkReport::start()
{
    running_ = true;
    haveBase_ = false;
    havePrevious_ = false;
    scanner_.reset();
}

void LinkReport::stop()
{
    running_ = false;
}

void LinkReport::reset(qint64 at)
{
    sent_ = 0;
    sendTimes_.clear();
    scanner_.reset();
    since_ = at;
    haveBase_ = false;
    seen_.reset();
    received_ = numberedReceived_ = lost_ = duplicates_ = late_ = 0;
    havePrevious_ = false;
    lastGap_ = worstGap_ = gapSum_ = gaps_ = 0;
    firstAt_ = -1;
    rows_.clear();
    bucketMs_ = 1000;
    buckets_.clear();
}

qint64 LinkReport::slot(qint64 sequence)
{
    return ((sequence % ReorderWindow) + ReorderWindow) % ReorderWindow;
}

void LinkReport::received(QByteArrayView bytes, qint64 at)
{
    if (!running_ || bytes.isEmpty())
        return;
    const PacketScanner::Result r = scanner_.scan(bytes);
    if (r.continued > 0 && !rows_.empty() && rows_.back().kind != Kind::Unnumbered)
        rows_.back().width = quint16(rows_.back().width + r.continued);
    for (const PacketScanner::Packet &p : r.packets)
        count(p, at);
    if (r.packets.isEmpty() && r.other)
        addRow({at, -1, 0, quint16(std::min<qsizetype>(bytes.size(), 0xFFFF)), Kind::Unnumbered});
}

void LinkReport::count(const PacketScanner::Packet &p, qint64 at)
{
    constexpr qint64 range = TestPacket::NumberRange;
    ++numberedReceived_;
    Row row{at, 0, 0, quint16(p.width), Kind::InOrder};
    // How far the number is ahead of the highest seen, modulo the range: ahead when less than
    // half the range, behind otherwise.
    const qint64 ahead = ((p.number - highest_) % range + range) % range;
    const qint64 behind = ahead == 0 ? 0 : range - ahead;
    if (!haveBase_ || (ahead >= range / 2 && behind >= ReorderWindow)) {
        // The first number, or the sender's numbering started again.
        highest_ = haveBase_ ? highest_ - behind : p.number;
        base_ = highest_;
        haveBase_ = true;
        seen_.reset();
        seen_.set(size_t(slot(highest_)));
        row.sequence = highest_;
    } else if (ahead > 0 && ahead < range / 2) {
        for (qint64 k = 1; k <= std::min<qint64>(ahead, ReorderWindow); ++k)
            seen_.reset(size_t(slot(highest_ + k)));
        highest_ += ahead;
        seen_.set(size_t(slot(highest_)));
        row.sequence = highest_;
        row.lostBefore = qint32(ahead - 1);
        lost_ += ahead - 1;
    } else {
        row.sequence = highest_ - behind;
        if (seen(row.sequence)) {
            ++duplicates_;
            row.kind = Kind::Duplicate;
        } else {
            ++late_;
            row.kind = Kind::Late;
            seen_.set(size_t(slot(row.sequence)));
            if (row.sequence < base_) {
                // Below the first number counted: the numbers between were never counted.
                row.lostBefore = qint32(base_ - row.sequence - 1);
                lost_ += row.lostBefore;
                base_ = row.sequence;
            } else {
                row.lostBefore = -1;
                --lost_;
            }
        }
    }
    addRow(row);
}

void LinkReport::addRow(const Row &row)
{
    ++received_;
    if (havePrevious_) {
        lastGap_ = row.at - previousAt_;
        worstGap_ = std::max(worstGap_, lastGap_);
        gapSum_ += lastGap_;
        ++gaps_;
    }
    havePrevious_ = true;
    previousAt_ = row.at;
    if (firstAt_ < 0)
        firstAt_ = row.at;

    rows_.push_back(row);
    if (qsizetype(rows_.size()) > MaxRows)
        rows_.pop_front();

    Bucket &b = buckets_[size_t(fit(buckets_, bucketMs_, row.at - since_))];
    ++b.received;
    if (row.kind == Kind::InOrder || row.kind == Kind::Late)
        ++b.unique;
    b.lost += row.lostBefore;
}

double LinkReport::lossPercent(qint64 lost, qint64 unique)
{
    lost = std::max<qint64>(lost, 0);
    return lost + unique > 0 ? 100.0 * double(lost) / double(lost + unique) : -1;
}

double LinkReport::lossPercent() const
{
    return lossPercent(lost_, numberedReceived_ - duplicates_);
}

LinkReport::Recent LinkReport::recent(qint64 now) const
{
    Recent r;
    if (firstAt_ < 0)
        return r;
    r.spanMs = std::clamp<qint64>(now - firstAt_, 1000, RecentMs);
    for (auto row = rows_.rbegin(); row != rows_.rend() && row->at > now - RecentMs; ++row) {
        ++r.received;
        if (row->kind == Kind::InOrder || row->kind == Kind::Late)
            ++r.unique;
        r.lost += row->lostBefore;
    }
    return r;
}

qint64 LinkReport::fit(std::vector<Bucket> &buckets, qint64 &bucketMs, qint64 offset)
{
    offset = std::max<qint64>(offset, 0);
    while (offset / bucketMs >= ChartBuckets) {
        // Full: neighbours merge, and each slice covers twice the time.
        mergeNeighbours(buckets);
        bucketMs *= 2;
    }
    const qint64 index = offset / bucketMs;
    if (qint64(buckets.size()) <= index)
        buckets.resize(size_t(index + 1));
    return index;
}

LinkReport::Chart LinkReport::chart(qint64 now) const
{
    // Empty slices up to now: the rate falls to nothing when packets stop coming.
    Chart c{bucketMs_, buckets_};
    fit(c.buckets, c.bucketMs, now - since_);
    return c;
}

bool LinkReport::writeCsv(QIODevice &out) const
{
    const StampClock &clock = StampClock::program();
    QByteArray text("time,sequence,gap_ms,width,lost_before\n");
    const Row *previous = nullptr;
    for (const Row &row : rows_) {
        text += clock.iso(row.at).toLatin1();
        text += ',';
        if (row.kind != Kind::Unnumbered)
            text += QByteArray::number(row.sequence);
        text += ',';
        if (previous)
            text += QByteArray::number(row.at - previous->at);
        text += ',';
        text += QByteArray::number(row.width);
        text += ',';
        if (row.kind != Kind::Unnumbered)
            text += QByteArray::number(row.lostBefore);
        text += '\n';
        previous = &row;
        if (text.size() >= 1 << 16) {
            if (out.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return out.write(text) == text.size();
}
