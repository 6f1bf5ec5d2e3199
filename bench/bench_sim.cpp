// Two simulated stations, each a TRadioCom on a simulated module: how long a packet takes from
// one station's SendBuffer to the other's OnReceive, against the time its bytes and its
// packet need on the wires and the air; and what an idle air with two modules costs.

#include "bench/Bench.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPayload = 25;

struct Station {
    Station(ports port, bauds speed)
    {
        c.SetRtsFlowControl(RTSOff);
        c.SetComPort(port);
        c.SetBaudRate(speed);
        c.SetComStatus(true);
    }
    TRadioCom c;
};

QString ms(double v)
{
    return QString::number(v, 'f', 3) + QStringLiteral(" ms");
}

void latency(BenchTable &t, int baud, bauds speed, bool oneMbit, int packets)
{
    const QString s = QStringLiteral("sim");
    const QString label =
        QStringLiteral("%1 bit/s, %2")
            .arg(baud)
            .arg(oneMbit ? QStringLiteral("1 Mbit/s") : QStringLiteral("250 kbit/s"));
    SimConfig c;
    c.serialSpeed = baud;
    c.dataRate = oneMbit ? 0xFF : 0x00;
    c.rx1Bits = c.tx1Bits = kPayload * 8;
    SimModule::named(QStringLiteral("A"))->setConfig(c);
    SimModule::named(QStringLiteral("B"))->setConfig(c);
    Station a(COM18, speed), b(COM19, speed);
    if (!a.c.Connected() || !b.c.Connected()) {
        t.row(s, QStringLiteral("stations open on sim:A and sim:B"), QStringLiteral("failed"));
        return;
    }
    std::vector<double> lat;
    Clock::time_point sent;
    bool got = false;
    unsigned char buf[256];
    b.c.SetOnReceive([&](int count) {
        if (count < kPayload)
            return;
        b.c.ReceiveBuffer(buf, count);
        lat.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        got = true;
    });
    const QByteArray payload(kPayload, 'p');
    int lost = 0;
    for (int i = 0; i < packets; ++i) {
        got = false;
        sent = Clock::now();
        a.c.SendBuffer(reinterpret_cast<const unsigned char *>(payload.constData()), kPayload);
        QElapsedTimer guard;
        guard.start();
        while (!got && guard.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        lost += got ? 0 : 1;
    }
    // Line time both ways (10 bits a byte), settling, and address + payload + CRC on the air.
    const double lineMs = 2.0 * kPayload * 10 * 1000.0 / baud;
    const double airMs =
        double(SimPacket::kSettle + SimPacket::airTime(5, kPayload, oneMbit)) / kSimMilli;
    const double median = percentile(lat, 50);
    t.row(s, QStringLiteral("25-byte packet, %1").arg(label), QString());
    t.row(s, QStringLiteral("  SendBuffer to OnReceive, median"), ms(median));
    t.row(s, QStringLiteral("  line time both ways + settling + air time"), ms(lineMs + airMs));
    t.row(s, QStringLiteral("  ratio median / (line + air)"),
          QString::number(median / (lineMs + airMs), 'f', 3), QStringLiteral("< 1.5"),
          lost == 0 && median / (lineMs + airMs) < 1.5);
    t.row(s, QStringLiteral("  SendBuffer to OnReceive, 99th percentile"), ms(percentile(lat, 99)));
    t.row(s, QStringLiteral("  packets lost of %1").arg(packets), QString::number(lost),
          QStringLiteral("0"), lost == 0);
}

} // namespace

void benchSim(BenchTable &t)
{
    const QString s = QStringLiteral("sim");
    // The benchmark keeps its modules to itself: a console running meanwhile is not disturbed.
    SimWorld::instance()->air().setName({});
    registerSimulatedModules();
    QMap<QString, QString> m = PortDirectory::global().explicitEntries();
    m.insert(QStringLiteral("COM18"), QStringLiteral("sim:A"));
    m.insert(QStringLiteral("COM19"), QStringLiteral("sim:B"));
    PortDirectory::global().setExplicit(m);

    latency(t, 115200, br115200, true, 300);
    latency(t, 9600, br9600, false, 40);

    // Idle: two open stations, nothing sent.
    {
        SimConfig c;
        SimModule::named(QStringLiteral("A"))->setConfig(c);
        SimModule::named(QStringLiteral("B"))->setConfig(c);
        Station a(COM18, br9600), b(COM19, br9600);
        runEventLoopFor(200);
        const int idleMs = 5000;
        const double cpu0 = cpuSecondsOfOtherThreads();
        runEventLoopFor(idleMs);
        const double pct = (cpuSecondsOfOtherThreads() - cpu0) / (idleMs / 1000.0) * 100.0;
        t.row(s, QStringLiteral("CPU of an idle air, two modules with open ports, 5 s"),
              QString::number(pct, 'f', 3) + QStringLiteral(" %"), QStringLiteral("< 0.5 %"),
              pct < 0.5);
    }
}
