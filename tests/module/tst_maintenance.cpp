// The maintenance commands against a simulated module (Read Config, Sleep, Reset, Set Speed,
// the first show), the reply time-out against a port nobody answers, and every command on a
// closed port.

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"
#include "support/SimStation.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QString uniqueModule(const char *prefix)
{
    static int n = 0;
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(++n);
}

const QString kCommError = QStringLiteral("Comm. Error!");

} // namespace

class TestMaintenance : public QObject {
    Q_OBJECT

private slots:
    void init() { prompts_.clear(); }

    void readConfigAnswered()
    {
        SimStation s(settings_, uniqueModule("READ"));
        TMainForm &f = s.f();
        f.Timer1->start(1000);
        f.Button5->click();
        QVERIFY(!f.Timer1->isActive());
        QVERIFY(f.ConfigReadActive);
        QVERIFY(f.ConfigReplyPending);
        QVERIFY(f.Timer2->isActive());
        QCOMPARE(f.Timer2->interval(), 500);
        QTRY_COMPARE(s.log(), (QStringList{QStringLiteral("Read Config"), QStringLiteral("OK")}));
        QCOMPARE(s.sentBytes(), QByteArray("R"));
        QVERIFY(s.sent()[0].rts);
        // The module's power-on configuration.
        QCOMPARE(f.Channel->Value(), 2);
        QCOMPARE(f.RFDataRate->ItemIndex(), 1);
        QCOMPARE(f.Address_W->Text(), QStringLiteral("5"));
        QCOMPARE(f.EditAddress1->text(), QStringLiteral("E7E7E7E7E7"));
        QCOMPARE(f.EditAddress2->text(), QStringLiteral("C2C2C2C2C2"));
        QCOMPARE(f.DataW1->Value(), 25);
        QCOMPARE(f.DataW1TX->Value(), 25);
        // The time-out still runs out, and has nothing to report.
        QTRY_VERIFY(!f.Timer2->isActive());
        QCOMPARE(s.log().size(), 2);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(prompts_.beeps, 0);
    }

    // A port whose far end never answers: the time-out (the module core's, run by the
    // window's Timer2) turns the status and beeps.
    void unansweredReadTimesOut()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(settings_.write("[Port]\nCOM=0\nBaud=0\n[Devices]\nCOM1=" + pty.path().toUtf8() +
                                "\n"));
        TMainForm f;
        f.Button5->click();
        QCOMPARE(pty.read(1), QByteArray("R"));
        QTRY_VERIFY(f.Memo1->Lines().contains(kCommError));
        QCOMPARE(f.Memo1->Lines().mid(1), (QStringList{QStringLiteral("Read Config"), kCommError}));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(prompts_.beeps, 1);
        QVERIFY(!f.ConfigReadActive);
        QVERIFY(!f.ConfigReplyPending);
        QVERIFY(!f.Timer2->isActive());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void sleepTwice()
    {
        SimStation s(settings_, uniqueModule("SLEEP"));
        TMainForm &f = s.f();
        f.Button7->click();
        QCOMPARE(s.log(), QStringList{QStringLiteral("Sleep.")});
        QVERIFY(f.ModuleAsleep);
        QVERIFY(f.SleepCheckBox->isChecked());
        QVERIFY(!f.RTS->isChecked());
        QTRY_VERIFY(s.module->asleep());

        f.Button7->click();
        QCOMPARE(s.log(), (QStringList{QStringLiteral("Sleep."), QStringLiteral("Wake Up.")}));
        QVERIFY(!f.ModuleAsleep);
        QVERIFY(!f.SleepCheckBox->isChecked());
        QTRY_VERIFY(!s.module->asleep());
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), QByteArray("Sx"));
        QVERIFY(sent[0].rts);
        QVERIFY(!sent[1].rts); // the wake-up character never raises the line
    }

    // Reset leaves the sleep flag alone; the next read wakes the module first and is answered.
    void resetWhileAsleep()
    {
        SimStation s(settings_, uniqueModule("RESET"));
        TMainForm &f = s.f();
        f.Button7->click();
        f.Timer1->start(1000);
        f.Button8->click();
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(s.log(), (QStringList{QStringLiteral("Sleep."), QStringLiteral("Reset")}));
        QVERIFY(f.SleepCheckBox->isChecked());
        QVERIFY(f.ModuleAsleep);
        QVERIFY(!f.RTS->isChecked());

        f.Button5->click();
        QTRY_COMPARE(s.log(), (QStringList{QStringLiteral("Sleep."), QStringLiteral("Reset"),
                                           QStringLiteral("Wake Up."),
                                           QStringLiteral("Read Config"), QStringLiteral("OK")}));
        QVERIFY(!f.SleepCheckBox->isChecked());
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), QByteArray("SXxR"));
        QVERIFY(sent[1].rts);
        QVERIFY(!sent[2].rts);
        QVERIFY(sent[3].rts);
        // "x" is followed by its 10 ms, then the line is raised and "R" waits CommandDelay.
        QVERIFY(sent[3].time - sent[2].time >= qint64(10 + f.CommandDelay) * 1000000);
    }

    void setSpeed_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("code"); // the speed code the module's dump then carries
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("portSpeed");
        QTest::newRow("9600") << 0 << "Set BaudRate to 9.600" << 1 << 9600 << int(br9600);
        QTest::newRow("19200") << 1 << "Set BaudRate to 19.200" << 2 << 19200 << int(br19200);
        QTest::newRow("38400") << 2 << "Set BaudRate to 33.600" << 4 << 38400 << int(br38400);
        QTest::newRow("57600") << 3 << "Set BaudRate to 57.600" << 8 << 57600 << int(br57600);
        QTest::newRow("115000") << 4 << "Set BaudRate to 115.000" << 16 << 115200 << int(br115200);
    }
    void setSpeed()
    {
        QFETCH(int, index);
        QFETCH(QString, log);
        QFETCH(int, code);
        QFETCH(int, speed);
        QFETCH(int, portSpeed);
        SimStation s(settings_, uniqueModule("SPEED"));
        TMainForm &f = s.f();
        f.Speed->SetItemIndex(index);
        f.Set->click();
        QCOMPARE(s.log(), QStringList{log});
        QCOMPARE(f.BaudIndex, index);
        QVERIFY(f.SerialConnector->Connected());
        QCOMPARE(int(f.SerialConnector->GetBaudRate()), portSpeed);
        QCOMPARE(f.StatusPanel(2), QStringLiteral("Baud Rate: %1").arg(speed));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(f.Speed->ItemIndex(), index);
        QVERIFY(!f.RTS->isChecked());
        // The module took the command (the module core's test has its bytes) and answers at
        // the port's new speed.
        f.Button5->click();
        QTRY_COMPARE(s.log(),
                     (QStringList{log, QStringLiteral("Read Config"), QStringLiteral("OK")}));
        QCOMPARE(uint8_t(s.receivedBytes().at(1)), uint8_t(code));
        QCOMPARE(prompts_.beeps, 0);
    }

    // A typed speed selects no entry: nothing to ask the module for.
    void setSpeedWithoutEntry()
    {
        SimStation s(settings_, uniqueModule("NOSPEED"));
        TMainForm &f = s.f();
        f.Speed->SetItemIndex(-1);
        f.Speed->setEditText(QStringLiteral("12345"));
        f.Set->click();
        QCOMPARE(s.log(), QStringList());
        QCOMPARE(f.BaudIndex, 0);
        QCOMPARE(int(f.SerialConnector->GetBaudRate()), int(br9600));
        QVERIFY(f.SerialConnector->Connected());
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
    }

    // Each letter fails on its own, the RTS box still follows the line, and the operation
    // runs to its end.
    void everyCommandWithPortClosed_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("raises");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("status");
        const QString e = kCommError;
        QTest::newRow("Read Config.")
            << "Button5" << 1 << QStringList{e, QStringLiteral("Read Config"), e}
            << "Status: Not Detected";
        QTest::newRow("Sleep") << "Button7" << 1 << QStringList{QStringLiteral("Sleep."), e}
                               << "Status: Not Detected";
        QTest::newRow("Reset") << "Button8" << 1 << QStringList{e, QStringLiteral("Reset")}
                               << "Status: Not Detected";
        // The port set-up opens the port again, at the new speed.
        QTest::newRow("Set Speed")
            << "Set" << 1 << QStringList{QStringLiteral("Set BaudRate to 33.600"), e}
            << "Status: Present";
        QTest::newRow("Set Module") << "Button2" << 10
                                    << QStringList{QStringLiteral("Set Module."),
                                                   e,
                                                   QStringLiteral("Set Channel."),
                                                   e,
                                                   QStringLiteral("Set Data Length 1."),
                                                   e,
                                                   QStringLiteral("Set Data Length 2."),
                                                   e,
                                                   QStringLiteral("Set Data Length 1.TX"),
                                                   e,
                                                   QStringLiteral("Set Data Length 2.TX"),
                                                   e,
                                                   QStringLiteral("Set RF Data Rate."),
                                                   QStringLiteral("Set Power to 0 dBm"),
                                                   e,
                                                   e,
                                                   QStringLiteral("Set Address Width"),
                                                   e,
                                                   e,
                                                   QStringLiteral("Read Config"),
                                                   e}
                                    << "Status: Not Detected";
    }
    void everyCommandWithPortClosed()
    {
        QFETCH(QString, button);
        QFETCH(int, raises);
        QFETCH(QStringList, log);
        QFETCH(QString, status);
        SimStation s(settings_, uniqueModule("CLOSED"));
        TMainForm &f = s.f();
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        f.Speed->SetItemIndex(2);
        f.SerialConnector->SetComStatus(false);
        int raised = 0, lowered = 0;
        connect(f.RTS, &QCheckBox::toggled, this, [&](bool on) { ++(on ? raised : lowered); });

        f.findChild<QPushButton *>(button)->click();
        QTRY_COMPARE(s.log(), log);
        QCOMPARE(raised, raises);
        QCOMPARE(lowered, raises);
        QCOMPARE(f.StatusPanel(0), status);
        QCOMPARE(prompts_.beeps, int(log.count(kCommError)));
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(s.sentBytes(), QByteArray());
    }

    // The first show resets the module and reads its configuration; later shows do nothing.
    void firstShow()
    {
        SimStation s(settings_, uniqueModule("SHOW"));
        TMainForm &f = s.f();
        f.show();
        QTRY_COMPARE(s.log(), (QStringList{QStringLiteral("Reset"), QStringLiteral("Read Config"),
                                           QStringLiteral("OK")}));
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), QByteArray("XR"));
        QVERIFY(sent[0].rts && sent[1].rts);
        // "X", 2 ms, the line down and up again, CommandDelay, "R".
        QVERIFY(sent[1].time - sent[0].time >= qint64(2 + f.CommandDelay) * 1000000);
        QCOMPARE(f.DataW1->Value(), 25);
        f.hide();
        f.show();
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray("XR"));
        QCOMPARE(s.log().size(), 3);
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
