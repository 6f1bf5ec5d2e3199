// Many modules at once, in this process so that every simulated module's wire can be looked
// at: each module keeps the command pacing and the programming line on its own trace while the
// others run, and a fault (a port that does not open, an adapter pulled out, garbage, another
// speed, a module that never answers) stays with its module.

#include "cli/ManyPorts.h"
#include "cli/PortWatch.h"
#include "serial/PortDirectory.h"
#include "sim/SimLine.h"
#include "sim/SimModule.h"
#include "sim/SimulatedModules.h"
#include "support/PtyPair.h"
#include "support/SimTrace.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

constexpr qint64 kDelayNs = 4 * 1000000; // CommandDelay

ModuleConfig profile()
{
    ModuleConfig c;
    c.channel = 77;
    c.powerIndex = 2;
    c.rateIndex = 0;
    c.addressWidth = 3;
    c.address1 = QStringLiteral("0102030405");
    c.dataW1 = 8;
    c.dataW1TX = 16;
    c.dataW2TX = 2;
    return c;
}

// What Set Module of profile() sends, and the read-back request.
const QByteArray kWire("C\x4dL\x40l\x00T\x80t\x10"
                       "D\x00P\x01W\x18"
                       "A\x01\x02\x03\x04\x05R",
                       23);

QString uniqueName(const char *prefix)
{
    static int n = 0;
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(++n);
}

// A fresh simulated module of that name, as a port of many.
ModulePort simPort(const QString &name)
{
    SimModule::named(name)->factoryReset();
    return {QStringLiteral("sim:") + name, QStringLiteral("sim:") + name, {}, {}};
}

// The module's command bytes keep their pacing and go out under the raised line, whatever the
// other modules do meanwhile.
void verifyWire(SimModule *module)
{
    const std::vector<SimTraceEntry> sent = traceOf(module, SimTraceEntry::Direction::ToModule);
    QCOMPARE(bytesOf(sent), kWire);
    for (size_t i = 0; i < sent.size(); ++i) {
        QVERIFY2(sent[i].rts, qPrintable(QStringLiteral("byte %1 without the line").arg(i)));
        if (i == 0)
            continue;
        // A parameter follows its letter after a wait; a letter follows the previous command
        // after its wait and the one after the line fell; "R" after four.
        const bool letter = (i < 16 && i % 2 == 0) || i == 16;
        const qint64 least = i == 22 ? 4 * kDelayNs : letter ? 2 * kDelayNs : kDelayNs;
        QVERIFY2(sent[i].time - sent[i - 1].time >= least,
                 qPrintable(QStringLiteral("%1: byte %2 came %3 ns after the previous")
                                .arg(QString::fromStdString(module->name()))
                                .arg(i)
                                .arg(sent[i].time - sent[i - 1].time)));
    }
}

} // namespace

class TestManyPorts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerSimulatedModules(); }

    void eightAtOnceEachOnItsOwnWire()
    {
        ManyPorts::Request r;
        r.profile = profile();
        QList<SimModule *> modules;
        for (int i = 0; i < 8; ++i) {
            const QString name = uniqueName("EIGHT");
            r.ports << simPort(name);
            modules << SimModule::named(name);
        }
        int lines = 0;
        const QList<ModuleOutcome> outcomes =
            ManyPorts::RunAll(r, [&lines](const ModuleOutcome &) { ++lines; });
        QCOMPARE(outcomes.size(), 8);
        QCOMPARE(lines, 8);
        for (const ModuleOutcome &o : outcomes)
            QVERIFY2(o.verdict == ModuleOutcome::Verdict::Holds, qPrintable(o.Line()));
        QCOMPARE(ManyPorts::Summary(r.kind, outcomes), QStringLiteral("8 hold the profile"));

        // At the same time: every module had its first command before any had its read-back
        // request.
        SimNs firstStarts = 0, firstRequest = kSimNever;
        for (SimModule *m : modules) {
            verifyWire(m);
            const std::vector<SimTraceEntry> sent = traceOf(m, SimTraceEntry::Direction::ToModule);
            firstStarts = std::max(firstStarts, sent.front().time);
            firstRequest = std::min(firstRequest, sent.back().time);
        }
        QVERIFY(firstStarts < firstRequest);
    }

    // Three good modules beside one with a fault: the fault is that module's line, with its
    // reason, and the good ones hold the profile with their wire intact.
    void faultStaysWithItsModule_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason"); // a piece of it
        const auto row = [](const char *name, ModuleOutcome::Verdict v, const char *reason) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(v)
                                << QString::fromLatin1(reason);
        };
        using V = ModuleOutcome::Verdict;
        row("busy", V::NotOpened, "busy, another program holds it");
        row("no such device", V::NotOpened, "no such device");
        row("never answers", V::NoAnswer, "no configuration came back");
        row("another speed", V::NoAnswer, "no configuration came back");
        row("garbage", V::NoAnswer, "20 byte(s) of something else");
        row("unplugged while written", V::Unplugged, "went away");
    }
    void faultStaysWithItsModule()
    {
        QFETCH(QString, fault);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        ManyPorts::Request r;
        r.profile = profile();
        QList<SimModule *> good;
        for (int i = 0; i < 3; ++i) {
            const QString name = uniqueName("GOOD");
            r.ports << simPort(name);
            good << SimModule::named(name);
        }

        const QString faulty = uniqueName("FAULT");
        ModulePort port = simPort(faulty);
        SimLine holder;
        PtyPair pty;
        std::atomic<bool> done{false};
        std::thread farEnd;
        if (fault == QLatin1String("busy")) {
            QVERIFY(holder.open(port.device.toStdString(), false, false));
        } else if (fault == QLatin1String("no such device")) {
            port.device = port.name = QStringLiteral("/dev/ttyQV9");
        } else if (fault == QLatin1String("another speed")) {
            SimConfig c;
            c.serialSpeed = 38400;
            SimModule::named(faulty)->setConfig(c);
        } else {
            QVERIFY(pty.ok());
            port.device = port.name = pty.path();
            // The far end: silent, garbage for the request, or pulled out at the first byte.
            farEnd = std::thread([&pty, &done, fault] {
                QByteArray heard;
                while (!done && !heard.contains('R')) {
                    heard += pty.read(1, 20);
                    if (!heard.isEmpty() && fault == QLatin1String("unplugged while written")) {
                        pty.closeMaster();
                        return;
                    }
                }
                if (fault == QLatin1String("garbage"))
                    pty.write(QByteArray(20, '\x55'));
            });
        }
        r.ports.insert(1, port);

        const QList<ModuleOutcome> outcomes = ManyPorts::RunAll(r, {});
        done = true;
        if (farEnd.joinable())
            farEnd.join();
        QCOMPARE(outcomes.size(), 4);
        for (const ModuleOutcome &o : outcomes) {
            if (o.port.device != port.device) {
                QVERIFY2(o.verdict == ModuleOutcome::Verdict::Holds, qPrintable(o.Line()));
                continue;
            }
            QCOMPARE(int(o.verdict), verdict);
            QVERIFY2(o.reason.contains(reason), qPrintable(o.reason));
            QVERIFY(o.Line().startsWith(QLatin1String("FAIL ")));
        }
        for (SimModule *m : good)
            verifyWire(m);
    }

    // --all and station mode take the USB and ACM adapters of the port list, by their stable
    // names and serial numbers; an on-board port only when named.
    void adaptersOfThePortList()
    {
        PortDirectory &d = PortDirectory::global();
        d.setPortSource([] {
            return QList<PortInfo>{
                {"/dev/ttyS0", {}, {}, {}, {}, "serial8250"},
                {"/dev/ttyUSB3", "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0",
                 "FT232R USB UART", "FTDI", "A50285BI", "ftdi_sio", 0x0403, 0x6001},
                {"/dev/ttyACM0", {}, {}, {}, {}, "cdc_acm"}};
        });
        QStringList seen;
        for (const PortWatch::Plugged &p : PortWatch({}).Look())
            seen << QStringList{p.port.device, p.port.byId, p.port.serial}.join(QLatin1Char(' '));
        d.setPortSource({});
        QCOMPARE(seen, QStringList({"/dev/ttyACM0  ",
                                    "/dev/ttyUSB3 "
                                    "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0 "
                                    "A50285BI"}));
    }
};

QTEST_GUILESS_MAIN(TestManyPorts)
#include "tst_manyports.moc"
