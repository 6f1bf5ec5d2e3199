#include "cli/Demo.h"

#include "cli/Output.h"
#include "cli/Programmer.h"
#include "serial/PortDirectory.h"
#include "settings/ModuleProfile.h"
#include "sim/SimInterference.h"
#include "sim/SimModule.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

namespace {

constexpr int kPackets = 100;
constexpr int kWidth = 8;
// The modules power on at 9600 bit/s and are moved to 115200 first.
constexpr int kPowerOnSpeedIndex = 0;
constexpr int kSpeedIndex = 4;
constexpr int kBaud = 115200;

ModuleConfig demoProfile()
{
    ModuleConfig c;
    c.channel = 40;
    c.powerIndex = 0;
    c.rateIndex = 1;
    c.addressWidth = 5;
    c.address1 = QStringLiteral("A1B2C3D4E5");
    c.address2 = QStringLiteral("C2C2C2C2C2"); // what every simulated module reports
    c.dataW1 = c.dataW1TX = kWidth;
    return c;
}

// Test packet n: its number, filled up with zeros to the payload width.
QByteArray packet(int n)
{
    return QByteArray::number(n).rightJustified(kWidth, '0');
}

} // namespace

int Demo::Run(const Output &out)
{
    registerSimulatedModules(); // modules power on fresh, and nothing is kept
    SimWorld::instance()->air().setName({});
    const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
    PortDirectory::global().setExplicit({{QStringLiteral("COM1"), QStringLiteral("sim:demo-A")},
                                         {QStringLiteral("COM2"), QStringLiteral("sim:demo-B")}});
    Programmer a(out, false), b(out, false);
    Programmer *const stations[2] = {&a, &b};
    const ModuleConfig profile = demoProfile();

    bool holds[2] = {};
    for (int i = 0; i < 2; ++i) {
        const QString error = stations[i]->Open(i, kPowerOnSpeedIndex);
        if (!error.isEmpty()) {
            out.Error(error, {{QStringLiteral("command"), QStringLiteral("demo")}});
            return 2;
        }
        out.Progress(QStringLiteral("Module %1: speed %2 bit/s, then the profile written and read "
                                    "back")
                         .arg(names[i])
                         .arg(kBaud));
        const std::optional<ModuleConfig> back =
            stations[i]->ChangeSpeed(kSpeedIndex) ? stations[i]->Write(profile) : std::nullopt;
        holds[i] = back && ModuleProfile::Differences(profile, *back).isEmpty();
    }

    out.Progress(QStringLiteral("Module A sends %1 test packets of %2 bytes to module B")
                     .arg(kPackets)
                     .arg(kWidth));
    // B counts the packets that come whole and in order; a lost one is simply not counted.
    QByteArray heard;
    int received = 0, last = 0;
    QEventLoop loop;
    b.OnData = [&](const QByteArray &bytes) {
        heard += bytes;
        for (; heard.size() >= kWidth; heard.remove(0, kWidth)) {
            bool number = false;
            const int n = heard.left(kWidth).toInt(&number);
            if (number && n > last && n <= kPackets && heard.left(kWidth) == packet(n)) {
                ++received;
                last = n;
            }
        }
        if (last == kPackets)
            loop.quit();
    };
    int sent = 0;
    for (int n = 1; n <= kPackets; ++n)
        sent += a.Module().SendText(packet(n)) ? 0 : 1;
    // Every packet's line time twice over (out of A, into B), and a second to spare.
    QTimer::singleShot(2 * kPackets * kWidth * 10 * 1000 / kBaud + 1000, &loop, &QEventLoop::quit);
    if (last < kPackets)
        loop.exec();

    const bool ok = holds[0] && holds[1] && received == kPackets;
    QString text = QStringLiteral("module  port        profile     packets\n");
    QJsonArray modules;
    const QString packets[2] = {QStringLiteral("%1 sent").arg(sent),
                                QStringLiteral("%1 of %2 received").arg(received).arg(kPackets)};
    for (int i = 0; i < 2; ++i) {
        const QString port = QStringLiteral("sim:demo-") + names[i];
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(names[i], -6)
                    .arg(port, -10)
                    .arg(holds[i] ? QStringLiteral("holds it") : QStringLiteral("DIFFERS"), -10)
                    .arg(packets[i]);
        modules.append(QJsonObject{{QStringLiteral("name"), names[i]},
                                   {QStringLiteral("port"), port},
                                   {QStringLiteral("holds"), holds[i]}});
    }
    text += ok ? QStringLiteral("Demo passed.") : QStringLiteral("Demo FAILED.");
    out.Result(text, {{QStringLiteral("command"), QStringLiteral("demo")},
                      {QStringLiteral("ok"), ok},
                      {QStringLiteral("modules"), modules},
                      {QStringLiteral("packetsSent"), sent},
                      {QStringLiteral("packetsReceived"), received}});
    return ok ? 0 : 1;
}

int Demo::RunSurvey(const Output &out, Survey::Request request, const SurveyCommand::Files &files)
{
    registerSimulatedModules(); // modules power on fresh, and nothing is kept
    SimAir &air = SimWorld::instance()->air();
    air.setName({});
    if (qEnvironmentVariableIsEmpty("QV_SIM_INTERFERENCE"))
        air.setInterference(SimInterference::wifi());
    const char *const names[2] = {"survey-tx", "survey-rx"};
    ModulePort *const ports[2] = {&request.tx, &request.rx};
    for (int i = 0; i < 2; ++i) {
        SimModule::named(QLatin1String(names[i]))->factoryReset(kBaud);
        const QString port = QStringLiteral("sim:") + QLatin1String(names[i]);
        *ports[i] = {port, port, {}, {}};
    }
    request.speedIndex = kSpeedIndex;
    out.Progress(QStringLiteral("Two simulated modules at %1 bit/s in an office with busy Wi-Fi "
                                "channels 1, 6 and 11 (module channels 1-23, 26-48, 51-73)")
                     .arg(kBaud));
    return SurveyCommand::Run(out, request, files, QStringLiteral("demo"));
}
