// The link test. One station sends test packets, once ("SendTest") or continuously
// ("Cont.Send" until "Stop"); the other counts every packet it receives (receive handling)
// and, once packets have started to come, one missed packet each time WaitTime passes
// without one (Timer1).

#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "traffic/CounterText.h"
#include "traffic/ResponsivePause.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

const char TMainForm::TestAlphabet[] =
    "abcdefghijklmnopqrstuvwzxyz1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

// The fixed gap between two packets of the continuous send; WaitTime does not change it.
constexpr int kContinuousPauseMs = 100;

} // namespace

void TMainForm::SendTestPacket()
{
    TX->setChecked(true);
    QCoreApplication::processEvents(); // so that the indicator shows
    // The packet is always cut from the start of the alphabet: every packet of one width is
    // the same text, which is what the receiving station's pane shows.
    const int n = std::clamp(DataW1TX->Value(), 0, int(sizeof TestAlphabet) - 1);
    const QByteArray packet(TestAlphabet, n);
    if (!SendText(packet))
        SentMemo->AddLine(QString::fromLatin1(packet));
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
