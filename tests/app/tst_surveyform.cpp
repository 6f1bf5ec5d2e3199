// The Channel Survey window on a main window started on a simulated module, with a second
// simulated module receiving: a survey of three channels fills the chart while the main
// window refuses its own operations, the main window has its port back afterwards as it was,
// and "Use channel" writes the channel into both modules and the Channel control.

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/SurveyChartView.h"
#include "app/SurveyForm.h"
#include "serial/Radiocom.h"
#include "support/RecordingPrompts.h"
#include "support/SimStation.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

class TestSurveyForm : public QObject {
    Q_OBJECT

private slots:
    void surveyThenUseAChannel()
    {
        IsolatedSettings settings;
        RecordingPrompts prompts;
        SimStation station(settings, QStringLiteral("WIN-TX"), 4);
        TMainForm &f = station.f();
        SimModule *rx = SimModule::named(QStringLiteral("WIN-RX"));
        rx->factoryReset(115200);
        const QStringList panels{f.StatusPanel(0), f.StatusPanel(1), f.StatusPanel(2)};
        f.RecDataNum->setText(QStringLiteral("7"));

        f.ChannelSurvey1->trigger();
        TSurveyForm *form = f.SurveyForm;
        QVERIFY(form && form->isVisible());
        form->ReceiverList->setEditText(QStringLiteral("sim:WIN-RX"));
        form->ChannelsEdit->setText(QStringLiteral("80,81,82"));
        form->PacketsSpin->setValue(5);
        form->PaceSpin->setValue(1);
        form->StartButton->click();
        QVERIFY(form->Running());

        // Meanwhile the main window's port is the survey's, and its operations say so.
        QVERIFY(!f.SerialConnector->Connected());
        f.Button5->click();
        f.Button10->click();
        QCOMPARE(prompts.messages.size(), 2);
        QVERIFY2(prompts.texts().first().contains(QLatin1String("Channel Survey")),
                 qPrintable(prompts.texts().first()));

        QTRY_VERIFY_WITH_TIMEOUT(!form->Running(), 30000);
        QCOMPARE(prompts.messages.size(), 2);
        const QList<SurveyRow> &rows = form->Chart->Result().rows;
        QCOMPARE(rows.size(), 3);
        for (const SurveyRow &r : rows)
            QCOMPARE(r.received, 5);
        QVERIFY2(form->StatusLabel->text().startsWith(QLatin1String("Best: ")),
                 qPrintable(form->StatusLabel->text()));
        // Everything as before: the port open, the status bar, the counters.
        QVERIFY(f.SerialConnector->Connected());
        QCOMPARE((QStringList{f.StatusPanel(0), f.StatusPanel(1), f.StatusPanel(2)}), panels);
        QCOMPARE(f.RecDataNum->text(), QStringLiteral("7"));
        QCOMPARE(SimModule::named(QStringLiteral("WIN-TX"))->config().channel, 2);

        form->UseSpin->setValue(81);
        QCOMPARE(form->UseButton->text(), QStringLiteral("Use channel 81"));
        form->UseButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!form->Running(), 30000);
        QCOMPARE(prompts.messages.size(), 2);
        QCOMPARE(SimModule::named(QStringLiteral("WIN-TX"))->config().channel, 81);
        QCOMPARE(rx->config().channel, 81);
        QCOMPARE(f.Channel->Value(), 81);
        QVERIFY(f.SerialConnector->Connected());
        QVERIFY(f.Memo1->Lines().contains(
            QStringLiteral("Channel Survey: both modules on channel 81")));
    }
};

QTEST_MAIN(TestSurveyForm)
#include "tst_surveyform.moc"
