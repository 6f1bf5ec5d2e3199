// Opens the system refuses: the port held by another program, no permission, something that
// is no serial device. The log pane names the device and the cause, the status bar does not
// claim a module, and every command behaves as on a port that did not open.

#include "app/ComboBox.h"
#include "app/Eepromoptions.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "serial/PortDirectory.h"
#include "serial/Radiocom.h"
#include "support/IsolatedSettings.h"
#include "support/PtyPair.h"
#include "support/RecordingPrompts.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kCommError = QStringLiteral("Comm. Error!");

// Who stands in the way of the open.
enum class Obstacle {
    LockingProgram, // another program holds the device with an exclusive lock
    OtherConsole,   // another serial component has the device open
    ReadOnlyFile,   // a file the system lets nobody open for writing, root included
    RegularFile,    // exists, but is no tty
};

// Another program's hold on the device, released when it goes.
struct Holder {
    int fd = -1;
    std::unique_ptr<TRadioCom> component;
    ~Holder() { release(); }
    void release()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        component.reset();
    }
};

} // namespace

Q_DECLARE_METATYPE(Obstacle)

class TestPortRefused : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    QTemporaryDir dir_;

private slots:
    void init() { prompts_.clear(); }

    void refusedOpen_data()
    {
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("freedLater");
        const QString busy = QStringLiteral("busy, another program holds it");
        QTest::newRow("busy: a program's lock") << Obstacle::LockingProgram << busy << true;
        QTest::newRow("busy: another console") << Obstacle::OtherConsole << busy << true;
        QTest::newRow("permission denied")
            << Obstacle::ReadOnlyFile
            << "permission denied; join the dialout group (sudo usermod -aG dialout $USER) and "
               "log in again"
            << false;
        QTest::newRow("not a tty") << Obstacle::RegularFile << "not a serial device" << false;
    }
    void refusedOpen()
    {
        QFETCH(Obstacle, obstacle);
        QFETCH(QString, cause);
        QFETCH(bool, freedLater);

        PtyPair pty;
        QVERIFY(pty.ok());
        Holder holder;
        QString device = pty.path();
        switch (obstacle) {
        case Obstacle::LockingProgram:
            holder.fd = ::open(pty.path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
            QVERIFY(holder.fd >= 0);
            QCOMPARE(::flock(holder.fd, LOCK_EX | LOCK_NB), 0);
            break;
        case Obstacle::OtherConsole:
            PortDirectory::global().setExplicit({{QStringLiteral("COM2"), pty.path()}});
            holder.component = std::make_unique<TRadioCom>();
            holder.component->SetRtsFlowControl(RTSOff);
            holder.component->SetComPort(COM2);
            holder.component->SetComStatus(true);
            QVERIFY(holder.component->Connected());
            break;
        case Obstacle::ReadOnlyFile:
            // Root too: a read-only kernel setting refuses a read-write open with EACCES.
            device = QStringLiteral("/proc/sys/kernel/osrelease");
            if (::access(device.toLocal8Bit().constData(), R_OK) != 0)
                QSKIP("no /proc/sys here");
            break;
        case Obstacle::RegularFile: {
            device = dir_.filePath(QStringLiteral("plain-file"));
            QFile f(device);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a port\n");
            break;
        }
        }
        QVERIFY(
            settings_.write("[Port]\nCOM=0\nBaud=0\n[Devices]\nCOM1=" + device.toUtf8() + "\n"));
        TMainForm f;
        TOptionsForm options;
        MainForm = &f;
        OptionsForm = &options;
        const auto cleanUp = qScopeGuard([] {
            MainForm = nullptr;
            OptionsForm = nullptr;
        });

        QVERIFY(!f.SerialConnector->Connected());
        QCOMPARE(f.Memo1->Lines().mid(1),
                 QStringList{QStringLiteral("COM1 (%1): %2").arg(device, cause)});
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(f.StatusPanel(1), QStringLiteral("Serial Port: COM1"));

        // Every letter fails as on a port that did not open: one "Comm. Error!" and one beep
        // each, with the operation's own lines around it.
        f.Button8->click();
        f.Button5->click();
        QCOMPARE(f.Memo1->Lines().mid(2), (QStringList{kCommError, QStringLiteral("Reset"),
                                                       kCommError, QStringLiteral("Read Config")}));
        QCOMPARE(prompts_.beeps, 2);
        QVERIFY(!f.RTS->isChecked());
        QTRY_VERIFY(!f.Timer2->isActive());
        QCOMPARE(f.Memo1->Lines().last(), kCommError);
        QVERIFY(prompts_.messages.isEmpty());
        // Nothing reached the device behind the refusal.
        if (obstacle == Obstacle::LockingProgram || obstacle == Obstacle::OtherConsole)
            QCOMPARE(pty.read(1, 20), QByteArray());

        if (!freedLater)
            return;
        // Once the other program lets go, Ok in the settings dialog opens the port.
        holder.release();
        options.FormShow();
        options.Button1Click();
        QVERIFY2(f.SerialConnector->Connected(), qPrintable(f.SerialConnector->LastOpenError()));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Present"));
        QCOMPARE(f.SerialConnector->SendByte('k'), 1);
        QCOMPARE(pty.read(1), QByteArray("k"));
    }
};

QTEST_MAIN(TestPortRefused)
#include "tst_portrefused.moc"
