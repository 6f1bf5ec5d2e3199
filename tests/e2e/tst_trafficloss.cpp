// Device loss under the traffic operations: the far end of the pseudo-terminal behind COM1
// vanishes, as an unplugged USB adapter does, while a continuous send runs, while a file goes
// out (between two lines, or inside a line of a megabyte), or before a typed line. The window
// must not hang, crash or spin; it tells the loss in the log and reports the failure the way
// each operation reports a failed write; and once the device is back, Ok in the settings
// dialog takes the port up again.

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/Writing.h"
#include "support/IsolatedSettings.h"
#include "support/PtyStation.h"
#include "support/RecordingPrompts.h"
#include "support/TextFiles.h"
#include "support/Whenever.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

using namespace PtyStationTools;

namespace {

const QString kCommError = QStringLiteral("Comm. Error!");

// Everything the far end has been sent so far.
QByteArray drain(PtyPair &device)
{
    return device.read(1 << 24, 0);
}

// The far end on a thread of its own: reads until it has heard cut bytes, then the device is
// unplugged. For a window busy inside one line, where no timer of the test can run.
class UnplugAfter {
public:
    UnplugAfter(PtyStation &s, qsizetype cut)
        : thread_([this, &s, cut] {
              const int fd = s.device->master();
              char buf[4096];
              while (heard_.size() < cut) {
                  pollfd p{fd, POLLIN, 0};
                  if (::poll(&p, 1, 5000) <= 0)
                      break;
                  const ssize_t n =
                      ::read(fd, buf, size_t(std::min<qsizetype>(cut - heard_.size(), 4096)));
                  if (n <= 0)
                      break;
                  heard_.append(buf, qsizetype(n));
              }
              s.unplug();
          })
    {
    }
    ~UnplugAfter() { join(); }
    UnplugAfter(const UnplugAfter &) = delete;
    UnplugAfter &operator=(const UnplugAfter &) = delete;

    QByteArray heard()
    {
        join();
        return heard_;
    }

private:
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    QByteArray heard_;
    std::thread thread_;
};

} // namespace

class TestTrafficLoss : public QObject {
    Q_OBJECT

    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    TextFiles files_;
    std::unique_ptr<TWritingForm> writing_;

private slots:
    void initTestCase()
    {
        QVERIFY(files_.isValid());
        writing_ = std::make_unique<TWritingForm>();
        WritingForm = writing_.get();
    }
    void cleanupTestCase()
    {
        WritingForm = nullptr;
        writing_.reset();
    }
    void init()
    {
        prompts_.clear();
        writing_->hide();
    }

    // Every pass after the loss reports "Comm. Error!" with the status text and a beep, and
    // the loop goes on, at its own pace, until Stop.
    void lossDuringContinuousSend()
    {
        PtyStation s(settings_, 4);
        TMainForm &f = *s.main;
        f.DataW1TX->SetValue(5);
        QByteArray heard;
        qsizetype echoedAtLoss = -1;
        double cpuAtLoss = 0;
        QElapsedTimer sinceLoss;
        double cpuUsed = -1;
        qint64 span = 0;
        int errorsAtStop = -1;
        whenever(&f, [&] {
            if (f.SentMemo->Lines().size() < 4)
                return false;
            heard = drain(*s.device);
            echoedAtLoss = f.SentMemo->Lines().size() - 1;
            s.unplug();
            cpuAtLoss = cpuMs();
            sinceLoss.start();
            QTimer::singleShot(500, &f, [&] {
                cpuUsed = cpuMs() - cpuAtLoss;
                span = sinceLoss.elapsed();
                errorsAtStop = int(s.log().size());
                f.Button9->click();
            });
            return true;
        });
        f.Button4->click(); // until Stop

        QVERIFY(echoedAtLoss >= 3);
        QCOMPARE(heard, QByteArray("abcde").repeated(echoedAtLoss));
        QCOMPARE(f.SentMemo->Lines().size() - 1, echoedAtLoss);
        const QStringList log = s.log();
        // The pass under way when Stop came completes.
        QVERIFY2(
            errorsAtStop >= 3 && log.size() - errorsAtStop <= 1,
            qPrintable(QStringLiteral("%1 at Stop, %2 in all").arg(errorsAtStop).arg(log.size())));
        // The loss is told once, between the passes' errors.
        QCOMPARE(log.count(s.goneLine()), 1);
        QCOMPARE(log.count(kCommError), log.size() - 1);
        QCOMPARE(prompts_.beeps, int(log.size() - 1));
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(f.ContSendLoops, 0);
        // Sending into a lost device, a pass after the other, costs no more than idling.
        QVERIFY2(cpuUsed < 0.2 * double(span),
                 qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpuUsed).arg(span)));

        verifyIdleCostsNothing();
        verifyPortComesBack(s);
        // And the continuous send goes out again.
        QTimer::singleShot(250, &f, [&f] { f.Button9->click(); });
        f.Button4->click();
        QVERIFY(s.device->read(10).startsWith("abcde"));
    }

    // A file transfer ends at the first packet the port does not take: the progress window
    // goes, then "Cannot Perform Write Operation to Modul!"; the lines echoed are the lines
    // the far end heard whole.
    void lossDuringFileTransfer_data()
    {
        QTest::addColumn<bool>("insideALine");
        QTest::newRow("between two lines") << false;
        QTest::newRow("inside a line of a megabyte") << true;
    }
    void lossDuringFileTransfer()
    {
        QFETCH(bool, insideALine);
        PtyStation s(settings_, 4);
        TMainForm &f = *s.main;
        f.DataW1->SetValue(insideALine ? 25 : 8);
        QByteArray file;
        QByteArray wire; // what goes out, line by line, in packets
        if (insideALine) {
            for (int i = 0; file.size() < (1 << 20); ++i)
                file += char('A' + i % 26);
            wire = file + "\r\n" + QByteArray(23, ' ');
            file += '\n';
        } else {
            for (int i = 0; i < 40; ++i) {
                const QByteArray line =
                    "line " + QByteArray::number(i).rightJustified(2, '0') + " of the file";
                file += line + '\n';
                wire += line + "\r\n" + QByteArray(3, ' ');
            }
        }

        QByteArray heard;
        qsizetype echoedAtLoss = 0;
        std::unique_ptr<UnplugAfter> farEnd;
        if (insideALine) {
            farEnd = std::make_unique<UnplugAfter>(s, 40 * 25);
        } else {
            whenever(&f, [&] {
                if (f.SentMemo->Lines().size() < 4)
                    return false;
                heard = drain(*s.device);
                echoedAtLoss = f.SentMemo->Lines().size() - 1;
                s.unplug();
                return true;
            });
        }
        bool visibleAtMessage = true;
        prompts_.onCritical = [&] { visibleAtMessage = writing_->isVisible(); };
        f.SendTextFile(files_.write(file));
        if (farEnd)
            heard = farEnd->heard();

        QCOMPARE(prompts_.texts(), QStringList{"Cannot Perform Write Operation to Modul!"});
        QCOMPARE(prompts_.messages.at(0).caption, QStringLiteral("Error!"));
        QVERIFY(!visibleAtMessage);
        QVERIFY(!writing_->isVisible());
        QVERIFY(!f.FileSending);
        QCOMPARE(f.SentMemo->Lines().size() - 1, echoedAtLoss);
        QVERIFY(!heard.isEmpty());
        QVERIFY(wire.startsWith(heard));
        if (!insideALine)
            QCOMPARE(heard.size(), echoedAtLoss * 24);
        // File packets report through the message box only; the log tells the loss.
        QTRY_COMPARE(s.log(), QStringList{s.goneLine()});
        QCOMPARE(prompts_.beeps, 0);

        verifyIdleCostsNothing();
        verifyPortComesBack(s);
        prompts_.onCritical = nullptr;
        f.DataW1->SetValue(8);
        f.SendTextFile(files_.write("back\n"));
        QCOMPARE(s.device->read(8), QByteArray("back\r\n  "));
    }

    // A typed line into a lost device: each attempt reports "Comm. Error!", the status text
    // and a beep, and nothing is echoed.
    void lossBeforeATypedLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("attempts");
        QTest::newRow("shorter than W: tried again padded") << "abc" << 2;
        QTest::newRow("of W: tried once") << "abcdefgh" << 1;
    }
    void lossBeforeATypedLine()
    {
        QFETCH(QString, text);
        QFETCH(int, attempts);
        PtyStation s(settings_, 4);
        TMainForm &f = *s.main;
        f.DataW1->SetValue(8);
        f.SendEdit->setText(QStringLiteral("first"));
        QTest::keyClick(f.SendEdit, Qt::Key_Return);
        QCOMPARE(s.device->read(5), QByteArray("first"));
        s.unplug();
        QTRY_COMPARE(s.log(), QStringList{s.goneLine()});
        f.SendEdit->setText(text);
        QTest::keyClick(f.SendEdit, Qt::Key_Return);
        QCOMPARE(s.log().mid(1), QStringList(attempts, kCommError));
        QCOMPARE(prompts_.beeps, attempts);
        QCOMPARE(f.StatusPanel(0), QStringLiteral("Status: Not Detected"));
        QCOMPARE(f.SentMemo->Lines().mid(1), QStringList{QStringLiteral("first")});

        verifyIdleCostsNothing();
        verifyPortComesBack(s);
        QTest::keyClick(f.SendEdit, Qt::Key_Return);
        QCOMPARE(s.device->read(int(text.size())), text.toLatin1());
    }
};

QTEST_MAIN(TestTrafficLoss)
#include "tst_trafficloss.moc"
