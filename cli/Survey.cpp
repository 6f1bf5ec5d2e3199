#include "cli/Survey.h"

#include "cli/ModuleHost.h"
#include "cli/Programmer.h"
#include "traffic/LinkReport.h"
#include "traffic/TestPacket.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>

Q_LOGGING_CATEGORY(lcSurvey, "quorvane.cli.survey")

namespace {

// The wait for a packet that may still come after the sender's last one has left: far more
// than its air time and the receiver's line time, which are added to it.
constexpr qint64 kLateMarginNs = 20'000'000;
// While a channel's packets stream in, the receiver takes them in batches of this many ms
// rather than as each piece of a packet comes: the counting needs them only at the end.
constexpr int kGatherMs = 50;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int baudOf(int speedIndex)
{
    return Programmer::SpeedBauds[std::clamp(speedIndex, 0, 4)];
}

// Bytes on the serial line, at 10 bits each (start, 8 data, stop).
double lineNs(int bytes, int baud)
{
    return bytes * 10.0 * 1e9 / baud;
}

// A packet on the air: address, payload and a 16-bit CRC, at 1 or 4 us a bit.
double airNs(int addressWidth, int width, bool oneMbit)
{
    return (addressWidth + width + 2) * 8.0 * (oneMbit ? 1000.0 : 4000.0);
}

QString rateName(bool oneMbit)
{
    return oneMbit ? QStringLiteral("1 Mbit/s") : QStringLiteral("250 kbit/s");
}

bool isFast(const ModuleConfig &c)
{
    return c.rateIndex != 0; // as Set Module writes it: only "250Kbs" is slow
}

} // namespace

// One module's record: written on its host's thread by a job, read here once the job's
// completion has come.
struct Survey::Side {
    QString name;
    QString device;
    QString openError;
    QString refusal;
    std::optional<ModuleConfig> config; // as last read
    bool unplugged = false;
    bool notDetected = false; // a command did not go out whole
    // The sender's last packets.
    int sent = 0;
    qint64 firstNs = 0, lastNs = 0;
};

// The receiver's counting, on its host's thread: the link report over one channel's packets.
struct Survey::Counting {
    LinkReport report;
    qint64 last = -1; // the number of the channel's last packet
    int width = 0;
    bool lastSeen = false;
    QEventLoop *waiting = nullptr;

    void feed(const QByteArray &bytes)
    {
        report.received(bytes, nowNs() / 1'000'000);
        // The last packet has come once its last byte has: a read that began while its bytes
        // were still coming would take the rest for something else.
        const auto &rows = report.rows();
        if (!rows.empty() && rows.back().kind != LinkReport::Kind::Unnumbered &&
            rows.back().sequence % TestPacket::NumberRange == last % TestPacket::NumberRange &&
            rows.back().width >= width)
            lastSeen = true;
        if (lastSeen && waiting)
            waiting->quit();
    }
};

Survey::Survey(Request request, QObject *parent)
    : QObject(parent), request_(std::move(request)),
      stop_(std::make_shared<std::atomic<bool>>(false)), tx_(std::make_shared<Side>()),
      rx_(std::make_shared<Side>()), counting_(std::make_shared<Counting>())
{
    tx_->name = request_.tx.name;
    tx_->device = request_.tx.device;
    rx_->name = request_.rx.name;
    rx_->device = request_.rx.device;
}

Survey::~Survey()
{
    // The sender's packets stop at the next one; each host finishes its job and closes.
    *stop_ = true;
    txHost_.reset();
    rxHost_.reset();
}

// ---------------------------------------------------------------------------------------
// Plans and checks

QList<int> Survey::ParseChannels(const QString &text, QString *error)
{
    QList<int> channels;
    const auto bad = [&](const QString &item) {
        *error = QStringLiteral("--channels %1: \"%2\" is no channel; channels are 0 to 127, "
                                "as ranges and commas (0-127, 11,20-25)")
                     .arg(text, item);
        return QList<int>();
    };
    for (const QString &raw : text.split(QLatin1Char(','))) {
        const QString item = raw.trimmed();
        const QStringList ends = item.split(QLatin1Char('-'));
        bool ok1 = false, ok2 = false;
        const int from = ends.value(0).trimmed().toInt(&ok1);
        const int to = ends.size() == 2 ? ends.value(1).trimmed().toInt(&ok2) : (ok2 = ok1, from);
        if (ends.size() > 2 || !ok1 || !ok2 || from < 0 || to > 127 || from > to)
            return bad(item);
        for (int ch = from; ch <= to; ++ch)
            if (!channels.contains(ch))
                channels << ch;
    }
    if (channels.isEmpty())
        return bad(text);
    return channels;
}

QString Survey::Difference(const ModuleConfig &tx, const ModuleConfig &rx, Rate rate)
{
    QStringList d;
    if (tx.addressWidth != rx.addressWidth)
        d << QStringLiteral("address width: the sender %1 bytes, the receiver %2")
                 .arg(tx.addressWidth)
                 .arg(rx.addressWidth);
    else if (tx.address1.left(2 * tx.addressWidth).toUpper() !=
             rx.address1.left(2 * rx.addressWidth).toUpper())
        d << QStringLiteral("address 1: the sender %1, the receiver %2 (the first %3 bytes count)")
                 .arg(tx.address1, rx.address1)
                 .arg(tx.addressWidth);
    if (tx.dataW1TX != rx.dataW1)
        d << QStringLiteral("payload width: the sender sends %1 bytes (Data1 TX), the receiver "
                            "takes %2 (Data1 RX)")
                 .arg(tx.dataW1TX)
                 .arg(rx.dataW1);
    if (rate == Rate::Held && isFast(tx) != isFast(rx))
        d << QStringLiteral("data rate: the sender %1, the receiver %2")
                 .arg(rateName(isFast(tx)), rateName(isFast(rx)));
    return d.join(QStringLiteral("; "));
}

double Survey::FloorMs(const Request &r, int width, int addressWidth)
{
    const int baud = baudOf(r.speedIndex);
    // A one-byte command exchange: three waits and its two bytes, both modules at once.
    const double command = 3 * 4e6 + lineNs(2, baud);
    const int rates = r.rate == Rate::Both ? 2 : 1;
    double ns = 0;
    for (int i = 0; i < rates; ++i) {
        const bool fast = r.rate != Rate::Slow && i == 0;
        ns += r.packets * (lineNs(width, baud) + r.paceMs * 1e6) +
              airNs(addressWidth, width, fast) + lineNs(width, baud);
    }
    // "C" for every channel; with both rates, "D" twice per channel.
    ns += command * (rates == 2 ? 3 : 1);
    return ns * r.channels.size() / 1e6;
}

// ---------------------------------------------------------------------------------------
// The run

void Survey::both(Job tx, Job rx, const std::function<void()> &next)
{
    auto left = std::make_shared<int>(int(bool(tx)) + int(bool(rx)));
    if (*left == 0) {
        next();
        return;
    }
    const auto done = [left, next] {
        if (--*left == 0)
            next();
    };
    const auto post = [&done](ModuleHost &host, const std::shared_ptr<Side> &side, Job job) {
        host.Post(
            [side, job = std::move(job)](Programmer &p) {
                job(p, *side);
                side->unplugged = side->unplugged || p.Unplugged();
                side->notDetected = side->notDetected || p.NotDetected();
            },
            done);
    };
    if (tx)
        post(*txHost_, tx_, std::move(tx));
    if (rx)
        post(*rxHost_, rx_, std::move(rx));
}

void Survey::Start()
{
    if (running_)
        return;
    running_ = true;
    txHost_ = std::make_unique<ModuleHost>();
    rxHost_ = std::make_unique<ModuleHost>();
    const int speed = request_.speedIndex;
    const auto open = [speed](Programmer &p, Side &s) {
        s.openError = s.device.isEmpty()
                          ? QStringLiteral("%1: no serial device for this port").arg(s.name)
                          : p.OpenDevice(s.device, speed);
        if (!s.openError.isEmpty())
            return;
        s.config = p.Read();
        s.refusal = p.Refusal();
    };
    std::shared_ptr<Counting> counting = counting_;
    both(
        open,
        [open, counting](Programmer &p, Side &s) {
            open(p, s);
            // What the receiver hands over in data mode is counted, between the jobs.
            p.OnData = [counting](const QByteArray &bytes) { counting->feed(bytes); };
        },
        [this] { opened(); });
}

void Survey::Stop()
{
    if (!running_ || stopping_)
        return;
    stopping_ = true;
    *stop_ = true;
    emit Progress(QStringLiteral("Stopping after the step in progress"));
}

void Survey::opened()
{
    for (const Side *s : {tx_.get(), rx_.get()}) {
        if (!s->openError.isEmpty())
            return fail(Verdict::NotOpened, s->openError);
        if (!s->refusal.isEmpty())
            return fail(Verdict::Refused, s->refusal);
        if (!s->config)
            return fail(Verdict::NoAnswer,
                        QStringLiteral("no answer from the module on %1").arg(s->name));
    }
    const ModuleConfig &tx = *tx_->config;
    const ModuleConfig &rx = *rx_->config;
    outcome_.tx = tx;
    outcome_.rx = rx;
    outcome_.width = tx.dataW1TX;
    txChannel_ = tx.channel;
    rxChannel_ = rx.channel;
    txFast_ = isFast(tx);
    rxFast_ = isFast(rx);
    if (request_.useChannel < 0) {
        const QString difference = Difference(tx, rx, request_.rate);
        if (!difference.isEmpty())
            return fail(Verdict::Refused,
                        QStringLiteral("the modules on %1 and %2 cannot hear each other: %3")
                            .arg(tx_->name, rx_->name, difference));
        if (outcome_.width < TestPacket::LeastNumberedWidth)
            return fail(Verdict::Refused,
                        QStringLiteral("the survey's numbered packets need a payload width of at "
                                       "least %1 bytes; the module on %2 sends %3")
                            .arg(TestPacket::LeastNumberedWidth)
                            .arg(tx_->name)
                            .arg(outcome_.width));
    }
    QList<bool> rates;
    switch (request_.rate) {
    case Rate::Held:
        rates << txFast_;
        break;
    case Rate::Fast:
        rates << true;
        break;
    case Rate::Slow:
        rates << false;
        break;
    case Rate::Both:
        rates << true << false;
        break;
    }
    if (request_.useChannel < 0)
        for (const int ch : request_.channels)
            for (const bool fast : rates)
                plan_ << std::pair{ch, fast};
    nextStep();
}

void Survey::nextStep()
{
    if (stopping_ || step_ >= plan_.size())
        return ending();
    const auto [channel, fast] = plan_.at(step_);
    // The channel on both modules at once, then the rate where it changes, then the packets.
    const auto rate = [this, channel = channel, fast = fast] {
        if (const QString fault = sideFault(*tx_) + sideFault(*rx_); !fault.isEmpty())
            return fail(Verdict::Failed, fault);
        const auto write = [fast](Programmer &p, Side &) {
            p.Module().WriteDataRate(fast ? 1 : 0);
        };
        Job tx = txFast_ != fast ? Job(write) : Job();
        Job rx = rxFast_ != fast ? Job(write) : Job();
        txFast_ = rxFast_ = fast;
        both(std::move(tx), std::move(rx), [this, channel, fast] {
            if (const QString fault = sideFault(*tx_) + sideFault(*rx_); !fault.isEmpty())
                return fail(Verdict::Failed, fault);
            measure(channel, fast);
        });
    };
    const auto write = [channel = channel](Programmer &p, Side &) {
        p.Module().WriteChannel(channel);
    };
    Job tx = txChannel_ != channel ? Job(write) : Job();
    Job rx = rxChannel_ != channel ? Job(write) : Job();
    txChannel_ = rxChannel_ = channel;
    both(std::move(tx), std::move(rx), rate);
}

void Survey::measure(int channel, bool oneMbit)
{
    const qint64 first = nextNumber_;
    const int packets = request_.packets;
    nextNumber_ += packets;
    std::shared_ptr<Counting> counting = counting_;
    const qint64 last = first + packets - 1;
    // The receiver counts from here on, this channel's packets only.
    rxHost_->Post([counting, last, width = outcome_.width](Programmer &p) {
        p.Port().SetReceiveGathering(kGatherMs);
        counting->report.reset(nowNs() / 1'000'000);
        counting->last = last;
        counting->width = width;
        counting->lastSeen = false;
    });
    const int width = outcome_.width;
    const int pace = request_.paceMs;
    std::shared_ptr<std::atomic<bool>> stop = stop_;
    std::shared_ptr<Side> tx = tx_;
    txHost_->Post(
        [tx, stop, first, packets, width, pace](Programmer &p) {
            tx->sent = 0;
            tx->firstNs = nowNs();
            for (int i = 0; i < packets && !*stop; ++i) {
                // SendText returns once the packet's bytes have left the port; the pace
                // follows, except after the last one.
                if (p.Module().SendText(TestPacket::numbered(first + i, width)))
                    break;
                ++tx->sent;
                tx->lastNs = nowNs();
                if (i + 1 < packets)
                    QThread::msleep(static_cast<unsigned long>(pace));
            }
            tx->unplugged = tx->unplugged || p.Unplugged();
            tx->notDetected = tx->notDetected || p.NotDetected();
        },
        [this, channel, oneMbit, counting, packets] {
            // The last packet may still be on the air and on the receiver's line.
            const double lateNs = airNs(outcome_.rx->addressWidth, outcome_.width, oneMbit) +
                                  lineNs(outcome_.width, baudOf(request_.speedIndex)) +
                                  kLateMarginNs;
            const qint64 deadline = tx_->lastNs + qint64(lateNs);
            rxHost_->Post(
                [counting, deadline](Programmer &p) {
                    // What was held back goes over now, and the last packet as it comes.
                    p.Port().SetReceiveGathering(0);
                    const qint64 left = deadline - nowNs();
                    if (counting->lastSeen || left <= 0)
                        return;
                    QEventLoop loop;
                    counting->waiting = &loop;
                    QTimer::singleShot(int((left + 999'999) / 1'000'000), &loop, &QEventLoop::quit);
                    loop.exec();
                    counting->waiting = nullptr;
                },
                [this, channel, oneMbit, counting, packets] {
                    const LinkReport &r = counting->report;
                    SurveyRow row;
                    row.channel = channel;
                    row.oneMbit = oneMbit;
                    row.sent = tx_->sent;
                    row.received = int(r.numberedCount() - r.duplicates());
                    row.repeated = int(r.duplicates());
                    row.outOfOrder = int(r.late());
                    row.lost = std::max(0, row.sent - row.received);
                    const double spanS =
                        (double(tx_->lastNs - tx_->firstNs) + double(request_.paceMs) * 1e6) / 1e9;
                    row.packetsPerSecond = spanS > 0 ? row.received / spanS : 0;
                    if (const QString fault = sideFault(*tx_) + sideFault(*rx_); !fault.isEmpty())
                        return fail(Verdict::Failed, fault);
                    if (row.sent < packets) // stopped half-way: no row
                        return ending();
                    if (row.received > 0)
                        return measured(row);
                    // Nothing came: a jammed channel, or a module that has stopped answering.
                    const auto read = [](Programmer &p, Side &s) { s.config = p.Read(); };
                    both(read, read, [this, row] {
                        for (const Side *s : {tx_.get(), rx_.get()}) {
                            if (!s->config)
                                return fail(Verdict::Failed,
                                            QStringLiteral("the module on %1 stopped answering on "
                                                           "channel %2")
                                                .arg(s->name)
                                                .arg(row.channel));
                            if (s->config->channel != row.channel)
                                return fail(Verdict::Failed,
                                            QStringLiteral("the module on %1 reports channel %2 "
                                                           "instead of %3")
                                                .arg(s->name)
                                                .arg(s->config->channel)
                                                .arg(row.channel));
                        }
                        measured(row);
                    });
                });
        });
}

void Survey::measured(const SurveyRow &row)
{
    outcome_.result.rows << row;
    emit RowDone(row);
    emit Progress(QStringLiteral("Channel %1 (%2 MHz, %3): %4 of %5 received, %6 % lost")
                      .arg(row.channel)
                      .arg(row.Mhz())
                      .arg(row.RateText())
                      .arg(row.received)
                      .arg(row.sent)
                      .arg(row.LossPercent(), 0, 'f', 1));
    ++step_;
    nextStep();
}

QString Survey::sideFault(const Side &side) const
{
    if (side.unplugged)
        return QStringLiteral("the adapter of %1 went away").arg(side.name);
    if (side.notDetected)
        return QStringLiteral("the module on %1 stopped answering: a command did not go out "
                              "whole")
            .arg(side.name);
    return {};
}

void Survey::fail(Verdict verdict, const QString &reason)
{
    if (outcome_.verdict == Verdict::Done) {
        outcome_.verdict = verdict;
        outcome_.reason = reason;
    }
    qCDebug(lcSurvey) << "survey ends:" << reason;
    if (verdict == Verdict::Failed)
        return ending(); // what can be restored is
    closeAndFinish();
}

void Survey::ending()
{
    if (ending_)
        return;
    ending_ = true;
    if (!outcome_.tx || !outcome_.rx)
        return closeAndFinish(); // nothing was written
    if (stopping_ && outcome_.verdict == Verdict::Done) {
        outcome_.verdict = Verdict::Stopped;
        outcome_.reason = QStringLiteral("stopped after %1 of %2 step(s)")
                              .arg(outcome_.result.rows.size())
                              .arg(plan_.size());
    }
    const bool use = request_.useChannel >= 0;
    int txTarget = outcome_.tx->channel, rxTarget = outcome_.rx->channel;
    if (use) {
        txTarget = rxTarget = request_.useChannel;
    } else if (request_.apply && outcome_.verdict == Verdict::Done &&
               !outcome_.result.rows.isEmpty()) {
        txTarget = rxTarget = outcome_.result.Best(1).first().row.channel;
    }
    const bool moved = use || txTarget != outcome_.tx->channel || rxTarget != outcome_.rx->channel;
    // Each module gets its own data rate back, and its channel or the one chosen; then both
    // are read back.
    const auto job = [](int channel, bool writeChannel, bool fast, bool writeRate) -> Job {
        return [=](Programmer &p, Side &s) {
            if (writeChannel)
                p.Module().WriteChannel(channel);
            if (writeRate)
                p.Module().WriteDataRate(fast ? 1 : 0);
            s.config = p.Read();
        };
    };
    const bool txHeldFast = isFast(*outcome_.tx), rxHeldFast = isFast(*outcome_.rx);
    both(job(txTarget, use || txChannel_ != txTarget, txHeldFast, txFast_ != txHeldFast),
         job(rxTarget, use || rxChannel_ != rxTarget, rxHeldFast, rxFast_ != rxHeldFast),
         [this, txTarget, rxTarget, moved] {
             outcome_.txChannel = tx_->config ? tx_->config->channel : -1;
             outcome_.rxChannel = rx_->config ? rx_->config->channel : -1;
             const std::pair<const Side *, int> sides[] = {{tx_.get(), txTarget},
                                                           {rx_.get(), rxTarget}};
             for (const auto &[s, target] : sides) {
                 QString problem;
                 if (!s->config)
                     problem = QStringLiteral("the module on %1 did not answer at the end; it "
                                              "should be on channel %2")
                                   .arg(s->name)
                                   .arg(target);
                 else if (s->config->channel != target)
                     problem =
                         QStringLiteral("the module on %1 reports channel %2 at the end, not %3")
                             .arg(s->name)
                             .arg(s->config->channel)
                             .arg(target);
                 if (!problem.isEmpty() &&
                     (outcome_.verdict == Verdict::Done || outcome_.verdict == Verdict::Stopped)) {
                     outcome_.verdict = Verdict::Failed;
                     outcome_.reason = problem;
                 }
             }
             outcome_.applied = moved && txTarget == rxTarget && outcome_.txChannel == txTarget &&
                                outcome_.rxChannel == rxTarget;
             outcome_.appliedChannel = outcome_.applied ? txTarget : -1;
             closeAndFinish();
         });
}

void Survey::closeAndFinish()
{
    const auto close = [](Programmer &p, Side &) { p.Close(); };
    both(close, close, [this] {
        // The hosts end outside their own completion.
        QMetaObject::invokeMethod(
            this,
            [this] {
                txHost_.reset();
                rxHost_.reset();
                running_ = false;
                emit Finished();
            },
            Qt::QueuedConnection);
    });
}
