// The pane record (File, "Record to File...") on two stations: every line a pane of station B
// takes is in the file with a stamp and the pane's name as soon as the pane takes it, and a
// record stopped and started again goes on after what the file holds. And the panes' Copy,
// Select All and "Save As...".

#include "Stations.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "sim/SimulatedModules.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingPrompts.h"
#include "support/TextFiles.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QAction *item(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { registerSimulatedModules(); }
    void init() { prompts_.clear(); }

    void everyPaneLineRecorded()
    {
        TwoStations link(settings_, QStringLiteral("P"), 25);
        Station &b = link.b;
        const QString path = files_.write("earlier\n", QStringLiteral("record.txt"));
        prompts_.fileAnswers << path;
        b->RecordToFile1->trigger();
        QVERIFY(!b->RecordingLabel->isHidden());
        QCOMPARE(b->RecordingLabel->text(), QStringLiteral("Recording to record.txt"));
        QVERIFY(!b->RecordToFile1->isEnabled());

        // Received: A's test packet, then a typed line with control characters; Sent: B's own
        // test packet; Log: B's Read Config (after the data: it takes the next 20 bytes).
        link.a->Button10->click();
        QTRY_COMPARE(b->RecMemo->Lines().size(), 2);
        link.a->SendEdit->setText(QStringLiteral("esc\x1b[1mbold\a............."));
        link.a->SendTypedLine();
        QTRY_COMPARE(b->RecMemo->Lines().size(), 3);
        b->Button10->click();
        b->Button5->click();
        QTRY_COMPARE(b->Memo1->Lines().size(), 3);

        // All of it is in the file while the record still runs, after what was there.
        const QList<QByteArray> lines = contents(path).split('\n');
        QCOMPARE(lines.first(), QByteArray("earlier"));
        QCOMPARE(lines.last(), QByteArray());
        QStringList recorded;
        QDateTime previous;
        for (const QByteArray &line : lines.mid(1, lines.size() - 2)) {
            const QList<QByteArray> f = line.split('\t');
            QCOMPARE(f.size(), 3);
            const QDateTime at =
                QDateTime::fromString(QString::fromLatin1(f[0]), Qt::ISODateWithMs);
            QVERIFY2(at.isValid() && f[0].size() >= 23, f[0].constData());
            QVERIFY(!previous.isValid() || previous <= at);
            previous = at;
            recorded << QString::fromUtf8(f[1] + '\t' + f[2]);
        }
        QStringList shown;
        for (const auto &[pane, name] :
             {std::pair{b->RecMemo, "Received"}, std::pair{b->SentMemo, "Sent"},
              std::pair{b->Memo1, "Log"}})
            for (const QString &line : pane->Lines().mid(1))
                shown << QLatin1String(name) + QLatin1Char('\t') + line;
        QCOMPARE(recorded.size(), shown.size());
        // Control characters as their pictures.
        const qsizetype typed =
            shown.indexOf(QRegularExpression(QStringLiteral("Received\tesc.*")));
        QVERIFY(typed >= 0);
        shown[typed] = QStringLiteral("Received\tesc\u241B[1mbold\u2407.............");
        recorded.sort();
        shown.sort();
        QCOMPARE(recorded, shown);

        // Stopped, the file takes nothing more; started again, it goes on after its end.
        b->StopRecording1->trigger();
        QVERIFY(b->RecordingLabel->isHidden());
        QVERIFY(b->RecordToFile1->isEnabled());
        const QByteArray stopped = contents(path);
        b->Button10->click();
        QCOMPARE(contents(path), stopped);
        prompts_.fileAnswers << path;
        b->RecordToFile1->trigger();
        b->Button10->click();
        const QByteArray again = contents(path);
        QVERIFY(again.startsWith(stopped));
        QVERIFY(again.mid(stopped.size()).contains("\tSent\tabcdefghijklmnopqrstuvwzx\n"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    // A file that cannot be opened is refused; a write that fails (a full disk) ends the
    // record. Either way the operator is told, and the window no longer shows a record.
    void recordFailures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder missing") << "missing/r.txt"
                                        << "Cannot record to ";
        QTest::newRow("disk full") << "/dev/full"
                                   << "Recording stopped: ";
    }
    void recordFailures()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        TwoStations link(settings_, QStringLiteral("E"), 25);
        prompts_.fileAnswers << (path.startsWith(QLatin1Char('/')) ? path : files_.filePath(path));
        link.b->RecordToFile1->trigger();
        link.b->Button10->click(); // a line for the Sent pane
        QTRY_COMPARE(prompts_.messages.size(), 1);
        QVERIFY2(prompts_.messages[0].text.startsWith(message),
                 qPrintable(prompts_.messages[0].text));
        QVERIFY(link.b->RecordingLabel->isHidden());
        QVERIFY(link.b->RecordToFile1->isEnabled());
    }

    void copySelectAllSaveAs_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("file");
        QTest::newRow("Received") << "RecMemo"
                                  << "Received.txt";
        QTest::newRow("Sent") << "SentMemo"
                              << "Sent.txt";
        QTest::newRow("Log") << "Memo1"
                             << "Log.txt";
    }
    void copySelectAllSaveAs()
    {
        QFETCH(QString, pane);
        QFETCH(QString, file);
        TwoStations link(settings_, QStringLiteral("C"), 25);
        auto *memo = link.b->findChild<TMemo *>(pane);
        auto *menu = memo->findChild<QMenu *>();
        QVERIFY(memo && menu);
        memo->AddLine(QStringLiteral("alpha"));
        memo->AddLine(QStringLiteral("beta\tgamma"));
        item(menu, QStringLiteral("Select All"))->trigger();
        QAction *copy = item(menu, QStringLiteral("Copy"));
        QVERIFY(copy->isEnabled());
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("\nalpha\nbeta\tgamma"));
        // The keys the menu shows, in the pane, a line still on its way included.
        memo->AddLine(QStringLiteral("delta"));
        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("\nalpha\nbeta\tgamma\ndelta"));

        const QString path = files_.filePath(file);
        prompts_.fileAnswers << path;
        item(menu, QStringLiteral("Save As..."))->trigger();
        QVERIFY(prompts_.dialogDirs.last().endsWith(QLatin1Char('/') + file));
        QCOMPARE(contents(path), QByteArray("\nalpha\nbeta\tgamma\ndelta\n"));
    }

private:
    IsolatedSettings settings_;
    RecordingPrompts prompts_;
    TextFiles files_;
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
