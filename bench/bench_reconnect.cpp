// An adapter unplugged under the main window and plugged in again, reached by its stable name
// (a link to a pseudo-terminal, replaced as udev replaces it): what the window costs while the
// device is away, and how long after the device is back its port is open again.

#include "app/Radio.h"
#include "bench/Bench.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

void benchReconnect(BenchTable &t)
{
    const QString s = QStringLiteral("reconnect");
    IsolatedSettings settings;
    RecordingPrompts prompts; // the failed Read Config's beeps
    QTemporaryDir byId;
    const QString link = byId.filePath(QStringLiteral("usb-Quorvane_Module_Q1-if00-port0"));
    auto device = std::make_unique<PtyPair>();
    device->linkAs(link);
    settings.write("[Port]\nCOM=0\nBaud=4\n[Devices]\nCOM1=" + link.toUtf8() + "\n");
    TMainForm f;
    if (!f.SerialConnector->Connected()) {
        t.row(s, QStringLiteral("port open through a link"), QStringLiteral("failed"));
        return;
    }
    const auto unplug = [&] {
        device->closeMaster();
        device->dropSlaveKeeper();
        return runUntil([&] { return !f.SerialConnector->Connected(); }, 5000);
    };

    unplug();
    const int awayMs = 10000;
    const double cpu0 = cpuSecondsOfProcess();
    runEventLoopFor(awayMs);
    const double pct = (cpuSecondsOfProcess() - cpu0) / (awayMs / 1000.0) * 100.0;
    t.row(s, QStringLiteral("process CPU while the device is away, 10 s"),
          QString::number(pct, 'f', 3) + QStringLiteral(" %"), QStringLiteral("< 0.1 %"),
          pct < 0.1);

    // The device comes back at a different moment of the once-a-second check each time.
    std::vector<double> back;
    const int rounds = 15;
    for (int i = 0; i < rounds; ++i) {
        if (i > 0 && !unplug())
            break;
        runEventLoopFor(i * 397 % 1000);
        QElapsedTimer since;
        device = std::make_unique<PtyPair>();
        device->linkAs(link);
        since.start();
        if (!runUntil([&] { return f.SerialConnector->Connected(); }, 5000))
            break;
        back.push_back(double(since.nsecsElapsed()) / 1e6);
        // The start-up's Read Config waits for its reply; the far end stays silent.
        runUntil([&] { return !f.Timer2->isActive(); }, 5000);
    }
    if (back.size() < size_t(rounds)) {
        t.row(s, QStringLiteral("device back to port open again"), QStringLiteral("failed"));
        return;
    }
    const double median = percentile(back, 50);
    t.row(s, QStringLiteral("device back to port open again, median of 15"),
          QString::number(median, 'f', 0) + QStringLiteral(" ms"), QStringLiteral("< 1500 ms"),
          median < 1500);
    t.row(s, QStringLiteral("same, slowest"),
          QString::number(percentile(back, 100), 'f', 0) + QStringLiteral(" ms"));
}
