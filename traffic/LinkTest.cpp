// The link test. One station sends test packets, once ("SendTest") or continuously
// ("Cont.Send" until "Stop"); the other counts every packet it receives (receive handling)
// and, once packets have started to come, one missed packet each time WaitTime passes
// without one (Timer1). The link report (View, "Link Report...") may ask for numbered test
// packets, and counts the packets sent.

#include "app/Lamp.h"
#include "app/LinkReportForm.h"
#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/StampClock.h"
#include "app/SurveyForm.h"
#include "traffic/CounterText.h"
#include "traffic/LinkReport.h"
#include "traffic/ResponsivePause.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

namespace {

// The fixed gap between two packets of the continuous send; WaitTime does not change it.
constexpr int kContinuousPauseMs = 100;

} // namespace

void TMainForm::SendTestPacket()
{
    // The lamp is on the screen before the packet leaves: the window's paced paint would come
    // only after it has gone.
    TX->setChecked(true);
    TX->ShowNow();
    QCoreApplication::processEvents(); // so that the indicator shows
    // The width as it stands after that pass (a dump taken meanwhile counts for this packet).
    // Unnumbered, the packet is always cut from the start of the alphabet: every packet of
    // one width is the same text, which is what the receiving station's pane shows.
    const QByteArray packet = Report->testPacket(DataW1TX->Value());
    if (packet.isEmpty() && Report->numbered()) {
        // A width without room for the number: nothing goes out, a continuous send ends, and
        // the operator learns the least width once.
        TX->setChecked(false);
        ContSend = false;
        Prompts::current()->critical(
            this, QStringLiteral("Error!"),
            QStringLiteral("Numbered packets need a width (Data1 TX) of at least %1.")
                .arg(TestPacket::LeastNumberedWidth));
        return;
    }
    if (!SendText(packet)) {
        EchoSent(packet);
        Report->packetSent(StampClock::program().elapsed());
    }
    TX->setChecked(false);
    QCoreApplication::processEvents();
}

void TMainForm::Button10Click()
{
    Timer1->stop();
    SendTestPacket();
}

void TMainForm::Button4Click()
{
    Timer1->stop();
    ContSend = true;
    // The loop runs inside this click; a second Cont.Send pressed meanwhile runs a loop nested
    // in this one, and one Stop ends both (they share ContSend). A close requested while any
    // loop runs waits for the outermost to return.
    struct LoopCount {
        TMainForm *form;
        explicit LoopCount(TMainForm *f) : form(f) { ++form->ContSendLoops; }
        ~LoopCount()
        {
            if (--form->ContSendLoops == 0)
                form->BusyLoopEnded();
        }
        LoopCount(const LoopCount &) = delete;
        LoopCount &operator=(const LoopCount &) = delete;
    } running(this);
    // Send, pause, let the windows run, then test: at least one packet goes out, and the pass
    // in progress completes after Stop.
    do {
        SendTestPacket();
        responsivePause(kContinuousPauseMs);
        QCoreApplication::processEvents();
    } while (ContSend);
}

void TMainForm::Button9Click()
{
    Timer1->stop();
    ContSend = false;
}

void TMainForm::Timer1Timer()
{
    Timer1->stop();
    ErrCount += 1.0f;
    RecDataErr->setText(counterText(ErrCount));
    Timer1->setInterval(WaitTime->Value());
    Timer1->start();
}

void TMainForm::Button3Click()
{
    RecCount = 0;
    RecDataNum->setText(counterText(RecCount));
}

void TMainForm::Button6Click()
{
    ErrCount = 0;
    RecDataErr->setText(counterText(ErrCount));
}

void TMainForm::LinkReport1Click()
{
    if (!LinkReportForm) {
        LinkReportForm = new TLinkReportForm(*Report, this);
        LinkReportForm->StationName = [this] {
            return PortDirectory::portLabel(PortName(), PortTarget);
        };
    }
    LinkReportForm->show();
    LinkReportForm->raise();
    LinkReportForm->activateWindow();
}

void TMainForm::ChannelSurvey1Click()
{
    if (!SurveyForm)
        SurveyForm = new TSurveyForm(*this, this);
    SurveyForm->show();
    SurveyForm->raise();
    SurveyForm->activateWindow();
}
