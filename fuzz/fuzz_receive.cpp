// The main window's receive handling on any sequence of receive events: any count, any bytes
// queued behind it, in data mode and in dump mode. Nothing is written past the reply buffer,
// each data packet counts once and only a packet counts, a dump is decoded only with its
// marker, the controls stay within their ranges, and the handler never reports anything
// itself (a message box would abort).
//
// The window is the real one, never shown, on a pseudo-terminal whose far end this target
// writes; events go through the component's OnComReceive as the watcher's notifications do.
// No event loop runs and nothing waits on a timer.
//
// Input: steps of a four-byte header and a payload.
//   op       bits 0-1: 0 nothing, 1 a configuration read starts (the state Read Config leaves
//            behind, without its command), 2 the reply time-out fires, 3 a new packet width
//            (bits 2-7, 0 to 63, through the spin box and its limits) and the display form
//            toggled
//   count    two bytes, little endian, minus 2: the event's count, -2 to 65533
//   n        payload bytes the module sends before the event

#include "app/ComboBox.h"
#include "app/Memo.h"
#include "app/Prompts.h"
#include "app/Radio.h"
#include "app/RadioGroup.h"
#include "app/SpinEdit.h"
#include "serial/Radiocom.h"
#include "tests/support/IsolatedSettings.h"
#include "tests/support/PtyPair.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sched.h>

namespace {

// The input queue of the port's driver holds 4 KiB; stay below it.
constexpr int kQueueLimit = 4000;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Receive handling shows no message box and throws nothing that reaches one.
class NoPrompts : public Prompts {
public:
    void critical(QWidget *, const QString &, const QString &) override { std::abort(); }
    void beep() override {}
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &,
                         bool) override
    {
        return {};
    }
};

struct Bench {
    IsolatedSettings settings;
    PtyPair pty;
    NoPrompts prompts;
    TMainForm *form = nullptr;
    SerialLine *line = nullptr;
};

Bench &bench()
{
    static Bench *b = [] {
        static int argc = 1;
        static char name[] = "fuzz_receive";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        auto *made = new Bench;
        made->settings.write("[Port]\nCOM=0\nBaud=4\n[Devices]\nCOM1=" + made->pty.path().toUtf8() +
                             "\n");
        Prompts::install(&made->prompts);
        made->form = new TMainForm;
        check(made->form->SerialConnector->Connected());
        made->line = made->form->SerialConnector->Line();
        return made;
    }();
    return *b;
}

// The bytes written on the far end are in the port's input queue before the event is raised,
// as they are when the watcher announces them.
void send(Bench &b, const uint8_t *data, int n)
{
    if (n <= 0)
        return;
    const int expected = b.line->queuedInput() + n;
    b.pty.write(QByteArray(reinterpret_cast<const char *>(data), n));
    for (int spins = 0; b.line->queuedInput() < expected && spins < 1000000; ++spins)
        sched_yield();
}

void checkControls(TMainForm &f)
{
    check(f.ConfigByteCount >= 0 && f.ConfigByteCount <= TMainForm::ReplyBufferSize);
    check(f.Channel->Value() >= 0 && f.Channel->Value() <= 127);
    // A maximum below the minimum leaves the minimum standing.
    for (TSpinEdit *s : {f.DataW1, f.DataW2, f.DataW1TX, f.DataW2TX}) {
        const int v = s->Value();
        check(v >= s->MinValue() && (v <= s->MaxValue() || v == s->MinValue()) && v <= 64);
    }
    check(f.PowerCombo->ItemIndex() >= 0 && f.PowerCombo->ItemIndex() <= 3);
    check(f.RFDataRate->ItemIndex() >= 0 && f.RFDataRate->ItemIndex() <= 1);
    check(f.CRCRadioGroup->ItemIndex() >= 0 && f.CRCRadioGroup->ItemIndex() <= 1);
    bool ok = false;
    const int width = f.Address_W->Text().toInt(&ok);
    check(ok && width >= 0 && width <= 7);
    check(f.EditAddress1->text().size() == 10 || f.EditAddress1->text().isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Bench &b = bench();
    TMainForm &f = *b.form;
    // Every input starts from the window as it stands after start-up.
    f.ConfigReadActive = false;
    f.ConfigReplyPending = false;
    f.ConfigByteCount = 0;
    f.RecCount = 0;
    f.Timer1->stop();
    f.Timer2->stop();
    f.RecMemo->Clear();
    f.Memo1->Clear();
    f.Address_W->SetValue(4);
    f.CRCRadioGroup->SetItemIndex(1);
    f.DataW1->SetValue(0);
    f.CheckBox2->setChecked(false);
    b.line->purge();

    size_t at = 0;
    while (at + 4 <= size) {
        const uint8_t op = data[at];
        const int count = int(data[at + 1] | data[at + 2] << 8) - 2;
        int n = data[at + 3];
        at += 4;
        if (n > int(size - at))
            n = int(size - at);
        const uint8_t *payload = data + at;
        at += size_t(n);

        switch (op & 3) {
        case 1: // as Read Config leaves the window once "R" is out
            if (!f.ConfigReadActive) {
                f.ConfigByteCount = 0;
                f.ConfigReadActive = true;
                f.ConfigReplyPending = true;
            }
            break;
        case 2:
            f.Timer2Timer();
            break;
        case 3:
            f.DataW1->SetValue(op >> 2);
            f.CheckBox2->setChecked(!f.CheckBox2->isChecked());
            break;
        default:
            break;
        }
        const int room = kQueueLimit - b.line->queuedInput();
        send(b, payload, n < room ? n : room);

        const int queued = b.line->queuedInput();
        const bool dumpMode = f.ConfigReadActive;
        const int bytesBefore = f.ConfigByteCount;
        const float packetsBefore = f.RecCount;
        const int width = f.DataW1->Value();

        f.SerialConnector->OnComReceive(count);

        checkControls(f);
        check(f.ConfigByteCount >= bytesBefore);
        if (dumpMode) {
            check(f.RecCount == packetsBefore);
            const bool read = count >= 20 && queued > 0;
            const int took = read ? (queued < 20 ? queued : 20) : 0;
            const int free = TMainForm::ReplyBufferSize - bytesBefore;
            check(f.ConfigByteCount == bytesBefore + (took < free ? took : free));
            if (!f.ConfigReadActive)
                check(f.ReplyBuffer[0] == 0x41 && !f.ConfigReplyPending && f.ConfigByteCount >= 20);
        } else {
            check(f.ConfigByteCount == bytesBefore);
            const bool packet = count > 0 && count >= width && queued > 0;
            check(f.RecCount == packetsBefore + (packet ? 1.0f : 0.0f));
            if (packet) {
                const int length = count < queued ? count : queued;
                check(f.EditLeng->text() == QString::number(length));
                check(f.RecDataNum->text() == QString::number(double(f.RecCount), 'g', 10));
                check(f.Timer1->isActive());
            }
        }
    }
    return 0;
}
