#include "app/TimingDiagram.h"

namespace {

// Every diagram uses the same drawing area width and the same start and end of the lines, so
// the name labels line up from tab to tab.
constexpr int AreaWidth = 860;
constexpr int LineLeft = 100;
constexpr int LineRight = 850;

TimingDiagram blank(const QString &title, int height)
{
    TimingDiagram d;
    d.title = title;
    d.left = LineLeft;
    d.right = LineRight;
    d.size = QSize(AreaWidth, height);
    return d;
}

TimingDiagram::Trace line(const QString &name, int y)
{
    TimingDiagram::Trace t;
    t.name = name;
    t.y = y;
    return t;
}

// `count` characters side by side, the first one's left edge at x.
void addCells(TimingDiagram::Trace &t, int x, int count)
{
    for (int i = 0; i < count; ++i)
        t.cells << x + i * TimingDiagram::CellPitch;
}

int cellTop(const TimingDiagram::Trace &t)
{
    return t.y - TimingDiagram::CellHeight + 1;
}

} // namespace

const TimingDiagram::Trace *TimingDiagram::trace(const QString &name) const
{
    for (const Trace &t : traces) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

QRect TimingDiagram::cellRect(const Trace &t, int i)
{
    return QRect(t.cells.at(i), cellTop(t), CellWidth, CellHeight);
}

QRect TimingDiagram::frameRect(const Trace &t, const Frame &f)
{
    const QRect first = cellRect(t, f.first);
    const QRect last = cellRect(t, f.first + f.count - 1);
    return first.united(last).adjusted(-FramePad, -FramePad, FramePad, FramePad);
}

QPoint TimingDiagram::frameLabelAnchor(const Trace &t, const Frame &f)
{
    const QRect r = frameRect(t, f);
    return QPoint(r.center().x() + 1, r.top() - 3);
}

QPoint TimingDiagram::measureLabelAnchor(const Measure &m) const
{
    return QPoint((m.from + m.to) / 2, markerBottom + 4);
}

// The module sends what arrives on its serial input as one radio packet: Ready rises during
// the first character and stays up until the packet has left.
TimingDiagram TimingDiagram::transmit()
{
    TimingDiagram d = blank(QStringLiteral("Transmit"), 410);
    Trace rx = line(QStringLiteral("RX"), 110);
    Trace ready = line(QStringLiteral("Ready"), 210);
    Trace radio = line(QStringLiteral("Radio link"), 310);

    addCells(rx, 160, 5);
    rx.frames << Frame{0, 5, QStringLiteral("Eg. 5 bytes 900 uSec.")};
    const int charsEnd = rx.cellEnd(4);

    const int packetStart = charsEnd + 80;
    addCells(radio, packetStart, 6);
    const int packetEnd = radio.cellEnd(5);

    ready.pulses << Pulse{rx.cells.at(0) + CellWidth / 2, packetEnd, Level::Raised};

    d.markerBottom = 380;
    d.measures << Measure{charsEnd, cellTop(rx), packetStart, cellTop(radio),
                          QStringLiteral("200 uSec.")};

    const int packetMiddle = (packetStart + packetEnd) / 2;
    d.notes << Note{QPoint(packetMiddle, radio.y + 8), Qt::AlignHCenter | Qt::AlignTop,
                    QStringLiteral("Tt.")};
    d.notes << Note{QPoint(packetEnd + 16, radio.y + 8), Qt::AlignLeft | Qt::AlignTop,
                    QStringLiteral("Tt.= (Addr. w. + Data w. + 16 CRC) [bits] * 1bit time.\n"
                                   "1bit time = 1uSec (if RF Data Rate = 1MB/s)  = 4uSec "
                                   "(if RF Data Rate = 250 KB/s)")};

    d.traces << rx << ready << radio;
    return d;
}

// A packet heard on the air comes out on the serial output: Ready rises after the packet and
// drops after the last character has gone out.
TimingDiagram TimingDiagram::receive()
{
    TimingDiagram d = blank(QStringLiteral("Receive"), 340);
    Trace radio = line(QStringLiteral("Radio link"), 110);
    Trace ready = line(QStringLiteral("Ready"), 210);
    Trace tx = line(QStringLiteral("TX"), 310);

    addCells(radio, 240, 6);
    const int riseAt = radio.cellEnd(5) + 12;
    addCells(tx, riseAt + 24, 6);
    ready.pulses << Pulse{riseAt, tx.cellEnd(5) + 12, Level::Raised};

    d.traces << radio << ready << tx;
    return d;
}

// A command: the programming line is lowered, Ready answers over the same stretch, and the
// command letter with its parameter bytes goes in meanwhile.
TimingDiagram TimingDiagram::programming()
{
    // Kept low: the list of codes goes underneath in the same frame.
    TimingDiagram d = blank(QStringLiteral("Programming"), 175);
    Trace progr = line(QStringLiteral("Progr."), 28);
    Trace ready = line(QStringLiteral("Ready"), 112);
    Trace rx = line(QStringLiteral("RX"), 165);

    const Span command{240, 360};
    progr.pulses << Pulse{command.from, command.to, Level::Lowered};
    ready.pulses << Pulse{command.from, command.to, Level::Raised};
    addCells(rx, command.from + 30, 6);

    d.traces << progr << ready << rx;
    return d;
}

// "S" under the programming line puts the module to sleep once the line is back; any character
// wakes it, and that character is lost.
TimingDiagram TimingDiagram::sleep()
{
    TimingDiagram d = blank(QStringLiteral("Sleep Mode"), 400);
    Trace progr = line(QStringLiteral("Progr."), 80);
    Trace rx = line(QStringLiteral("RX"), 210);
    Trace ready = line(QStringLiteral("Ready"), 310);

    d.notes << Note{QPoint(LineLeft, 8), Qt::AlignLeft | Qt::AlignTop,
                    QStringLiteral("To enter Sleep mode, send S character. To wake up sand one "
                                   "character.")};

    const Span command{200, 310};
    progr.pulses << Pulse{command.from, command.to, Level::Lowered};

    addCells(rx, command.from + 40, 1);
    rx.frames << Frame{0, 1, QStringLiteral("S")};
    const Span asleep{380, 560};
    rx.dotted << asleep;
    addCells(rx, asleep.to + 50, 1);
    rx.frames << Frame{1, 1, QStringLiteral("One character, this will be lost.")};

    const int riseAt = command.to + 20;
    const int dropAt = rx.cellEnd(1) + 80;
    ready.pulses << Pulse{riseAt, dropAt, Level::Raised};
    ready.dotted << asleep;

    d.markerBottom = 360;
    // The markers at Ready's edges go on downwards from where the edge meets the line.
    d.measures << Measure{rx.cellEnd(0), cellTop(rx), riseAt, ready.y, QStringLiteral("15uSec.")};
    d.measures << Measure{rx.cellEnd(1), cellTop(rx), dropAt, ready.y, QStringLiteral("7mSec")};

    d.traces << progr << rx << ready;
    return d;
}
