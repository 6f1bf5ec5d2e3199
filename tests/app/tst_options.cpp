// The communication settings dialog against a real main window on pseudo-terminals.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/Radio.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

class TestOptions : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    PtyPair com2_, com3_;

    // A main window on COM3 (a pty) at 38400, with its dialog.
    struct Station {
        TMainForm main;
        TOptionsForm options;
        Station()
        {
            MainForm = &main;
            OptionsForm = &options;
        }
        ~Station()
        {
            OptionsForm = nullptr;
            MainForm = nullptr;
        }
    };

    void writeSettings(const QByteArray &port)
    {
        QVERIFY(settings_.write("[Port]\n" + port + "[Devices]\nCOM2=" + com2_.path().toUtf8() +
                                "\nCOM3=" + com3_.path().toUtf8() + "\n"));
    }

private slots:
    void init() { writeSettings("COM=2\nBaud=2\n"); }

    void looksAsDescribed()
    {
        Station s;
        QCOMPARE(s.options.windowTitle(), QStringLiteral("Communication Settings"));
        QCOMPARE(s.options.size(), QSize(560, 224));
        QStringList ports, speeds;
        for (int i = 0; i < s.options.ComboBox1->count(); ++i)
            ports << s.options.ComboBox1->itemText(i);
        for (int i = 0; i < s.options.ComboBox2->count(); ++i)
            speeds << s.options.ComboBox2->itemText(i);
        QCOMPARE(ports,
                 QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
        QCOMPARE(speeds, QStringList({"9600", "19200", "38400", "57600", "115000"}));
        QCOMPARE(s.options.Button1->text(), QStringLiteral("Ok"));
        QCOMPARE(s.options.Button2->text(), QStringLiteral("Cancel"));
    }

    void preselectsTheCurrentValues_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<int>("portItem");
        QTest::addColumn<int>("speedItem");
        QTest::newRow("COM3 at 38400") << QByteArray("COM=2\nBaud=2\n") << 2 << 2;
        QTest::newRow("COM9 is not in the list") << QByteArray("COM=8\nBaud=0\n") << -1 << 0;
        QTest::newRow("speed 9 names nothing") << QByteArray("COM=0\nBaud=9\n") << 0 << -1;
    }
    void preselectsTheCurrentValues()
    {
        QFETCH(QByteArray, port);
        QFETCH(int, portItem);
        QFETCH(int, speedItem);
        writeSettings(port);
        Station s;
        s.options.show();
        QCOMPARE(s.options.ComboBox1->ItemIndex(), portItem);
        QCOMPARE(s.options.ComboBox2->ItemIndex(), speedItem);
        if (portItem < 0)
            QCOMPARE(s.options.ComboBox1->Text(), QString());
        if (speedItem < 0)
            QCOMPARE(s.options.ComboBox2->Text(), QString());
        s.options.hide();
    }

    void showsTheDeviceBehindTheChosenName()
    {
        Station s;
        s.options.show();
        QVERIFY(s.options.DeviceLabel->text().contains(com3_.path()));
        s.options.ComboBox1->SetItemIndex(6);
        QVERIFY(s.options.DeviceLabel->text().contains(QLatin1String("no device")));
        // The item texts stay the COM names.
        QCOMPARE(s.options.ComboBox1->Text(), QStringLiteral("COM7"));
        s.options.hide();
    }

    // The system's devices are offered with what the system says of them; picking one maps
    // the chosen COM name to it by its stable name, Ok opens it, the settings file keeps the
    // mapping from the close on, and the next start opens it again.
    void deviceListMapsTheChosenName()
    {
        QTemporaryDir byId;
        const QString stable = byId.filePath(QStringLiteral("usb-FTDI_FT232R_A1B2C3-if00-port0"));
        QVERIFY(QFile::link(com2_.path(), stable));
        const QList<PortInfo> listed{{"/dev/ttyAMA0", {}, {}, {}, {}, "uart-pl011"},
                                     {com2_.path(), stable, "FT232R USB UART", "FTDI", "A1B2C3",
                                      "ftdi_sio", 0x0403, 0x6001}};
        PortDirectory::global().setPortSource([&listed] { return listed; });
        {
            Station s;
            s.options.show();
            QStringList items;
            for (int i = 1; i < s.options.DeviceList->count(); ++i)
                items << s.options.DeviceList->itemText(i);
            QCOMPARE(items, (QStringList{com2_.path() + ": FT232R USB UART, FTDI, 0403:6001, "
                                                        "serial A1B2C3, driver ftdi_sio",
                                         "/dev/ttyAMA0: driver uart-pl011"}));
            s.options.ComboBox1->SetItemIndex(3);
            QCOMPARE(s.options.DeviceLabel->text(), QStringLiteral("COM4 opens: no device"));
            QCOMPARE(s.options.DeviceList->currentIndex(), 0); // no entry
            s.options.DeviceList->setCurrentIndex(1);
            s.options.DeviceListClick(1);
            QVERIFY2(s.options.DeviceLabel->text().startsWith("COM4 opens: " + stable + "\n" +
                                                              com2_.path() + "\nFT232R"),
                     qPrintable(s.options.DeviceLabel->text()));
            s.options.Button1Click();
            QCOMPARE(s.main.SerialConnector->SendByte('d'), 1);
            QCOMPARE(com2_.read(1), QByteArray("d"));
            s.main.FormClose();
        }
        QVERIFY2(settings_.read().contains("COM4=" + stable.toUtf8() + "\n"), settings_.read());
        PortDirectory::global().setPortSource([] { return QList<PortInfo>(); });
        Station next;
        QCOMPARE(next.main.PortIndex, 3);
        QCOMPARE(next.main.SerialConnector->SendByte('e'), 1);
        QCOMPARE(com2_.read(1), QByteArray("e"));
    }

    void okWithUnchangedValuesStillReopens()
    {
        Station s;
        s.main.RecCount = 5;
        s.main.ErrCount = 3;
        s.main.ContSend = true;
        // Bytes waiting in the old opening are purged by the close that Ok causes. (No
        // events run meanwhile: the receive handler would take them.)
        com3_.write("xyz");
        for (int i = 0; i < 100 && s.main.SerialConnector->Line()->queuedInput() < 3; ++i)
            QThread::msleep(5);
        QCOMPARE(s.main.SerialConnector->Line()->queuedInput(), 3);
        s.options.FormShow();
        s.options.Button1Click();
        QVERIFY(!s.options.isVisible());
        QVERIFY2(s.main.SerialConnector->Connected(),
                 qPrintable(s.main.SerialConnector->LastOpenError()));
        QCOMPARE(s.main.SerialConnector->Line()->queuedInput(), 0);
        QCOMPARE(s.main.RecCount, 0.0f);
        QCOMPARE(s.main.ErrCount, 0.0f);
        QVERIFY(!s.main.ContSend);
        QCOMPARE(s.main.StatusPanel(1), QStringLiteral("Serial Port: COM3"));
    }

    // A list without an entry keeps the value it had, so an untouched first-run dialog (its
    // speed list empty for index 9) changes nothing; a typed text that is exactly an entry is
    // that entry.
    void okTakesWhatTheListsShow_data()
    {
        QTest::addColumn<QByteArray>("port");   // the settings file's [Port] keys
        QTest::addColumn<QString>("portText");  // typed into the emptied list; "-": untouched
        QTest::addColumn<QString>("speedText"); // likewise
        QTest::addColumn<int>("portIndex");
        QTest::addColumn<int>("baudIndex");
        QTest::addColumn<QString>("speedPanel");
        QTest::newRow("no entry in either list") << QByteArray("COM=2\nBaud=2\n") << ""
                                                 << "" << 2 << 2 << "Baud Rate: 38400";
        QTest::newRow("typed entries") << QByteArray("COM=2\nBaud=2\n") << "COM2"
                                       << "115000" << 1 << 4 << "Baud Rate: 115200";
        QTest::newRow("typed texts that are no entry") << QByteArray("COM=2\nBaud=2\n") << "com2"
                                                       << "115200" << 2 << 2 << "Baud Rate: 38400";
        QTest::newRow("first run, untouched") << QByteArray("COM=0\nBaud=9\n") << "-"
                                              << "-" << 0 << 9 << "Baud Rate: 9600";
    }
    void okTakesWhatTheListsShow()
    {
        QFETCH(QByteArray, port);
        QFETCH(QString, portText);
        QFETCH(QString, speedText);
        QFETCH(int, portIndex);
        QFETCH(int, baudIndex);
        QFETCH(QString, speedPanel);
        writeSettings(port);
        {
            Station s;
            s.options.show();
            for (auto [list, text] : {std::pair{s.options.ComboBox1, portText},
                                      std::pair{s.options.ComboBox2, speedText}}) {
                if (text == QLatin1String("-"))
                    continue;
                list->SetItemIndex(-1);
                QTest::keyClicks(list->lineEdit(), text);
            }
            s.options.Button1Click();
            QCOMPARE(s.main.PortIndex, portIndex);
            QCOMPARE(s.main.BaudIndex, baudIndex);
            QCOMPARE(s.main.StatusPanel(2), speedPanel);
            s.main.FormClose();
        }
        QVERIFY(settings_.read().startsWith(
            QStringLiteral("[Port]\nCOM=%1\nBaud=%2\n").arg(portIndex).arg(baudIndex).toUtf8()));
    }

    void okWithANewChoiceMovesThePort()
    {
        Station s;
        s.options.show();
        s.options.ComboBox1->SetItemIndex(1);
        s.options.ComboBox2->SetItemIndex(4);
        s.options.Button1Click();
        QCOMPARE(s.main.PortIndex, 1);
        QCOMPARE(s.main.BaudIndex, 4);
        QCOMPARE(s.main.StatusPanel(1), QStringLiteral("Serial Port: COM2"));
        QCOMPARE(s.main.StatusPanel(2), QStringLiteral("Baud Rate: 115200"));
        QCOMPARE(s.main.SerialConnector->SendByte('m'), 1);
        QCOMPARE(com2_.read(1), QByteArray("m"));
        // Ok does not write the settings file; closing the main window does.
        QVERIFY(settings_.read().contains("COM=2"));
    }

    void cancelKeepsEverything()
    {
        Station s;
        s.main.RecCount = 7;
        s.options.show();
        s.options.ComboBox1->SetItemIndex(0);
        s.options.ComboBox2->SetItemIndex(0);
        s.options.DeviceListClick(0); // COM1: no entry
        QTest::mouseClick(s.options.Button2, Qt::LeftButton);
        QVERIFY(s.main.ChosenDevices.isEmpty());
        QVERIFY(!s.options.isVisible());
        QCOMPARE(s.main.PortIndex, 2);
        QCOMPARE(s.main.BaudIndex, 2);
        QCOMPARE(s.main.RecCount, 7.0f);
        QCOMPARE(s.main.StatusPanel(2), QStringLiteral("Baud Rate: 38400"));
        // The next showing selects the current values again.
        s.options.show();
        QCOMPARE(s.options.ComboBox1->ItemIndex(), 2);
        QCOMPARE(s.options.ComboBox2->ItemIndex(), 2);
        s.options.hide();
    }

    void modalShowingFromTheMenu()
    {
        Station s;
        QTimer::singleShot(0, &s.options, [&s] { s.options.Button2Click(); });
        s.main.Setup1Click();
        QVERIFY(!s.options.isVisible());
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
