// The main window as an operator sees it: two stations on simulated modules (an air of their
// own, so no console running on this machine hears them), each started and shown (Reset and
// Read Config), then a short link test and a typed line from A to B. The screenshots show B,
// the receiving station, and A, the sending one; then the settings dialog. Last, a numbered
// link test on an air that loses more and more, and the Link Report window of both stations.

#include "app/Eepromoptions.h"
#include "app/FindBar.h"
#include "app/LinkReportForm.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "serial/PortDirectory.h"
#include "sim/SimWorld.h"
#include "sim/SimulatedModules.h"
#include "support/Screenshot.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<TMainForm> station(const QTemporaryDir &config, int com)
{
    QFile ini(config.filePath(QStringLiteral("Quorvane.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write(QStringLiteral("[Port]\nCOM=%1\nBaud=0\n[Devices]\nCOM1=sim:A\nCOM2=sim:B\n")
                      .arg(com)
                      .toUtf8());
    ini.close();
    auto f = std::make_unique<TMainForm>();
    f->show();
    return f;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

void shotsMainWindow(const QString &dir)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
    registerSimulatedModules();
    SimWorld::instance()->air().setName({});

    // Each station resets its module and reads its configuration when first shown.
    auto b = station(config, 1);
    auto a = station(config, 0);
    settle(800);

    // A short link test (B waits 200 ms before counting a miss, more than the send's
    // 100 ms pace), a typed line of one payload, and Stop on B once the test is over.
    b->WaitTime->SetValue(200);
    QTimer::singleShot(1500, a.get(), [&a] { a->Button9->click(); });
    a->Button4->click();
    settle(200);
    a->SendEdit->setText(QStringLiteral("Hello B! Station A calls."));
    QTest::keyClick(a->SendEdit, Qt::Key_Return);
    settle(150);
    b->Button9->click();
    settle(300);

    saveScreenshot(b.get(), dir, QStringLiteral("main-window"));
    saveScreenshot(a.get(), dir, QStringLiteral("main-window-sender"));

    // B reads with the View menu's ticks and searches its Received pane while A sends a
    // UTF-8 file, each line in packets of 25 bytes.
    for (QAction *tick : {b->TimeStamps1, b->HexAndText1, b->Utf8Text1, b->WholeLines1})
        tick->trigger();
    b->FindBar1->Open(b->RecMemo);
    b->FindBar1->Pattern->setText(QStringLiteral("line"));
    QTemporaryDir files;
    QFile text(files.filePath(QStringLiteral("greeting.txt")));
    if (text.open(QIODevice::WriteOnly))
        text.write("Gr\xC3\xBC\xC3\x9F"
                   "e from A, first line\nsecond line, 12 \xC2\xB5"
                   "A\n"
                   "third line of three\n");
    text.close();
    a->SendTextFile(text.fileName());
    settle(400);
    b->FindBar1->FindNext();
    saveScreenshot(b.get(), dir, QStringLiteral("main-window-reading"));
    b->FindBar1->Close();

    // The communication settings dialog over the sending station, on a machine with a USB
    // adapter and an on-board port, the adapter picked for COM1.
    PortDirectory::global().setPortSource([] {
        return QList<PortInfo>{{"/dev/ttyUSB0",
                                "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                                "FT232R USB UART", "FTDI", "A1B2C3", "ftdi_sio", 0x0403, 0x6001},
                               {"/dev/ttyS0", {}, {}, {}, {}, "serial8250"}};
    });
    MainForm = a.get();
    TOptionsForm options;
    options.show();
    options.DeviceList->setCurrentIndex(1);
    options.DeviceListClick(1);
    QApplication::processEvents();
    saveScreenshot(&options, dir, QStringLiteral("settings-dialog"));
    options.hide();
    MainForm = nullptr;

    // Twenty seconds of numbered packets, the air losing 2 %, then 10 %, then 25 %.
    a->LinkReport1->trigger();
    b->LinkReport1->trigger();
    a->LinkReportForm->NumberedBox->click();
    a->LinkReportForm->ResetButton->click();
    b->LinkReportForm->ResetButton->click();
    SimAir &air = SimWorld::instance()->air();
    air.setLossPercent(2);
    QTimer::singleShot(7000, a.get(), [&air] { air.setLossPercent(10); });
    QTimer::singleShot(14000, a.get(), [&air] { air.setLossPercent(25); });
    QTimer::singleShot(21000, a.get(), [&a] { a->Button9->click(); });
    a->Button4->click();
    air.setLossPercent(0);
    settle(1100);
    b->LinkReportForm->Refresh();
    a->LinkReportForm->Refresh();
    saveScreenshot(b->LinkReportForm, dir, QStringLiteral("link-report"));
    saveScreenshot(a->LinkReportForm, dir, QStringLiteral("link-report-sender"));
    PortDirectory::global().setPortSource({});
}
