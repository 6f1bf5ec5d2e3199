// Everything the module sends arrives here, in one of two modes: while a Read Config waits
// for its answer the first 20 bytes are the configuration dump, decoded into the controls;
// at all other times the bytes are radio payload, shown, counted and timed for the link test,
// and handed to the link report.

#include "app/Lamp.h"
#include "app/Memo.h"
#include "app/Radio.h"
#include "app/SpinEdit.h"
#include "app/StampClock.h"
#include "module/RadioModule.h"
#include "serial/Radiocom.h"
#include "traffic/CounterText.h"
#include "traffic/KeyPressFilter.h"
#include "traffic/LinkReport.h"
#include "traffic/ReceivedText.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cmath>

namespace {

// The local time of day in days, with millisecond resolution. The offset from UTC is looked
// up at most once a second: every look-up reads the time zone afresh, which a flood of packets
// paid twice a packet.
double timeOfDay()
{
    constexpr qint64 kDay = 86400000;
    static qint64 offsetMs = 0;
    static qint64 lookedUpAt = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (lookedUpAt == 0 || now - lookedUpAt >= 1000 || now < lookedUpAt) {
        offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(now).offsetFromUtc()) * 1000;
        lookedUpAt = now;
    }
    return double(((now + offsetMs) % kDay + kDay) % kDay) / double(kDay);
}

// Whole milliseconds between two times of day; the times are whole milliseconds already, so
// rounding each first keeps the division from losing one.
qint64 millisecondsBetween(double a, double b)
{
    return std::llabs(std::llround(a * 86400000.0) - std::llround(b * 86400000.0));
}

// A counter whose text stays the same (a flood's packets all of one length) is not repainted.
void setChangedText(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

// A line of received data still open after this much quiet is shown as it stands.
constexpr int kOpenLineQuietMs = 1000;

} // namespace

void TMainForm::SerialConnectorReceive(int Count)
{
    if (Count <= 0)
        return;
    // Rx is ticked while bytes wait for the rest of their dump or packet. A handler that takes
    // what came leaves it as it found it, unticked: ticking it on the way in would ask for a
    // repaint on every arrival of a flood, and nothing paints in between. The lamp blinks
    // instead, so the next paint still shows that data came.
    RX->Blink();
    if (ConfigReadActive) {
        // The module core takes the dump and reports it (configRead fills the controls).
        RX->setChecked(!Module->TakeDump(Count));
        return; // unless it was taken, the rest of the dump is still on its way
    }

    const int width = DataW1->Value();
    if (Count < width) {
        RX->setChecked(true);
        return; // not a whole packet yet
    }
    QByteArray packet(Count, '\0');
    const int got =
        SerialConnector->ReceiveBuffer(reinterpret_cast<unsigned char *>(packet.data()), Count);
    if (got <= 0) {
        RX->setChecked(false); // a read after the port closed: nothing was received
        return;
    }
    packet.truncate(got);
    Report->received(packet, StampClock::program().elapsed());
    if (View.readsReceived())
        ShowReceived(packet);
    else
        RecMemo->AddLine(ReceivedText::packetLine(packet, CheckBox2->isChecked()));
    RecCount += 1.0f;
    RecDataNum->setText(counterText(RecCount));

    Timer1->stop();
    setChangedText(Edit1, QString::number(millisecondsBetween(timeOfDay(), LastRecTime)));
    LastRecTime = timeOfDay();
    Timer1->setInterval(WaitTime->Value());
    Timer1->start();
    RX->setChecked(false);
    setChangedText(EditLeng, QString::number(got));
}

ReceivedText::Form TMainForm::ReceivedForm() const
{
    return {CheckBox2->isChecked(), View.on(ViewOptions::HexAndText),
            View.on(ViewOptions::Utf8Text), View.on(ViewOptions::WholeLines)};
}

void TMainForm::ShowReceived(const QByteArray &packet)
{
    const bool hex = CheckBox2->isChecked();
    if (RecMemo->Recording())
        RecMemo->Record(ReceivedText::packetLine(packet, hex));
    QList<ReceivedText::Line> lines;
    RecText.take(packet, ReceivedForm(), QDateTime::currentMSecsSinceEpoch(), lines);
    for (const ReceivedText::Line &line : lines)
        RecMemo->Show(line.text, line.atMs);
    if (RecText.hasOpen()) {
        // One timer start a second at most while data streams: it looks at the quiet when it
        // runs out.
        SinceArrival.start();
        if (!LineTimer->isActive())
            LineTimer->start(kOpenLineQuietMs);
    }
}

void TMainForm::LineTimerTimer()
{
    const qint64 quiet = SinceArrival.isValid() ? SinceArrival.elapsed() : kOpenLineQuietMs;
    if (quiet < kOpenLineQuietMs)
        LineTimer->start(int(kOpenLineQuietMs - quiet));
    else
        ShowOpenLine();
}

void TMainForm::ShowOpenLine()
{
    QList<ReceivedText::Line> lines;
    RecText.takeOpen(ReceivedForm(), lines);
    for (const ReceivedText::Line &line : lines)
        RecMemo->Show(line.text, line.atMs);
}

void TMainForm::Clear1Click()
{
    RecMemo->Clear();
    RecText.clear();
}

void TMainForm::Clear2Click()
{
    SentMemo->Clear();
}

void TMainForm::WireTrafficEvents()
{
    SerialConnector->SetOnReceive(
        [this](int count) { Guarded([this, count] { SerialConnectorReceive(count); }); });
    On(Clear1, &QAction::triggered, &TMainForm::Clear1Click);
    On(Clear2, &QAction::triggered, &TMainForm::Clear2Click);
    On(LineTimer, &QTimer::timeout, &TMainForm::LineTimerTimer);

    // Link test. A missed packet is counted when WaitTime has really passed: a coarse timer
    // could fire a few percent early and count a packet that is merely on its way.
    Timer1->setTimerType(Qt::PreciseTimer);
    On(Timer1, &QTimer::timeout, &TMainForm::Timer1Timer);
    Op(Button10, &QPushButton::clicked, &TMainForm::Button10Click);
    Op(Button4, &QPushButton::clicked, &TMainForm::Button4Click);
    On(Button9, &QPushButton::clicked, &TMainForm::Button9Click);
    On(Button3, &QPushButton::clicked, &TMainForm::Button3Click);
    On(Button6, &QPushButton::clicked, &TMainForm::Button6Click);
    On(LinkReport1, &QAction::triggered, &TMainForm::LinkReport1Click);
    On(ChannelSurvey1, &QAction::triggered, &TMainForm::ChannelSurvey1Click);

    // Typed lines and files.
    new KeyPressFilter(SendEdit, [this](char &key) {
        Guarded([this, &key] {
            if (key != '\r' || SendEdit->text().isEmpty() || !RefusedForSurvey())
                SendEditKeyPress(key);
        });
    });
    Op(Button11, &QPushButton::clicked, &TMainForm::Button11Click);
}
