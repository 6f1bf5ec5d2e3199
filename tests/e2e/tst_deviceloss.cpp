// Device loss under the main window: the far end of the pseudo-terminal behind COM1 vanishes,
// as an unplugged USB adapter does, while the window idles, writes a configuration or reads
// one back. The window must not hang, crash or spin; it tells the loss in the log and the
// status bar, and an operation under way fails the way it reports any failed write. Once the
// device is back, the window opens it again by itself, or Ok in the settings dialog does.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/Lamp.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyStation.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace PtyStationTools;
using Station = PtyStation;

namespace {

const QString kCommError = QStringLiteral("Comm. Error!");
const QString kGone = QStringLiteral("device disconnected"); // with the port in front

// When the device goes away.
enum class Unplug {
    AtIdle,       // before the operation, with the window idle long enough to notice
    AtRaise,      // inside the operation, at the n-th raise of the programming line
    AwaitingDump, // after "R", with part of the dump on its way
};

} // namespace

Q_DECLARE_METATYPE(Unplug)

class TestDeviceLoss : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;

private slots:
    void init() { prompts_.clear(); }

    void lossDuringAnOperation_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Unplug>("when");
        QTest::addColumn<int>("raise");
        QTest::addColumn<QByteArray>("sentBefore");
        QTest::addColumn<QStringList>("log");

        const QString e = kCommError;
        // The loss is told once the window's events run again: at once when idle, else after
        // the operation, while its configuration read waits for the reply.
        const QString g = kGone;
        QTest::newRow("idle, then Read Config")
            << "Read Config." << Unplug::AtIdle << 0 << QByteArray()
            << QStringList{g, e, QStringLiteral("Read Config"), e};
        QTest::newRow("Set Module, after the channel")
            << "Set Module" << Unplug::AtRaise << 2 << QByteArray("C\x02")
            << QStringList{QStringLiteral("Set Module."),
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
                           e, // "A" and its five address bytes
                           e,
                           QStringLiteral("Read Config"),
                           g,
                           e}; // the read-back's time-out
        QTest::newRow("Set Module, during the address")
            << "Set Module" << Unplug::AtRaise << 9
            << QByteArray("C\x02L\x00l\x00T\x00t\x00"
                          "D\x00P\x03W\x20",
                          16)
            << QStringList{QStringLiteral("Set Module."),
                           QStringLiteral("Set Channel."),
                           QStringLiteral("Set Data Length 1."),
                           QStringLiteral("Set Data Length 2."),
                           QStringLiteral("Set Data Length 1.TX"),
                           QStringLiteral("Set Data Length 2.TX"),
                           QStringLiteral("Set RF Data Rate."),
                           QStringLiteral("Set Power to 0 dBm"),
                           QStringLiteral("Set Address Width"),
                           e,
                           e,
                           QStringLiteral("Read Config"),
                           g,
                           e};
        QTest::newRow("Read Config, before R")
            << "Read Config." << Unplug::AtRaise << 1 << QByteArray()
            << QStringList{e, QStringLiteral("Read Config"), g, e};
        QTest::newRow("Read Config, with the dump half sent")
            << "Read Config." << Unplug::AwaitingDump << 0 << QByteArray("R")
            << QStringList{QStringLiteral("Read Config"), g, e};
    }
    void lossDuringAnOperation()
    {
        QFETCH(QString, button);
        QFETCH(Unplug, when);
        QFETCH(int, raise);
        QFETCH(QByteArray, sentBefore);
        QFETCH(QStringList, log);

        Station s(settings_);
        QVERIFY(s.device->ok());
        TMainForm &f = *s.main;
        QVERIFY(f.SerialConnector->Connected());
        for (QString &line : log)
            if (line == kGone)
                line = s.goneLine();
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        f.Address_W->SetValue(4);

        QByteArray sent;
        if (when == Unplug::AtIdle) {
            s.unplug();
            QTest::qWait(50); // the watcher sees the hang-up with nothing else going on
        } else if (when == Unplug::AtRaise) {
            // The RTS box follows every raise of the programming line, on this thread, just
            // before the letter goes out: the device goes exactly there.
            auto raises = std::make_shared<int>(0);
            connect(f.RTS, &QCheckBox::toggled, this,
                    [&s, &sent, raises, raise, &sentBefore](bool on) {
                        if (!on || ++*raises != raise)
                            return;
                        sent = s.device->read(int(sentBefore.size()));
                        s.unplug();
                    });
        }

        QPushButton *press = button == QLatin1String("Set Module") ? f.Button2 : f.Button5;
        QCOMPARE(press->text(), button);
        press->click();
        disconnect(f.RTS, nullptr, this, nullptr);

        if (when == Unplug::AwaitingDump) {
            sent = s.device->read(1);
            s.device->write(powerOnDump().left(7));
            QTest::qWait(20);
            s.unplug();
        }
        QCOMPARE(sent, sentBefore);

        // The read that every operation here ends with times out: nothing more comes.
        QTRY_VERIFY_WITH_TIMEOUT(!f.Timer2->isActive(), 2000);
        QCOMPARE(s.log(), log);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(prompts_.beeps, int(log.count(kCommError)));
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(!f.ConfigReadActive);
        QVERIFY(!f.RTS->isChecked());
        // The window goes on answering, without its device. The dead port is closed, so that
        // the device can come back under its name; every transfer is refused meanwhile.
        verifyIdleCostsNothing();
        QVERIFY(!f.SerialConnector->Connected());
        unsigned char byte = 'x';
        QCOMPARE(f.SerialConnector->SendByte(byte), -1);

        verifyPortComesBack(s);
    }

    // Received data when the device goes: what had arrived is shown, and nothing after.
    void lossAfterData()
    {
        Station s(settings_);
        TMainForm &f = *s.main;
        s.device->write("abc");
        QTRY_COMPARE(f.RecMemo->Lines().mid(1), QStringList{QStringLiteral("abc")});
        s.unplug();
        verifyIdleCostsNothing();
        QCOMPARE(f.RecCount, 1.0f);
        QCOMPARE(f.RecMemo->Lines().mid(1), QStringList{QStringLiteral("abc")});
        QVERIFY(!f.RX->isChecked());
        QCOMPARE(s.log(), QStringList{s.goneLine()});
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        verifyPortComesBack(s);
    }

    // The adapter comes back under its stable name (a link, as udev keeps them): the window
    // opens it by itself and runs the start-up's Reset and Read Config; the counters and the
    // settings stay. A continuous send under way when the device went keeps failing until
    // Stop: nothing is sent to the new device behind the operator's back. A module sent to
    // sleep before it went comes back powered on afresh: no wake-up goes to it as data.
    void comesBackByItself_data()
    {
        QTest::addColumn<bool>("sending");
        QTest::addColumn<bool>("asleep");
        QTest::newRow("idle") << false << false;
        QTest::newRow("during a continuous send") << true << false;
        QTest::newRow("asleep when it went") << false << true;
    }
    void comesBackByItself()
    {
        QFETCH(bool, sending);
        QFETCH(bool, asleep);
        Station s(settings_);
        const QString link = s.link();
        TMainForm &f = *s.main;
        QVERIFY(f.SerialConnector->Connected());
        f.RecCount = 3;
        f.ErrCount = 2;
        f.DataW1TX->SetValue(4);
        if (asleep) {
            f.Button7->click();
            QCOMPARE(s.device->read(1), QByteArray("S"));
            QVERIFY(f.SleepCheckBox->isChecked());
            f.Memo1->Clear();
        }

        if (sending) {
            // Back during the send, and left there past two checks for it before Stop.
            bool openAtStop = true;
            QTimer::singleShot(300, &f, [&s] { s.unplug(); });
            QTimer::singleShot(1000, &f, [&s] { s.plugIn(); });
            QTimer::singleShot(3200, &f, [&] {
                openAtStop = f.SerialConnector->Connected();
                f.Button9->click();
            });
            f.Button4->click();
            QVERIFY(!openAtStop);
            QVERIFY(s.log().count(kCommError) >= 2);
        } else {
            s.unplug();
            QTRY_COMPARE(s.log(), QStringList{s.goneLine()});
            QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
            // Past a check for the device's return: the wait costs nothing.
            verifyIdleCostsNothing(1100);
            QVERIFY(!f.SerialConnector->Connected());
            s.plugIn();
        }
        QTRY_VERIFY_WITH_TIMEOUT(f.SerialConnector->Connected(), 3000);
        QCOMPARE(s.device->read(2), QByteArray("XR"));
        QVERIFY(!f.SleepCheckBox->isChecked());
        s.device->write(powerOnDump());
        QTRY_COMPARE(s.log().last(), QStringLiteral("OK"));

        QStringList log = s.log();
        const QStringList startUp{QStringLiteral("COM1 (%1): reconnected").arg(link),
                                  QStringLiteral("Reset"), QStringLiteral("Read Config"),
                                  QStringLiteral("OK")};
        QCOMPARE(log.mid(log.size() - startUp.size()), startUp);
        log.resize(log.size() - startUp.size());
        QCOMPARE(log.count(s.goneLine()), 1);
        QCOMPARE(log.count(kCommError), log.size() - 1);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(f.Address_W->Value(), 5); // filled from the module's answer
        QCOMPARE(f.RecCount, 3.0f);
        QCOMPARE(f.ErrCount, 2.0f);
        QCOMPARE(f.PortIndex, 0);
        QCOMPARE(f.BaudIndex, 0);
        QCOMPARE(f.SerialConnector->SendByte('k'), 1);
        QCOMPARE(s.device->read(1), QByteArray("k"));
    }

    // Ending the program with the device gone: the settings are written and the port closes
    // without waiting on anything.
    void exitWithTheDeviceGone()
    {
        auto s = std::make_unique<Station>(settings_);
        s->unplug();
        QTest::qWait(20);
        s->main->show(); // the first show's Reset and Read Config fail on the way
        s->main->BaudIndex = 3;
        s->main->Button1->click();
        QVERIFY(!s->main->isVisible());
        s.reset();
        QCOMPARE(settings_.read().left(20), QByteArray("[Port]\nCOM=0\nBaud=3\n"));
    }

    // The device is still gone when Ok is pressed: the log says so, and the commands fail as
    // on any port that did not open.
    void okWhileTheDeviceIsGone()
    {
        Station s(settings_);
        TMainForm &f = *s.main;
        s.unplug(); // the pseudo-terminal and its stable name are gone
        s.options->FormShow();
        s.options->Button1Click();
        QVERIFY(!f.SerialConnector->Connected());
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(s.log().size(), 1);
        QVERIFY2(s.log().at(0) == QStringLiteral("COM1 (%1): no such device").arg(s.link()),
                 qPrintable(s.log().at(0)));
        f.Button8->click();
        QCOMPARE(s.log().mid(1), (QStringList{kCommError, QStringLiteral("Reset")}));
        QCOMPARE(prompts_.beeps, 1);
        verifyPortComesBack(s);
    }
};

QTEST_MAIN(TestDeviceLoss)
#include "tst_deviceloss.moc"
