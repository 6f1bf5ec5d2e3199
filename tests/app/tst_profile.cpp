// Module profiles: the keys and the operator's words they take, a bad value refusing the whole
// profile with a message naming it, settings no command writes never passing for written, and
// Save Profile / Load Profile in the window.

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
        QTest::newRow("Address2, which a profile need not hold") << "Address2"
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
        keys.insert(QStringLiteral("crc"), QStringLiteral("16Bits"));
        keys.insert(QStringLiteral("Shock Burst"), QStringLiteral("ON"));
        keys.insert(QStringLiteral("Colour"), QStringLiteral("red"));
        const ModuleProfile::Loaded loaded = ModuleProfile::FromSection(keys);
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        QCOMPARE(loaded.config.powerIndex, 3);
        QCOMPARE(loaded.config.rateIndex, 0);
        QCOMPARE(loaded.config.address1, QStringLiteral("A1B2C3D4E5"));
        QCOMPARE(loaded.unknownKeys, QStringList{QStringLiteral("Colour")});
    }

    // No command writes CRC, ShockBurst, DualChannel or Address 2. A profile of an earlier
    // version that holds the first three as every module reports them still loads; any other
    // value is refused before anything is sent, naming the key and why, since a comparison
    // with the module would pass without the setting ever being made. Address 2 is kept as
    // an expectation: a module reporting another fails the comparison.
    void unwrittenSettingsNeverPass_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");           // empty: the profile loads
        QTest::addColumn<QStringList>("differences"); // against a module reporting goodKeys()
        const auto never = [](const char *key, const char *value, const char *reported) {
            return QStringLiteral("%1: \"%2\" cannot be given to the module: no command writes "
                                  "it, and every module reports %3")
                .arg(QLatin1String(key), QLatin1String(value), QLatin1String(reported));
        };
        QTest::newRow("CRC 8 bits")
            << "CRC"
            << "8 bits" << never("CRC", "8 bits", "16 bits") << QStringList();
        QTest::newRow("CRC of no known width")
            << "CRC"
            << "12 bits" << never("CRC", "12 bits", "16 bits") << QStringList();
        QTest::newRow("ShockBurst Off")
            << "ShockBurst"
            << "Off" << never("ShockBurst", "Off", "On") << QStringList();
        QTest::newRow("DualChannel On")
            << "DualChannel"
            << "On" << never("DualChannel", "On", "Off") << QStringList();
        QTest::newRow("CRC 16 bits, as every module reports")
            << "CRC"
            << "16 bits" << QString() << QStringList();
        QTest::newRow("ShockBurst On") << "ShockBurst"
                                       << "on" << QString() << QStringList();
        QTest::newRow("DualChannel Off") << "DualChannel"
                                         << "Off" << QString() << QStringList();
        QTest::newRow("Address2 the module reports") << "Address2"
                                                     << "C2C2C2C2C2" << QString() << QStringList();
        QTest::newRow("Address2 the module does not report")
            << "Address2"
            << "0102030405" << QString()
            << QStringList{QStringLiteral("Address2 0102030405 C2C2C2C2C2 no command writes it")};
    }
    void unwrittenSettingsNeverPass()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, error);
        QFETCH(QStringList, differences);
        QMap<QString, QString> keys = goodKeys();
        keys.insert(key, value);
        const ModuleProfile::Loaded loaded = ModuleProfile::FromSection(keys);
        QCOMPARE(loaded.error, error);
        QCOMPARE(loaded.ok, error.isEmpty());
        if (!loaded.ok)
            return;
        ModuleConfig module = ModuleProfile::FromSection(goodKeys()).config;
        module.address2 = QStringLiteral("C2C2C2C2C2");
        QStringList found;
        for (const ModuleProfile::Difference &d : ModuleProfile::Differences(loaded.config, module))
            found << QStringList{d.key, d.wanted, d.found, d.note}.join(QLatin1Char(' '));
        QCOMPARE(found, differences);
        // A profile holds only what a command writes, whatever it was loaded from.
        QVERIFY(!ModuleProfile::Text(loaded.config).contains(key));
    }

    // Saved from one window and loaded into another, the frame comes back as it was; the
    // input rules run on the loaded values, and nothing goes to the module. Saved over a
    // profile of an earlier version, the keys no command writes do not stay behind.
    void roundTripThroughTheWindow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line-3"));
        QFile old(path + QStringLiteral(".ini"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("; line 3 of the workshop\n[Module]\nChannel=5\nAddress2=C2C2C2C2C2\n"
                  "CRC=16 bits\nShockBurst=On\nDualChannel=Off\n");
        old.close();
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
            prompts_.fileAnswers << path;
            f.SaveProfile1->trigger();
            QCOMPARE(f.Memo1->Lines().last(), QStringLiteral("Profile saved: line-3.ini"));
        }
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray saved = old.readAll();
        old.close();
        QVERIFY2(saved.startsWith("; line 3 of the workshop\n[Module]\nChannel=77\n"),
                 saved.constData());
        for (const char *gone : {"Address2", "CRC", "ShockBurst", "DualChannel"})
            QVERIFY2(!saved.contains(gone), saved.constData());

        SimStation s(settings_, QStringLiteral("PROFILE"));
        TMainForm &g = s.f();
        const QString reported = g.EditAddress2->text();
        prompts_.fileAnswers << path + QStringLiteral(".ini");
        g.LoadProfile1->trigger();
        QCOMPARE(s.log(), QStringList{QStringLiteral("Profile loaded: line-3.ini")});
        QCOMPARE(g.Channel->Value(), 77);
        QCOMPARE(g.PowerCombo->ItemIndex(), 2);
        QCOMPARE(g.RFDataRate->ItemIndex(), 1);
        QCOMPARE(g.Address_W->Text(), QStringLiteral("3"));
        QCOMPARE(g.EditAddress1->text(), QStringLiteral("A1B2C3D4E5"));
        QCOMPARE(g.EditAddress2->text(), reported);
        QCOMPARE(QList<int>({g.DataW1->Value(), g.DataW2->Value(), g.DataW1TX->Value(),
                             g.DataW2TX->Value()}),
                 QList<int>({5, 6, 7, 8}));
        QCOMPARE(g.CRCRadioGroup->ItemIndex(), 1);
        QVERIFY(g.ShockBurstBox->isChecked());
        QVERIFY(!g.DualChannelBox->isChecked());
        QCOMPARE(g.MaxDataL->text(), QStringLiteral("62")); // width 3, "16 Bits"
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

    // A frame whose CRC, ShockBurst or DualChannel no module reports is not saved: no
    // command would write it, and the profile would claim it.
    void saveRefusesWhatNoCommandWrites_data()
    {
        QTest::addColumn<int>("crc");
        QTest::addColumn<bool>("shockBurst");
        QTest::addColumn<bool>("dualChannel");
        QTest::addColumn<QString>("why");
        QTest::newRow("CRC 8 bits") << 0 << true << false
                                    << "CRC: \"8 bits\" cannot be given to the module: no "
                                       "command writes it, and every module reports 16 bits";
        QTest::newRow("ShockBurst off") << 1 << false << false
                                        << "ShockBurst: \"Off\" cannot be given to the module: "
                                           "no command writes it, and every module reports On";
        QTest::newRow("DualChannel on") << 1 << true << true
                                        << "DualChannel: \"On\" cannot be given to the module: "
                                           "no command writes it, and every module reports Off";
    }
    void saveRefusesWhatNoCommandWrites()
    {
        QFETCH(int, crc);
        QFETCH(bool, shockBurst);
        QFETCH(bool, dualChannel);
        QFETCH(QString, why);
        TMainForm f;
        f.EditAddress1->setText(QStringLiteral("E7E7E7E7E7"));
        f.CRCRadioGroup->SetItemIndex(crc);
        f.ShockBurstBox->setChecked(shockBurst);
        f.DualChannelBox->setChecked(dualChannel);
        f.SaveProfile1->trigger();
        QCOMPARE(prompts_.texts(),
                 QStringList{QStringLiteral("Error. Profile not saved:\n") + why});
        QVERIFY(prompts_.dialogTitles.isEmpty());
    }

    // Address 2 of a profile of an earlier version stays out of the frame, which keeps showing
    // what the module reported: Set Module would not write it.
    void loadLeavesAddress2ToTheModule()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ModuleProfile::Text(ModuleProfile::FromSection(goodKeys()).config).toUtf8() +
                   "Address2=0102030405\nCRC=16 bits\n");
        file.close();
        TMainForm f;
        f.EditAddress2->setText(QStringLiteral("C2C2C2C2C2"));
        prompts_.fileAnswers << path;
        f.LoadProfile1->trigger();
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(f.Memo1->Lines().mid(f.Memo1->Lines().size() - 2),
                 QStringList({QStringLiteral("Profile: Address2 not loaded: no command writes it"),
                              QStringLiteral("Profile loaded: old.ini")}));
        QCOMPARE(f.EditAddress2->text(), QStringLiteral("C2C2C2C2C2"));
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
