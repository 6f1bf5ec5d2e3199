// Module profiles: the keys and the operator's words they take, a bad value refusing the whole
// profile with a message naming it, and Save Profile / Load Profile in the window.

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "settings/ModuleProfile.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/SimStation.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

QMap<QString, QString> goodKeys()
{
    ModuleConfig c;
    c.address1 = QStringLiteral("E7E7E7E7E7");
    c.address2 = QStringLiteral("C2C2C2C2C2");
    QMap<QString, QString> keys;
    for (const ModuleProfile::Field &f : ModuleProfile::Fields(c))
        keys.insert(f.key, f.value);
    return keys;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private slots:
    void init() { prompts_.clear(); }

    // One bad or missing key refuses the whole profile, and the message says which, with
    // what it holds and what it may hold.
    void badKeyRefusesTheProfile_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: the key is missing
        QTest::addColumn<QString>("allowed");
        QTest::newRow("Channel") << "Channel"
                                 << "128"
                                 << "0 to 127";
        QTest::newRow("Power") << "Power"
                               << "3 dBm"
                               << "0 dBm, -5 dBm, -10 dBm or -20 dBm";
        QTest::newRow("DataRate") << "DataRate"
                                  << "2 Mbps"
                                  << "250 kbps or 1 Mbps";
        QTest::newRow("AddressWidth") << "AddressWidth"
                                      << "0"
                                      << "1 to 5";
        QTest::newRow("Address1") << "Address1"
                                  << "E7E7E7E7E"
                                  << "ten hexadecimal digits";
        QTest::newRow("Address2") << "Address2"
                                  << "G2C2C2C2C2"
                                  << "ten hexadecimal digits";
        QTest::newRow("Data1RX") << "Data1RX"
                                 << "32"
                                 << "0 to 31";
        QTest::newRow("Data2RX") << "Data2RX"
                                 << "-1"
                                 << "0 to 31";
        QTest::newRow("Data1TX") << "Data1TX"
                                 << "0x10"
                                 << "0 to 31";
        QTest::newRow("Data2TX") << "Data2TX"
                                 << ""
                                 << "0 to 31";
        QTest::newRow("CRC") << "CRC"
                             << "12 bits"
                             << "8 bits or 16 bits";
        QTest::newRow("ShockBurst") << "ShockBurst"
                                    << "maybe"
                                    << "On or Off";
        QTest::newRow("DualChannel") << "DualChannel"
                                     << "1"
                                     << "On or Off";
        QTest::newRow("missing key") << "Address1" << QString() << "ten hexadecimal digits";
    }
    void badKeyRefusesTheProfile()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, allowed);
        QMap<QString, QString> keys = goodKeys();
        QVERIFY(ModuleProfile::FromSection(keys).ok);
        if (value.isNull())
            keys.remove(key);
        else
            keys[key] = value;
        const ModuleProfile::Loaded loaded = ModuleProfile::FromSection(keys);
        QVERIFY(!loaded.ok);
        const QString what = value.isNull() ? QStringLiteral("missing")
                                            : QStringLiteral("\"%1\" is not allowed").arg(value);
        QCOMPARE(loaded.error, QStringLiteral("%1: %2; allowed: %3").arg(key, what, allowed));
    }

    // Names and words in any case and spacing, the window's captions among them; keys the
    // profile does not know are named and ignored.
    void operatorsWords()
    {
        QMap<QString, QString> keys = goodKeys();
        keys.remove(QStringLiteral("Power"));
        keys.remove(QStringLiteral("DataRate"));
        keys.insert(QStringLiteral("POWER"), QStringLiteral("-20dBm"));
        keys.insert(QStringLiteral("datarate"), QStringLiteral("250Kbs"));
        keys[QStringLiteral("Address1")] = QStringLiteral("a1b2c3d4e5");
        keys[QStringLiteral("CRC")] = QStringLiteral("8 Bits");
        keys[QStringLiteral("ShockBurst")] = QStringLiteral("off");
        keys.insert(QStringLiteral("Colour"), QStringLiteral("red"));
        const ModuleProfile::Loaded loaded = ModuleProfile::FromSection(keys);
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        QCOMPARE(loaded.config.powerIndex, 3);
        QCOMPARE(loaded.config.rateIndex, 0);
        QCOMPARE(loaded.config.address1, QStringLiteral("A1B2C3D4E5"));
        QCOMPARE(loaded.config.crcIndex, 0);
        QVERIFY(!loaded.config.shockBurst);
        QCOMPARE(loaded.unknownKeys, QStringList{QStringLiteral("Colour")});
    }

    // Saved from one window and loaded into another, the frame comes back as it was; the
    // input rules run on the loaded values, and nothing goes to the module.
    void roundTripThroughTheWindow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line-3"));
        {
            TMainForm f;
            f.Channel->SetValue(77);
            f.PowerCombo->SetItemIndex(2);
            f.RFDataRate->SetItemIndex(1);
            f.Address_W->SetValue(3);
            f.EditAddress1->setText(QStringLiteral("a1b2c3d4e5"));
            f.EditAddress2->setText(QStringLiteral("0102030405"));
            f.DataW1->SetValue(5);
            f.DataW2->SetValue(6);
            f.DataW1TX->SetValue(7);
            f.DataW2TX->SetValue(8);
            f.CRCRadioGroup->SetItemIndex(0);
            f.ShockBurstBox->setChecked(false);
            f.DualChannelBox->setChecked(true);
            prompts_.fileAnswers << path;
            f.SaveProfile1->trigger();
            QCOMPARE(f.Memo1->Lines().last(), QStringLiteral("Profile saved: line-3.ini"));
        }
        QVERIFY(QFile::exists(path + QStringLiteral(".ini")));

        SimStation s(settings_, QStringLiteral("PROFILE"));
        TMainForm &g = s.f();
        prompts_.fileAnswers << path + QStringLiteral(".ini");
        g.LoadProfile1->trigger();
        QCOMPARE(s.log(), QStringList{QStringLiteral("Profile loaded: line-3.ini")});
        QCOMPARE(g.Channel->Value(), 77);
        QCOMPARE(g.PowerCombo->ItemIndex(), 2);
        QCOMPARE(g.RFDataRate->ItemIndex(), 1);
        QCOMPARE(g.Address_W->Text(), QStringLiteral("3"));
        QCOMPARE(g.EditAddress1->text(), QStringLiteral("A1B2C3D4E5"));
        QCOMPARE(g.EditAddress2->text(), QStringLiteral("0102030405"));
        QCOMPARE(QList<int>({g.DataW1->Value(), g.DataW2->Value(), g.DataW1TX->Value(),
                             g.DataW2TX->Value()}),
                 QList<int>({5, 6, 7, 8}));
        QCOMPARE(g.CRCRadioGroup->ItemIndex(), 0);
        QVERIFY(!g.ShockBurstBox->isChecked());
        QVERIFY(g.DualChannelBox->isChecked());
        QCOMPARE(g.MaxDataL->text(), QStringLiteral("63")); // width 3, "8 Bits"
        QVERIFY(prompts_.messages.isEmpty());
        QTest::qWait(20);
        QCOMPARE(s.sentBytes(), QByteArray());
    }

    // A frame that could not be loaded again is not saved: the box names the key, and no
    // file is asked for.
    void saveRefusesWhatCannotBeLoaded()
    {
        TMainForm f;
        f.EditAddress1->setText(QStringLiteral("E7E7"));
        f.SaveProfile1->trigger();
        QCOMPARE(prompts_.texts(),
                 QStringList{QStringLiteral("Error. Profile not saved:\nAddress1: \"E7E7\" is not "
                                            "allowed; allowed: ten hexadecimal digits")});
        QVERIFY(prompts_.dialogTitles.isEmpty());
    }

    // A refused profile leaves the frame as it was; its unknown keys are still named.
    void refusedLoadLeavesTheFrame()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray text = ModuleProfile::Text(ModuleProfile::FromSection(goodKeys()).config)
                              .replace(QStringLiteral("Channel=2"), QStringLiteral("Channel=300"))
                              .toUtf8();
        file.write(text + "Colour=red\n");
        file.close();
        TMainForm f;
        f.Channel->SetValue(9);
        prompts_.fileAnswers << path;
        f.LoadProfile1->trigger();
        QCOMPARE(prompts_.texts(),
                 QStringList{QStringLiteral("Error. Profile not loaded:\nChannel: \"300\" is not "
                                            "allowed; allowed: 0 to 127")});
        QCOMPARE(f.Memo1->Lines().last(),
                 QStringLiteral("Profile: unknown key \"Colour\" ignored"));
        QCOMPARE(f.Channel->Value(), 9);
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
};

QTEST_MAIN(TestProfile)
#include "tst_profile.moc"
