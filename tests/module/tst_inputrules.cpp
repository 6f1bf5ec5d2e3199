// The rule among the configuration inputs (maximum data length, clamping of the receive
// lengths, the conversion error of an emptied width), and the programming line's box.

#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

class TestInputRules : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        settings_.remove();
        prompts_.clear();
    }

    void maximumDataLength_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("crc");
        QTest::addColumn<int>("max");
        for (int width = 1; width <= 5; ++width) {
            QTest::addRow("width %d, 8 Bits", width) << width << 0 << (width < 4 ? 63 : 62);
            QTest::addRow("width %d, 16 Bits", width) << width << 1 << (width < 4 ? 62 : 61);
        }
    }
    void maximumDataLength()
    {
        QFETCH(int, width);
        QFETCH(int, crc);
        QFETCH(int, max);
        TMainForm f;
        f.CRCRadioGroup->SetItemIndex(crc);
        f.Address_W->SetValue(width);
        QCOMPARE(f.MaxDataL->text(), QString::number(max));
        QCOMPARE(f.CrcBytes, crc == 0 ? 1 : 2);
        QCOMPARE(f.DataW1->MaxValue(), max);
        QCOMPARE(f.DataW2->MaxValue(), max);
        QCOMPARE(f.DataW1TX->MaxValue(), 64);
        QCOMPARE(f.DataW2TX->MaxValue(), 64);
        QCOMPARE(f.DataW1->MinValue(), 0);
        QVERIFY(prompts_.messages.isEmpty());
    }

    void startupReplacesTheDesignedText()
    {
        TMainForm f;
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("61"));
        QCOMPARE(f.DataW1->MaxValue(), 61);
    }

    void clampedAtOnce_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("dataW1");
        QTest::addColumn<QString>("dataW2");
        QTest::newRow("8 Bits back to 16 Bits") << "crc"
                                                << "61"
                                                << "61";
        QTest::newRow("width 3 to 4") << "width"
                                      << "61"
                                      << "61";
        QTest::newRow("width typed as 40") << "typed width"
                                           << "52"
                                           << "52";
        QTest::newRow("no CRC choice counts as 16 Bits") << "no crc"
                                                         << "61"
                                                         << "61";
    }
    void clampedAtOnce()
    {
        QFETCH(QString, change);
        QFETCH(QString, dataW1);
        QFETCH(QString, dataW2);
        TMainForm f;
        f.CRCRadioGroup->SetItemIndex(0);
        f.Address_W->SetValue(3);
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("63"));
        f.DataW1->SetValue(63);
        f.DataW2->SetValue(62);
        QSignalSpy changes(f.DataW1, &TSpinEdit::Change);
        if (change == QLatin1String("crc")) {
            f.Address_W->SetValue(4);
            f.CRCRadioGroup->Button(1)->click();
        } else if (change == QLatin1String("width")) {
            f.CRCRadioGroup->SetItemIndex(1);
            f.Address_W->SetValue(4);
        } else if (change == QLatin1String("typed width")) {
            f.CRCRadioGroup->SetItemIndex(1);
            QLineEdit *edit = f.Address_W->findChild<QLineEdit *>();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("40"));
        } else {
            f.Address_W->SetValue(4);
            f.CRCRadioGroup->SetItemIndex(-1);
        }
        QCOMPARE(f.DataW1->Text(), dataW1);
        QCOMPARE(f.DataW2->Text(), dataW2);
        QVERIFY(!changes.isEmpty());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void receiveLengthTypedAboveTheMaximum()
    {
        TMainForm f;
        QLineEdit *edit = f.DataW1->findChild<QLineEdit *>();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("64"));
        QCOMPARE(f.DataW1->Text(), QStringLiteral("61"));
    }

    void transmitLengthsKeepTheirRange()
    {
        TMainForm f;
        f.MaxDataL->setText(QStringLiteral("stale"));
        f.DataW1TX->SetValue(64);
        QCOMPARE(f.DataW1TX->Text(), QStringLiteral("64"));
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("61")); // recomputed, unchanged
        f.MaxDataL->setText(QStringLiteral("stale"));
        f.DataW2TX->SetValue(64);
        QCOMPARE(f.DataW2TX->Text(), QStringLiteral("64"));
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("61"));
    }

    void waitTimeRerunsTheRule()
    {
        TMainForm f;
        f.MaxDataL->setText(QStringLiteral("stale"));
        f.WaitTime->stepBy(1);
        QCOMPARE(f.WaitTime->Text(), QStringLiteral("110"));
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("61"));
    }

    // The rule reads the values of the receive lengths, so an emptied one shows 0 at once;
    // the transmit lengths are not read and stay empty while the operator types.
    void emptiedLengthBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Data1 RX") << "DataW1"
                                  << "0";
        QTest::newRow("Data2 RX") << "DataW2"
                                  << "0";
        QTest::newRow("Data1 TX") << "DataW1TX"
                                  << "";
        QTest::newRow("Data2 TX") << "DataW2TX"
                                  << "";
    }
    void emptiedLengthBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, shown);
        TMainForm f;
        auto *spin = f.findChild<TSpinEdit *>(box);
        QVERIFY(spin);
        spin->SetValue(12);
        spin->findChild<QLineEdit *>()->clear();
        QCOMPARE(spin->Text(), shown);
        QVERIFY(prompts_.messages.isEmpty());
    }

    void emptiedWidthShowsTheConversionError_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("emptied") << "";
        QTest::newRow("letter") << "x";
    }
    void emptiedWidthShowsTheConversionError()
    {
        QFETCH(QString, text);
        TMainForm f;
        f.Address_W->SetValue(3);
        f.DataW1->SetValue(62);
        prompts_.clear();
        f.Address_W->SetText(text);
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.at(0).text,
                 QStringLiteral("'%1' is not a valid integer value").arg(text));
        QCOMPARE(prompts_.messages.at(0).caption, QStringLiteral("Quorvane"));
        QCOMPARE(prompts_.messages.at(0).owner, &f);
        // The previous maximum and bounds stay.
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("62"));
        QCOMPARE(f.DataW1->MaxValue(), 62);
        QCOMPARE(f.DataW1->Text(), QStringLiteral("62"));
        // Typing goes on: the next digit applies the rule again.
        f.Address_W->SetText(QStringLiteral("5"));
        QCOMPARE(f.MaxDataL->text(), QStringLiteral("61"));
        QCOMPARE(f.DataW1->Text(), QStringLiteral("61"));
        QCOMPARE(prompts_.messages.size(), 1);
    }

    void addressFieldsTakeAnyText()
    {
        TMainForm f;
        QLineEdit *a1 = f.EditAddress1;
        QTest::keyClicks(a1, QStringLiteral("0AB10012FFZ!"));
        QCOMPARE(a1->text(), QStringLiteral("0AB10012FFZ!"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    // The box shows the line as last set, also when the port refuses the change (a closed
    // port, or a pseudo-terminal without modem lines).
    void programmingLineBox()
    {
        PtyPair pty;
        QVERIFY(settings_.write("[Devices]\nCOM1=" + pty.path().toUtf8() + "\n"));
        TMainForm f;
        QVERIFY(f.SerialConnector->Connected());
        f.ProgramModeOn();
        QVERIFY(f.RTS->isChecked());
        f.ProgramModeOff();
        QVERIFY(!f.RTS->isChecked());
        f.SerialConnector->SetComStatus(false);
        f.ProgramModeOn();
        QVERIFY(f.RTS->isChecked());
        f.ProgramModeOff();
        QVERIFY(!f.RTS->isChecked());
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestInputRules)
#include "tst_inputrules.moc"
