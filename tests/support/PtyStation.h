#pragma once

// The main window on COM1, a pseudo-terminal, with its settings dialog, as the program has
// them; and what every device-loss test asks of the window afterwards: that it costs nothing
// while the device is gone, and that Ok in the settings dialog takes the port up again once a
// device is back under the same COM name.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace PtyStationTools {

// Process CPU time in milliseconds, all threads.
inline double cpuMs()
{
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000.0 +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1000.0;
}

// The dump of a module in its power-on configuration.
inline QByteArray powerOnDump()
{
    QByteArray d("\x41\x01\x02\x03\xFF\xA0", 6);
    d += QByteArray(5, char(0xE7));
    d += QByteArray(5, char(0xC2));
    d += QByteArray("\xC8\x00\xC8\x00", 4);
    return d;
}

} // namespace PtyStationTools

struct PtyStation {
    std::unique_ptr<PtyPair> device = std::make_unique<PtyPair>();
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TOptionsForm> options;

    // baudIndex as in the settings file: 0 = 9600 ... 4 = 115200. COM1 opens the
    // pseudo-terminal through a link of the station's own, as an adapter is opened by its
    // stable name; the link goes with the device, as udev's does. So the number the system
    // gives the next pseudo-terminal, of this program or of a test running beside it, never
    // brings a lost device back.
    explicit PtyStation(const IsolatedSettings &settings, int baudIndex = 0)
    {
        pointLink();
        settings.write("[Port]\nCOM=0\nBaud=" + QByteArray::number(baudIndex) +
                       "\n[Devices]\nCOM1=" + link_.toUtf8() + "\n");
        main = std::make_unique<TMainForm>();
        options = std::make_unique<TOptionsForm>();
        MainForm = main.get();
        OptionsForm = options.get();
    }
    ~PtyStation()
    {
        OptionsForm = nullptr;
        MainForm = nullptr;
    }
    PtyStation(const PtyStation &) = delete;
    PtyStation &operator=(const PtyStation &) = delete;

    // An unplugged adapter: the far end goes, and with it the last descriptor of the slave
    // that is not the window's.
    void unplug()
    {
        device->closeMaster();
        device->dropSlaveKeeper();
        ::unlink(link_.toLocal8Bit().constData());
    }
    // The adapter plugged in again: a new pseudo-terminal behind the same link, which
    // changes in one step, as udev's links do.
    void plugIn()
    {
        device = std::make_unique<PtyPair>();
        pointLink();
    }
    // The log without the pane's first, empty line.
    QStringList log() const { return main->Memo1->Lines().mid(1); }
    // What [Devices] maps COM1 to, and the log line that tells the loss of the device.
    QString link() const { return link_; }
    QString goneLine() const { return QStringLiteral("COM1 (%1): device disconnected").arg(link_); }

private:
    void pointLink() const
    {
        if (!device->linkAs(link_))
            qFatal("cannot link %s", qPrintable(link_));
    }
    QTemporaryDir byId_;
    QString link_ = byId_.filePath(QStringLiteral("usb-Quorvane_Module_Q1-if00-port0"));
};

namespace PtyStationTools {

// The window must stay quiet while the device is gone: a spinning watcher or a busy loop
// would burn the whole time. Runs the event loop meanwhile.
inline void verifyIdleCostsNothing(int ms = 500)
{
    const double cpu0 = cpuMs();
    QElapsedTimer t;
    t.start();
    QTest::qWait(ms);
    const double used = cpuMs() - cpu0;
    QVERIFY2(used < 0.2 * double(t.elapsed()),
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(used).arg(t.elapsed())));
}

// The device is back under the same COM name: Ok in the settings dialog opens it, and a Read
// Config goes through.
inline void verifyPortComesBack(PtyStation &s)
{
    auto back = std::make_unique<PtyPair>();
    QVERIFY(back->ok());
    QMap<QString, QString> devices = PortDirectory::global().explicitEntries();
    devices.insert(QStringLiteral("COM1"), back->path());
    PortDirectory::global().setExplicit(devices);

    const qsizetype logged = s.log().size();
    s.options->FormShow();
    QCOMPARE(s.options->ComboBox1->ItemIndex(), 0);
    s.options->Button1Click();
    QVERIFY2(s.main->SerialConnector->Connected(),
             qPrintable(s.main->SerialConnector->LastOpenError()));
    QCOMPARE(s.main->StatusPanel(0), QStringLiteral("Status: Present"));
    QCOMPARE(s.log().size(), logged);

    s.main->Button5->click();
    QCOMPARE(back->read(1), QByteArray("R"));
    back->write(powerOnDump());
    QTRY_COMPARE(s.log().mid(logged),
                 (QStringList{QStringLiteral("Read Config"), QStringLiteral("OK")}));
    s.device = std::move(back);
}

} // namespace PtyStationTools
