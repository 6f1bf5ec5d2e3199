// The main window: its controls and defaults, start-up on the remembered port (a
// pseudo-terminal mapped to a COM name), the status bar, and the settings write at close.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/LinkReportForm.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "app/StartOptions.h"
#include "serial/Radiocom.h"
#include "settings/PortSettings.h"
#include "sim/SimLine.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"
#include "support/Spoken.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <termios.h>

namespace {

speed_t slaveSpeed(const PtyPair &pty)
{
    struct termios t {};
    ::tcgetattr(pty.slaveKeeper(), &t);
    return ::cfgetospeed(&t);
}

QByteArray devices(const QStringList &names, const QString &device)
{
    QByteArray out("[Devices]\n");
    for (const QString &n : names)
        out += (n + QLatin1Char('=') + device + QLatin1Char('\n')).toUtf8();
    return out;
}

// One line describing a control as the operator finds it: kind, caption, range, items,
// state, and "disabled" / hint when they apply.
QString describe(QWidget *w)
{
    QString d;
    if (auto *s = qobject_cast<TSpinEdit *>(w)) {
        d = QStringLiteral("spin %1..%2 step %3 '%4'")
                .arg(s->MinValue())
                .arg(s->MaxValue())
                .arg(s->Increment())
                .arg(s->Text());
    } else if (auto *g = qobject_cast<TRadioGroup *>(w)) {
        QStringList items;
        for (int i = 0; i < g->Count(); ++i)
            items << g->Button(i)->text();
        d = QStringLiteral("radio '%1' [%2] %3")
                .arg(g->title(), items.join(QLatin1Char('|')))
                .arg(g->ItemIndex());
    } else if (auto *c = qobject_cast<TComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        d = QStringLiteral("combo [%1] %2 '%3'")
                .arg(items.join(QLatin1Char('|')))
                .arg(c->ItemIndex())
                .arg(c->Text());
    } else if (auto *m = qobject_cast<TMemo *>(w)) {
        d = QStringLiteral("pane %1 lines").arg(m->Lines().size());
    } else if (auto *e = qobject_cast<QLineEdit *>(w)) {
        d = QStringLiteral("edit '%1'").arg(e->text());
    } else if (auto *b = qobject_cast<QCheckBox *>(w)) {
        d = QStringLiteral("check '%1' %2")
                .arg(b->text(), b->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
    } else if (auto *p = qobject_cast<QPushButton *>(w)) {
        d = QStringLiteral("button '%1'").arg(p->text());
    }
    if (!w->isEnabled())
        d += QStringLiteral(" disabled");
    if (!w->toolTip().isEmpty())
        d += QStringLiteral(" hint '%1'").arg(w->toolTip());
    return d;
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        settings_.remove();
        prompts_.clear();
    }

    void startupOpensTheRememberedPort()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(settings_.write("[Port]\nCOM=2\nBaud=2\n" + devices({"COM3"}, pty.path())));
        TMainForm f;
        // All of this stands before the window is first shown.
        QCOMPARE(f.PortIndex, 2);
        QCOMPARE(f.BaudIndex, 2);
        QVERIFY(f.SerialConnector->Connected());
        QCOMPARE(slaveSpeed(pty), speed_t(B38400));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(f.StatusPanel(1), QStringLiteral("Serial Port: COM3"));
        QCOMPARE(f.StatusPanel(2), QStringLiteral("Baud Rate: 38400"));
        QCOMPARE(f.Speed->ItemIndex(), 2);
        QCOMPARE(f.Speed->Text(), QStringLiteral("38400"));
        QVERIFY(!f.RTS->isChecked());
        QCOMPARE(f.CommandDelay, 4);
        QCOMPARE(f.Memo1->Lines(), QStringList{QString()});
        QVERIFY(prompts_.messages.isEmpty());
    }

    void firstRunWithoutFile()
    {
        {
            TMainForm f;
            QCOMPARE(f.PortIndex, 0);
            QCOMPARE(f.BaudIndex, 9);
            QCOMPARE(f.StatusPanel(1), QStringLiteral("Serial Port: COM1"));
            // Index 9 names no speed; the component runs at 9600 and the list shows nothing.
            QCOMPARE(f.StatusPanel(2), QStringLiteral("Baud Rate: 9600"));
            QCOMPARE(f.Speed->ItemIndex(), -1);
            QCOMPARE(f.Speed->Text(), QString());
            f.show();
            QVERIFY(f.close());
        }
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=0\nBaud=9\n"));
        {
            TMainForm again;
            QCOMPARE(again.PortIndex, 0);
            QCOMPARE(again.BaudIndex, 9);
            again.show();
            QVERIFY(again.close());
        }
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=0\nBaud=9\n"));
    }

    void panelsShowWhatThePortUses_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<QString>("portPanel");
        QTest::addColumn<QString>("speedPanel");
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("lineSpeed");
        QTest::newRow("9600") << 0 << 0 << "Serial Port: COM1"
                              << "Baud Rate: 9600" << 0 << int(B9600);
        QTest::newRow("115200, listed as 115000") << 0 << 4 << "Serial Port: COM1"
                                                  << "Baud Rate: 115200" << 4 << int(B115200);
        QTest::newRow("BaudIndex -1 is 4800") << 0 << -1 << "Serial Port: COM1"
                                              << "Baud Rate: 4800" << -1 << int(B4800);
        QTest::newRow("BaudIndex 5 runs at 9600") << 0 << 5 << "Serial Port: COM1"
                                                  << "Baud Rate: 9600" << -1 << int(B9600);
        QTest::newRow("BaudIndex 10 runs at 9600") << 0 << 10 << "Serial Port: COM1"
                                                   << "Baud Rate: 9600" << -1 << int(B9600);
        QTest::newRow("PortIndex 9 is COM10") << 9 << 3 << "Serial Port: COM10"
                                              << "Baud Rate: 57600" << 3 << int(B57600);
        QTest::newRow("PortIndex -1 opens COM2") << -1 << 1 << "Serial Port: COM2"
                                                 << "Baud Rate: 19200" << 1 << int(B19200);
    }
    void panelsShowWhatThePortUses()
    {
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(QString, portPanel);
        QFETCH(QString, speedPanel);
        QFETCH(int, speedIndex);
        QFETCH(int, lineSpeed);
        PtyPair pty;
        QVERIFY(settings_.write(devices({"COM1", "COM2", "COM10"}, pty.path())));
        TMainForm f;
        f.PortIndex = port;
        f.BaudIndex = baud;
        f.ApplyPortSettings();
        QVERIFY(f.SerialConnector->Connected());
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(f.StatusPanel(1), portPanel);
        QCOMPARE(f.StatusPanel(2), speedPanel);
        QCOMPARE(f.Speed->ItemIndex(), speedIndex);
        if (speedIndex < 0)
            QCOMPARE(f.Speed->Text(), QString());
        QCOMPARE(int(slaveSpeed(pty)), lineSpeed);
    }

    void applyStartsTheLinkTestOver()
    {
        PtyPair pty;
        QVERIFY(settings_.write(devices({"COM1"}, pty.path())));
        TMainForm f;
        f.RecCount = 12;
        f.ErrCount = 3;
        f.ModuleAsleep = true;
        f.ContSend = true;
        f.RecDataNum->setText(QStringLiteral("12"));
        f.SleepCheckBox->setChecked(true);
        f.RTS->setChecked(true);
        f.SetStatusPanel(0, QStringLiteral("Status: Not Detected"));
        f.ApplyPortSettings();
        QCOMPARE(f.RecCount, 0.0f);
        QCOMPARE(f.ErrCount, 0.0f);
        QVERIFY(!f.ModuleAsleep);
        QVERIFY(!f.ContSend);
        QCOMPARE(f.RecDataNum->text(), QStringLiteral("12"));
        QVERIFY(f.SleepCheckBox->isChecked());
        QVERIFY(!f.RTS->isChecked());
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
    }

    // "Status: Present" would be a lie when the port did not open; the log says why.
    void failedOpen_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("mapped device missing")
            << QByteArray("[Port]\nCOM=2\n[Devices]\nCOM3=/nonexistent/ttyQV0\n")
            << "COM3 (/nonexistent/ttyQV0): no such device";
        QTest::newRow("nothing behind the name")
            << QByteArray("[Port]\nCOM=4\n") << "COM5: no serial device for this port";
        QTest::newRow("not a serial device")
            << QByteArray("[Port]\nCOM=0\n[Devices]\nCOM1=/dev/null\n")
            << "COM1 (/dev/null): not a serial device";
    }
    void failedOpen()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, logLine);
        QVERIFY(settings_.write(file));
        TMainForm f;
        QVERIFY(!f.SerialConnector->Connected());
        QVERIFY(!f.ModulePresent());
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(f.Memo1->Lines(), (QStringList{QString(), logLine}));
        QVERIFY(!f.RTS->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
    }

    // A simulated module stands in only when asked, and the window then says so; without
    // one, the port is whatever the machine lists, an on-board UART too, or nothing.
    void simulatedOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("onBoardUart");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("environment"); // QV_SIM_MODULE
        QTest::addColumn<QString>("portPanel");
        QTest::addColumn<QString>("logLine"); // empty for none
        QTest::newRow("only an on-board UART: it opens") << true << ""
                                                         << ""
                                                         << "Serial Port: COM1"
                                                         << "";
        QTest::newRow("no port at all: nothing opens") << false << ""
                                                       << ""
                                                       << "Serial Port: COM1"
                                                       << "COM1: no serial device for this port";
        QTest::newRow("--simulate") << false << "--simulate"
                                    << ""
                                    << "Serial Port: COM1 (simulated)"
                                    << "COM1: simulated module opened";
        QTest::newRow("--simulate=A, over the UART") << true << "--simulate=A"
                                                     << ""
                                                     << "Serial Port: COM1 (simulated A)"
                                                     << "COM1: simulated module A opened";
        QTest::newRow("QV_SIM_MODULE=B") << true << ""
                                         << "B"
                                         << "Serial Port: COM1 (simulated B)"
                                         << "COM1: simulated module B opened";
    }
    void simulatedOnlyWhenAsked()
    {
        QFETCH(bool, onBoardUart);
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(QString, portPanel);
        QFETCH(QString, logLine);
        PtyPair uart; // stands in for /dev/ttyAMA0
        const QList<PortInfo> listed{{uart.path(), {}, {}, {}, {}, "uart-pl011"}};
        PortDirectory::global().setPortSource(
            [&] { return onBoardUart ? listed : QList<PortInfo>(); });
        qputenv("QV_SIM_MODULE", environment.toLocal8Bit());
        QStringList arguments{QStringLiteral("quorvane")};
        if (!option.isEmpty())
            arguments << option;
        StartOptions::Read(arguments).ApplyToPorts({});
        qunsetenv("QV_SIM_MODULE");
        {
            TMainForm f;
            QCOMPARE(f.StatusPanel(1), portPanel);
            QCOMPARE(f.Memo1->Lines().mid(1),
                     logLine.isEmpty() ? QStringList() : QStringList{logLine});
            const bool simulated = portPanel.contains(QLatin1String("simulated"));
            QCOMPARE(dynamic_cast<SimLine *>(f.SerialConnector->Line()) != nullptr, simulated);
            if (onBoardUart && !simulated) {
                QCOMPARE(f.SerialConnector->SendByte('u'), 1);
                QCOMPARE(uart.read(1), QByteArray("u"));
            }
        }
        StartOptions().ApplyToPorts({});
        PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
    }

    // --settings FILE: a second station's file, read at start and written at close, wherever
    // the program is started from; the usual file stays untouched.
    void settingsFileOfTheOption()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("station2.ini"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Port]\nCOM=2\nBaud=1\n");
        f.close();
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const StartOptions o =
            StartOptions::Read({QStringLiteral("quorvane"), QStringLiteral("--settings"),
                                QStringLiteral("station2.ini")});
        QDir::setCurrent(before);
        QCOMPARE(o.SettingsFile, file);
        PortSettings::SetFilePath(o.SettingsFile);
        {
            TMainForm station;
            QCOMPARE(station.PortIndex, 2);
            QCOMPARE(station.BaudIndex, 1);
            station.BaudIndex = 3;
            station.FormClose();
        }
        PortSettings::SetFilePath({});
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Port]\nCOM=2\nBaud=3\n"));
        QVERIFY(settings_.read().isEmpty());
    }

    void unwritableSettingsKeepTheWindowOpen()
    {
        // Root writes through any permission; a folder where the file belongs stops it.
        QVERIFY(QDir().mkpath(settings_.iniPath()));
        TMainForm f;
        QCOMPARE(f.PortIndex, 0);
        f.show();
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.at(0).text, QStringLiteral("Unable to write to Quorvane.ini"));
        QCOMPARE(prompts_.messages.at(0).caption, QStringLiteral("Quorvane"));
        QCOMPARE(prompts_.messages.at(0).owner, &f);
        // Once the file can be written, the next close goes through.
        settings_.remove();
        f.PortIndex = 4;
        QVERIFY(f.close());
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=4\nBaud=9\n"));
    }

    void closeRequests_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("contSendAfter");
        QTest::newRow("Exit button") << "Button1" << false;
        QTest::newRow("File, Exit") << "Exit1" << true;
        QTest::newRow("close box") << "close" << true;
    }
    void closeRequests()
    {
        QFETCH(QString, how);
        QFETCH(bool, contSendAfter);
        const auto request = [&how](TMainForm &f) {
            if (how == QLatin1String("Button1"))
                f.Button1->click();
            else if (how == QLatin1String("Exit1"))
                f.Exit1->trigger();
            else
                f.close();
        };

        // Without a continuous send the window closes at once.
        {
            TMainForm f;
            f.show();
            f.PortIndex = 1;
            request(f);
            QVERIFY(!f.isVisible());
            QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=1\nBaud=9\n"));
        }

        // During one: the settings are written, the window stays until the loop returns.
        TMainForm f;
        f.show();
        f.ContSend = true;
        f.ContSendLoops = 2; // a loop nested in another
        f.PortIndex = 2;
        request(f);
        QVERIFY(f.isVisible());
        QCOMPARE(f.ContSend, contSendAfter);
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=2\nBaud=9\n"));
        f.PortIndex = 3; // not written again when the program ends
        f.ContSendLoops = 1;
        f.BusyLoopEnded();
        QVERIFY(f.isVisible());
        f.ContSendLoops = 0;
        f.BusyLoopEnded();
        QVERIFY(!f.isVisible());
        QCOMPARE(settings_.read(), QByteArray("[Port]\nCOM=2\nBaud=9\n"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void stoppedSendWithoutCloseRequestKeepsRunning()
    {
        TMainForm f;
        f.show();
        f.BusyLoopEnded();
        QVERIFY(f.isVisible());
    }

    void controlsAndDefaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("accessible");
        QTest::addColumn<QString>("description");
        const auto row = [](const char *name, const char *accessible, const char *description) {
            QTest::newRow(name) << name << accessible << description;
        };
        // Address
        row("EditAddress1", "Address 1", "edit ''");
        row("EditAddress2", "Address 2", "edit '11'");
        row("Address_W", "Address Length", "spin 1..5 step 1 '4'");
        // Data Length: the maximum of the receive lengths is already the rule's
        row("DataW1", "Data1 RX", "spin 0..61 step 1 '0'");
        row("DataW2", "Data2 RX", "spin 0..61 step 1 '0'");
        row("DataW1TX", "Data1 TX", "spin 0..64 step 1 '0'");
        row("DataW2TX", "Data2 TX", "spin 0..64 step 1 '0'");
        row("MaxDataL", "Max. Data Length", "edit '61' disabled");
        // Setup Module
        row("ShockBurstBox", "ShockBurst", "check 'ShockBurst' on");
        row("CheckBox1", "16MHz", "check '16MHz' on disabled");
        row("DualChannelBox", "DualChannel", "check 'DualChannel' off");
        row("CRC", "CRC", "check 'CRC' on disabled");
        row("RFDataRate", "RF Data Rate", "radio 'RF Data Rate' [250Kbs|1Mbs] 0");
        row("Channel", "Channel", "spin 0..127 step 1 '2'");
        row("PowerCombo", "RF Power", "combo [0  dBm|-5 dBm|-10 dBm|-20 dBm] 0 '0  dBm'");
        row("CRCRadioGroup", "CRC", "radio 'CRC' [8 Bits|16 Bits] 1");
        // Serial
        row("RX", "Rx", "check 'Rx' off");
        row("TX", "Tx", "check 'Tx' off");
        row("RTS", "RTS", "check 'RTS' off");
        row("CTS", "CTS", "check 'CTS' off");
        row("Button7", "Sleep", "button 'Sleep'");
        row("SleepCheckBox", "Asleep", "check '' off disabled");
        row("Speed", "Speed", "combo [9600|19200|38400|57600|115000] -1 ''");
        row("Set", "Set Speed", "button 'Set Speed'");
        // Data Test
        row("RecDataNum", "Rec. Data", "edit ''");
        row("Button3", "Clr", "button 'Clr'");
        row("RecDataErr", "Data Error", "edit ''");
        row("Button6", "Clr", "button 'Clr'");
        row("WaitTime", "WaitTime [mS]", "spin 10..1000 step 10 '100'");
        row("Edit1", "Time between 2 trams (ms)", "edit ''");
        row("EditLeng", "Data Lengt", "edit ''");
        // Panes and the send line
        row("SentMemo", "Sent", "pane 1 lines");
        row("RecMemo", "Received", "pane 1 lines");
        row("SendEdit", "Send line", "edit ''");
        // Right block: only Set Module and Read Config. have hints
        row("Button8", "Reset", "button 'Reset'");
        row("Button2", "Set Module", "button 'Set Module' hint 'Writes Config. to Module'");
        row("Button5", "Read Config.",
            "button 'Read Config.' hint 'Reads Config. bits from Module'");
        row("CheckBox2", "hex", "check 'hex' off");
        row("Button10", "SendTest", "button 'SendTest'");
        row("Button4", "Cont.Send", "button 'Cont.Send'");
        row("Button9", "Stop", "button 'Stop'");
        row("Button11", "Send File", "button 'Send File'");
        row("Memo1", "Log.", "pane 1 lines");
        row("Button1", "Exit", "button 'Exit'");
    }
    void controlsAndDefaults()
    {
        QFETCH(QString, name);
        QFETCH(QString, accessible);
        QFETCH(QString, description);
        // COM1 opens, so the log is as the window starts; BaudIndex 9 (no "Baud" key) leaves
        // Speed without a selection.
        PtyPair pty;
        QVERIFY(settings_.write(devices({"COM1"}, pty.path())));
        TMainForm f;
        auto *w = f.findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->accessibleName(), accessible);
        QCOMPARE(describe(w), description);
        QVERIFY(w->isVisibleTo(&f));
    }

    void everyLabelNamesItsControl()
    {
        TMainForm f;
        int named = 0;
        for (QLabel *l : f.findChildren<QLabel *>()) {
            if (l->parent() == f.statusBar() || l->text().isEmpty())
                continue;
            QVERIFY2(l->buddy(), qPrintable(l->text()));
            QCOMPARE(l->buddy()->accessibleName(), l->text());
            ++named;
        }
        QCOMPARE(named, 15);
    }

    // Whatever a window shows in a label or a field, a screen reader reads too: a value that
    // carried its caption as its name was never read out.
    void shownValuesAreSpoken()
    {
        TMainForm f;
        MainForm = &f;
        TOptionsForm options;
        f.RecDataNum->setText(QStringLiteral("5"));
        f.LinkReport1->trigger();
        int values = 0;
        for (QWidget *window : {static_cast<QWidget *>(&f), static_cast<QWidget *>(&options),
                                static_cast<QWidget *>(f.LinkReportForm)}) {
            QList<QWidget *> shown;
            for (QLabel *l : window->findChildren<QLabel *>())
                shown << l;
            for (QLineEdit *e : window->findChildren<QLineEdit *>())
                shown << e;
            for (QWidget *w : shown) {
                const QString text = w->property("text").toString().remove(QLatin1Char('&'));
                if (text.isEmpty() || !w->isVisibleTo(window))
                    continue;
                // A spin box's or a drop-down list's field is read as that control.
                QWidget *control = w;
                if (qobject_cast<QAbstractSpinBox *>(w->parentWidget()) ||
                    qobject_cast<QComboBox *>(w->parentWidget()))
                    control = w->parentWidget();
                QVERIFY2(spoken(control).contains(text),
                         qPrintable(control->objectName() + ": " + text));
                ++values;
            }
        }
        QVERIFY(values > 40);
        QCOMPARE(spoken(f.RecDataNum), QStringLiteral("Rec. Data: 5"));
        QCOMPARE(spoken(f.LinkReportForm->ReceivedValue), QStringLiteral("Received: 0"));
        MainForm = nullptr;
    }

    void windowFrameMenusAndParts()
    {
        TMainForm f;
        QCOMPARE(f.windowTitle(), QStringLiteral("2.4GHz Radio Communication- Veltrane Ltd."));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QCOMPARE(f.width(), 906);
        QCOMPARE(f.height() - f.menuBar()->sizeHint().height(), 721);
        QVERIFY(!(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(f.windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(f.StatusPanelLabel(0)->width(), 150);
        QCOMPARE(f.StatusPanelLabel(1)->width(), 180);
        QCOMPARE(f.StatusPanelLabel(2)->width(), 200);

        // Each item as the menu shows it: its text, and its key when it has one.
        const auto items = [](QMenu *m) {
            QStringList texts;
            for (QAction *a : m->actions())
                texts << (a->isSeparator() ? QStringLiteral("-")
                          : a->shortcut().isEmpty()
                              ? a->text()
                              : a->text() + QLatin1Char('\t') + a->shortcut().toString());
            return texts;
        };
        QStringList menus;
        for (QAction *top : f.menuBar()->actions())
            menus << top->text() + QLatin1Char(':') + items(top->menu()).join(QLatin1Char(','));
        QCOMPARE(menus, (QStringList{QStringLiteral("&File:Save Profile...,Load Profile...,Record "
                                                    "to File...,Stop Recording,-,E&xit"),
                                     QStringLiteral("&Edit:&Find...\tCtrl+F,Find &Next\tF3,Find "
                                                    "&Previous\tShift+F3"),
                                     QStringLiteral("&View:&Link Report...,Channel Survey...,-,Time "
                                                    "Stamps,Hex and Text,UTF-8 Text,Whole Lines"),
                                     QStringLiteral("&Settings:&Serial port..."),
                                     QStringLiteral("&Help:&About...\tF1")}));
        QVERIFY(!f.StopRecording1->isEnabled());
        // Each pane's menu keeps what it had first; the Log pane's has only the new items.
        const QStringList added{QStringLiteral("Copy\tCtrl+C"),
                                QStringLiteral("Select All\tCtrl+A"), QStringLiteral("Save As...")};
        QCOMPARE(items(f.PopupMenu1), QStringList{QStringLiteral("Clear")} + added);
        QCOMPARE(items(f.PopupMenu2), QStringList{QStringLiteral("Clear")} + added);
        QCOMPARE(items(f.PopupMenu3), added);
        QCOMPARE(f.PopupMenu1->actions().first(), f.Clear1);
        QCOMPARE(f.PopupMenu2->actions().first(), f.Clear2);
        for (TMemo *pane : {f.RecMemo, f.SentMemo, f.Memo1})
            QCOMPARE(pane->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(f.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(f.SentMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        QVERIFY(!f.Timer1->isActive());
        QVERIFY(!f.Timer2->isActive());
        QCOMPARE(f.Timer2->interval(), 10);
        QCOMPARE(f.SerialConnector->RtsFlowControl(), RTSOff);
        QCOMPARE(f.SerialConnector->ReadTimeout(), 1);
        QCOMPARE(f.SerialConnector->WriteTimeout(), 10);
        QCOMPARE(f.LastRecTime, 0.0);
        QVERIFY(!f.ConfigReadActive);
        QCOMPARE(f.RecCount, 0.0f);
        QCOMPARE(f.ErrCount, 0.0f);
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
