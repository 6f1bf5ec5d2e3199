// "Set Module" against a simulated module: the bytes on the wire with the programming line
// of each and the pacing between them, the log, the read-back, and the inputs it refuses
// before anything goes out.

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/SimStation.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <initializer_list>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(char(v));
    return out;
}

// The settings a test writes into the window before pressing Set Module.
struct Inputs {
    int channel = 2;
    int w1 = 0, w2 = 0, tx1 = 0, tx2 = 0;
    int rate = 0;  // RFDataRate index, -1 none
    int power = 0; // PowerCombo index, -1 none
    int width = 4;
    QString address = QStringLiteral("E7E7E7E7E7");

    void applyTo(TMainForm &f) const
    {
        f.Channel->SetValue(channel);
        f.DataW1->SetValue(w1);
        f.DataW2->SetValue(w2);
        f.DataW1TX->SetValue(tx1);
        f.DataW2TX->SetValue(tx2);
        f.RFDataRate->SetItemIndex(rate);
        f.PowerCombo->SetItemIndex(power);
        f.Address_W->SetValue(width);
        f.EditAddress1->setText(address);
    }
};

QString uniqueModule(const char *prefix)
{
    static int n = 0;
    return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(++n);
}

} // namespace

Q_DECLARE_METATYPE(Inputs)

class TestConfigWrite : public QObject {
    Q_OBJECT

private slots:
    void init() { prompts_.clear(); }

    // The whole exchange of one press, the module's answer included.
    void writeReadBack_data()
    {
        QTest::addColumn<Inputs>("in");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("powerLog");
        // What the controls show after the module's answer.
        QTest::addColumn<int>("rateBack");
        QTest::addColumn<int>("powerBack");
        QTest::addColumn<QString>("addressBack");

        QTest::newRow("window defaults")
            << Inputs{} << bytes({'C', 2, 'L', 0,    'l', 0,    'T',  0,    't',  0,    'D', 0,
                                  'P', 3, 'W', 0x20, 'A', 0xE7, 0xE7, 0xE7, 0xE7, 0xE7, 'R'})
            << "Set Power to 0 dBm" << 0 << 0 << "E7E7E7E7E7";
        QTest::newRow("longest payloads, 1Mbs, -20 dBm, width 5")
            << Inputs{127, 31, 1, 31, 0, 1, 3, 5, QStringLiteral("0102030405")}
            << bytes({'C', 127, 'L', 0xF8, 'l', 0x08, 'T', 0xF8, 't', 0, 'D', 0xFF,
                      'P', 0,   'W', 0x28, 'A', 1,    2,   3,    4,   5, 'R'})
            << "Set Power to -20 dBm" << 1 << 3 << "0102030405";
        QTest::newRow("width 3 still sends five address bytes, lower-case digits")
            << Inputs{0, 8, 0, 25, 2, 0, 1, 3, QStringLiteral("a1B2c3D4e5")}
            << bytes({'C', 0, 'L', 0x40, 'l', 0,    'T',  0xC8, 't',  0x10, 'D', 0,
                      'P', 2, 'W', 0x18, 'A', 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 'R'})
            << "Set Power to -5 dBm" << 0 << 1 << "A1B2C3D4E5";
        QTest::newRow("-10 dBm") << Inputs{5, 0, 0, 0, 0, 0, 2, 1, QStringLiteral("FFFFFFFFFF")}
                                 << bytes({'C', 5,    'L',  0,    'l',  0,    'T', 0,
                                           't', 0,    'D',  0,    'P',  1,    'W', 0x08,
                                           'A', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'R'})
                                 << "Set Power to -10 dBm" << 0 << 2 << "FFFFFFFFFF";
        // No selection sends the fast rate and the weakest power, and logs no power line.
        QTest::newRow("no rate and no power selected")
            << Inputs{2, 0, 0, 0, 0, -1, -1, 4, QStringLiteral("E7E7E7E7E7")}
            << bytes({'C', 2, 'L', 0,    'l', 0,    'T',  0,    't',  0,    'D', 0xFF,
                      'P', 0, 'W', 0x20, 'A', 0xE7, 0xE7, 0xE7, 0xE7, 0xE7, 'R'})
            << QString() << 1 << 3 << "E7E7E7E7E7";
    }
    void writeReadBack()
    {
        QFETCH(Inputs, in);
        QFETCH(QByteArray, wire);
        QFETCH(QString, powerLog);
        QFETCH(int, rateBack);
        QFETCH(int, powerBack);
        QFETCH(QString, addressBack);
        SimStation s(settings_, uniqueModule("SET"));
        TMainForm &f = s.f();
        in.applyTo(f);
        f.Timer1->start(1000);

        f.Button2->click();
        QVERIFY(!f.Timer1->isActive());
        QVERIFY(!f.RTS->isChecked());
        QTRY_VERIFY(s.log().contains(QStringLiteral("OK")));

        // Every byte under the raised line, in this order.
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(s.sentBytes(), wire);
        for (const SimTraceEntry &e : sent)
            QVERIFY2(e.rts, qPrintable(QStringLiteral("byte 0x%1").arg(e.byte, 0, 16)));
        // The pacing: a parameter follows its letter (or the previous address byte) after at
        // least one CommandDelay; a new letter follows the previous command after its wait
        // and the wait after lowering the line; "R" after the address exchange's two waits,
        // the wait before the read-back and the read's own first wait.
        const qint64 d = qint64(f.CommandDelay) * 1000000;
        for (size_t i = 1; i < sent.size(); ++i) {
            const bool letter = (i < 16 && i % 2 == 0) || i == 16;
            const qint64 least = i == 22 ? 4 * d : letter ? 2 * d : d;
            const qint64 gap = sent[i].time - sent[i - 1].time;
            QVERIFY2(
                gap >= least,
                qPrintable(QStringLiteral("byte %1: %2 ns after the previous").arg(i).arg(gap)));
        }

        QStringList log{
            QStringLiteral("Set Module."),          QStringLiteral("Set Channel."),
            QStringLiteral("Set Data Length 1."),   QStringLiteral("Set Data Length 2."),
            QStringLiteral("Set Data Length 1.TX"), QStringLiteral("Set Data Length 2.TX"),
            QStringLiteral("Set RF Data Rate.")};
        if (!powerLog.isEmpty())
            log << powerLog;
        log << QStringLiteral("Set Address Width") << QStringLiteral("Read Config")
            << QStringLiteral("OK");
        QCOMPARE(s.log(), log);

        // The module took everything, and the controls show what it holds.
        QCOMPARE(f.Channel->Value(), in.channel);
        QCOMPARE(f.DataW1->Value(), in.w1);
        QCOMPARE(f.DataW2->Value(), in.w2);
        QCOMPARE(f.DataW1TX->Value(), in.tx1);
        QCOMPARE(f.DataW2TX->Value(), in.tx2);
        QCOMPARE(f.Address_W->Text(), QString::number(in.width));
        QCOMPARE(f.EditAddress1->text(), addressBack);
        QCOMPARE(f.RFDataRate->ItemIndex(), rateBack);
        QCOMPARE(f.PowerCombo->ItemIndex(), powerBack);
        QVERIFY(!f.ConfigReadActive);
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(prompts_.beeps, 0);
    }

    // A sleeping module is woken before anything else, also when the address is refused.
    void sleepingModuleIsWokenFirst_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("written");
        QTest::newRow("valid address") << "E7E7E7E7E7" << true;
        QTest::newRow("address of 9 characters") << "E7E7E7E7E" << false;
    }
    void sleepingModuleIsWokenFirst()
    {
        QFETCH(QString, address);
        QFETCH(bool, written);
        SimStation s(settings_, uniqueModule("WAKE"));
        TMainForm &f = s.f();
        f.Button7->click();
        QTRY_VERIFY(s.module->asleep());
        f.EditAddress1->setText(address);
        f.Button2->click();
        QVERIFY(!f.SleepCheckBox->isChecked());
        QVERIFY(!f.ModuleAsleep);
        QCOMPARE(s.log().mid(0, 2),
                 (QStringList{QStringLiteral("Sleep."), QStringLiteral("Wake Up.")}));
        QTRY_VERIFY(s.sentBytes().size() >= 2);
        const std::vector<SimTraceEntry> sent = s.sent();
        QCOMPARE(sent[1].byte, uint8_t('x'));
        QVERIFY(!sent[1].rts);
        if (written) {
            QCOMPARE(s.log().value(2), QStringLiteral("Set Module."));
            QCOMPARE(sent[2].byte, uint8_t('C'));
            // Awake again, the module answers the read-back.
            QTRY_VERIFY(s.log().contains(QStringLiteral("OK")));
            QVERIFY(prompts_.messages.isEmpty());
        } else {
            QCOMPARE(s.log().size(), 2);
            QCOMPARE(prompts_.texts(),
                     QStringList{QStringLiteral("Error. Address Length must be 10!")});
            QCOMPARE(s.sentBytes(), QByteArray("Sx"));
        }
    }

    void addressOfWrongLength_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("9 characters") << "E7E7E7E7E";
        QTest::newRow("11 characters") << "E7E7E7E7E7E";
        QTest::newRow("empty") << "";
    }
    void addressOfWrongLength()
    {
        QFETCH(QString, address);
        SimStation s(settings_, uniqueModule("LEN"));
        TMainForm &f = s.f();
        f.EditAddress1->setText(address);
        f.Button2->click();
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0].owner, nullptr);
        QCOMPARE(prompts_.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(prompts_.messages[0].text, QStringLiteral("Error. Address Length must be 10!"));
        QCOMPARE(s.log(), QStringList());
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
        QVERIFY(!f.Timer2->isActive());
    }

    // Refused before the first command, with the conversion error of the first bad pair: no
    // half configuration, no line left raised.
    void addressNotHexadecimal_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("error");
        QTest::newRow("letter in the first pair") << "G1E7E7E7E7"
                                                  << "'0xG1' is not a valid integer value";
        QTest::newRow("blank in the last pair") << "E7E7E7E7 1"
                                                << "'0x 1' is not a valid integer value";
        QTest::newRow("sign in a pair") << "E7+1E7E7E7"
                                        << "'0x+1' is not a valid integer value";
        QTest::newRow("first of two bad pairs") << "E7ZZE7QQE7"
                                                << "'0xZZ' is not a valid integer value";
    }
    void addressNotHexadecimal()
    {
        QFETCH(QString, address);
        QFETCH(QString, error);
        SimStation s(settings_, uniqueModule("HEX"));
        TMainForm &f = s.f();
        f.Channel->SetValue(99);
        f.EditAddress1->setText(address);
        f.Button2->click();
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0].owner, &f);
        QCOMPARE(prompts_.messages[0].caption, Prompts::applicationCaption());
        QCOMPARE(prompts_.messages[0].text, error);
        QCOMPARE(s.log(), QStringList());
        QVERIFY(!f.RTS->isChecked());
        QVERIFY(!f.ConfigReadActive);
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
        QCOMPARE(s.module->config().channel, uint8_t(2));
    }

    // A length of 32 bytes or more does not fit the parameter byte as bits.
    void payloadTooLong_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("Data1 RX 32")
            << "DataW1" << 32 << "Error. Data1 RX must be 31 bytes or less!";
        QTest::newRow("Data2 RX 61")
            << "DataW2" << 61 << "Error. Data2 RX must be 31 bytes or less!";
        QTest::newRow("Data1 TX 64")
            << "DataW1TX" << 64 << "Error. Data1 TX must be 31 bytes or less!";
        QTest::newRow("Data2 TX 33")
            << "DataW2TX" << 33 << "Error. Data2 TX must be 31 bytes or less!";
    }
    void payloadTooLong()
    {
        QFETCH(QString, box);
        QFETCH(int, value);
        QFETCH(QString, error);
        SimStation s(settings_, uniqueModule("LONG"));
        TMainForm &f = s.f();
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        auto *spin = f.findChild<TSpinEdit *>(box);
        QVERIFY(spin);
        spin->SetValue(value);
        QCOMPARE(spin->Value(), value);
        f.Button2->click();
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0].owner, nullptr);
        QCOMPARE(prompts_.messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(prompts_.messages[0].text, error);
        QCOMPARE(s.log(), QStringList());
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
    }

    // A read still waiting for its answer is not started again by the write.
    void readStillUnderWayGivesNoReadBack()
    {
        SimStation s(settings_, uniqueModule("BUSY"));
        TMainForm &f = s.f();
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        f.ConfigReadActive = true;
        f.Button2->click();
        QCOMPARE(s.log().last(), QStringLiteral("Set Address Width"));
        QVERIFY(!f.Timer2->isActive());
        QTRY_COMPARE(s.sentBytes().size(), 22);
        QVERIFY(!s.sentBytes().endsWith('R'));
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestConfigWrite)
#include "tst_configwrite.moc"
