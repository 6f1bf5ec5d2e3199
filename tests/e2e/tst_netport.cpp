// The main window on a network port, against Debian's ser2net started here: the status bar and
// the log name the port by its address; a server that goes is a lost connection, looked for
// again once a second, and once it serves again the window takes the port up as after an
// unplug (reconnected, Reset, Read Config). A raw TCP port typed into the settings dialog
// opens, and Set Module on it is refused in the log.

#include "app/Eepromoptions.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"
#include "support/Ser2net.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

struct Window {
    explicit Window(const IsolatedSettings &settings, const QString &device)
    {
        settings.write("[Port]\nCOM=0\nBaud=4\n[Devices]\nCOM1=" + device.toUtf8() + "\n");
        main = std::make_unique<TMainForm>();
        options = std::make_unique<TOptionsForm>();
        MainForm = main.get();
        OptionsForm = options.get();
    }
    ~Window()
    {
        OptionsForm = nullptr;
        MainForm = nullptr;
    }
    // The log without the pane's first, empty line, and without the note a busy machine's
    // uneven round trips may bring.
    QStringList log() const
    {
        QStringList lines = main->Memo1->Lines().mid(1);
        lines.removeIf(
            [](const QString &l) { return l.contains(QStringLiteral(": round trip ")); });
        return lines;
    }
    std::unique_ptr<TMainForm> main;
    std::unique_ptr<TOptionsForm> options;
};

} // namespace

class TestNetPort : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;

private slots:
    void initTestCase()
    {
        QVERIFY2(!Ser2net::program().isEmpty(),
                 "ser2net is missing: scripts/install-deps.sh --test installs it");
    }

    void connectionLostAndBack()
    {
        PtyPair pty;
        Ser2net server(pty.path());
        QVERIFY(server.start());
        Window w(settings_, server.url());
        TMainForm &f = *w.main;
        const QString label = QStringLiteral("COM1 (%1)").arg(server.url());
        QVERIFY2(f.SerialConnector->Connected(), qPrintable(f.SerialConnector->LastOpenError()));
        QCOMPARE(f.StatusPanel(1), QStringLiteral("Serial Port: ") + label);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        pty.write("abc");
        QTRY_COMPARE(f.RecMemo->Lines().mid(1), QStringList{QStringLiteral("abc")});

        const qsizetype before = w.log().size();
        server.stop();
        QTRY_COMPARE(w.log().mid(before), QStringList{label + QStringLiteral(": connection lost")});
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QTest::qWait(1500); // looked for in vain, without a word
        QCOMPARE(w.log().size(), before + 1);

        QVERIFY(server.start());
        QTRY_VERIFY_WITH_TIMEOUT(w.log().size() >= before + 4, 5000);
        QCOMPARE(w.log().mid(before + 1, 3),
                 (QStringList{label + QStringLiteral(": reconnected"), QStringLiteral("Reset"),
                              QStringLiteral("Read Config")}));
        QCOMPARE(pty.read(2), QByteArray("XR")); // the window's Reset and Read Config
        QVERIFY(f.SerialConnector->Connected());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void rawPortTypedIntoTheSettings()
    {
        PtyPair pty;
        Ser2net server(pty.path(), false);
        QVERIFY(server.start());
        Window w(settings_, QStringLiteral("/dev/null-no-such-device"));
        w.options->FormShow();
        w.options->DeviceList->lineEdit()->setText(server.url());
        w.options->Button1Click();
        TMainForm &f = *w.main;
        QVERIFY2(f.SerialConnector->Connected(), qPrintable(f.SerialConnector->LastOpenError()));
        const QString label = QStringLiteral("COM1 (%1)").arg(server.url());
        QCOMPARE(f.StatusPanel(1), QStringLiteral("Serial Port: ") + label);
        const qsizetype before = w.log().size();
        f.Button2->click(); // Set Module
        QCOMPARE(w.log().mid(before),
                 QStringList{QStringLiteral("Set Module refused: %1 carries data only and cannot "
                                            "drive the programming line")
                                 .arg(label)});
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(pty.read(1, 100), QByteArray());
    }
};

QTEST_MAIN(TestNetPort)
#include "tst_netport.moc"
