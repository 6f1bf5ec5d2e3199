// "Set Module" against a simulated module, as the window does it: the Settings frame taken
// for the write, the read-back shown in the controls, and the refusals shown in their boxes.
// The bytes on the wire, their pacing and every refusal's wording are the module core's
// (tests/module/tst_radiomodule.cpp).

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
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

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

    // The frame goes out, and the module's answer comes back into it.
    void writeReadBack_data()
    {
        QTest::addColumn<Inputs>("in");
        // What the controls show after the module's answer.
        QTest::addColumn<int>("rateBack");
        QTest::addColumn<int>("powerBack");
        QTest::addColumn<QString>("addressBack");

        QTest::newRow("window defaults") << Inputs{} << 0 << 0 << "E7E7E7E7E7";
        QTest::newRow("longest payloads, 1Mbs, -20 dBm, width 5")
            << Inputs{127, 31, 1, 31, 0, 1, 3, 5, QStringLiteral("0102030405")} << 1 << 3
            << "0102030405";
        QTest::newRow("width 3, lower-case digits")
            << Inputs{0, 8, 0, 25, 2, 0, 1, 3, QStringLiteral("a1B2c3D4e5")} << 0 << 1
            << "A1B2C3D4E5";
        QTest::newRow("-10 dBm") << Inputs{5, 0, 0, 0, 0, 0, 2, 1, QStringLiteral("FFFFFFFFFF")}
                                 << 0 << 2 << "FFFFFFFFFF";
        // No selection sends the fast rate and the weakest power.
        QTest::newRow("no rate and no power selected")
            << Inputs{2, 0, 0, 0, 0, -1, -1, 4, QStringLiteral("E7E7E7E7E7")} << 1 << 3
            << "E7E7E7E7E7";
    }
    void writeReadBack()
    {
        QFETCH(Inputs, in);
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
        QCOMPARE(s.log().first(), QStringLiteral("Set Module."));
        QCOMPARE(s.log().size(), in.power < 0 ? 10 : 11);

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

    // What the module core refuses, in the box the window has always shown for it; nothing
    // is logged, the line stays low, nothing goes out, and the frame stays as it was (an
    // emptied box is not filled with its minimum, its change does not run the input rules).
    void refusalShownInItsBox_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("tx2");
        QTest::addColumn<bool>("applicationBox"); // the application's error box, or "Error"
        QTest::addColumn<QString>("text");
        QTest::newRow("address of 9 characters")
            << "E7E7E7E7E" << 0 << false << "Error. Address Length must be 10!";
        QTest::newRow("address not hexadecimal")
            << "G1E7E7E7E7" << 0 << true << "'0xG1' is not a valid integer value";
        QTest::newRow("payload too long")
            << "E7E7E7E7E7" << 33 << false << "Error. Data2 TX must be 31 bytes or less!";
    }
    void refusalShownInItsBox()
    {
        QFETCH(QString, address);
        QFETCH(int, tx2);
        QFETCH(bool, applicationBox);
        QFETCH(QString, text);
        SimStation s(settings_, uniqueModule("REFUSED"));
        TMainForm &f = s.f();
        f.EditAddress1->setText(address);
        f.DataW2TX->SetValue(tx2);
        f.Channel->SetText(QString());
        QSignalSpy changes(f.Channel, &TSpinEdit::Change);
        f.Button2->click();
        QCOMPARE(f.Channel->Text(), QString());
        QCOMPARE(changes.count(), 0);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages[0].owner, applicationBox ? &f : nullptr);
        QCOMPARE(prompts_.messages[0].caption,
                 applicationBox ? Prompts::applicationCaption() : QStringLiteral("Error"));
        QCOMPARE(prompts_.messages[0].text, text);
        QCOMPARE(s.log(), QStringList());
        QVERIFY(!f.RTS->isChecked());
        QVERIFY(!f.Timer2->isActive());
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
