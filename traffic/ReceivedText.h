#pragma once

// What the Received pane shows of the radio data. Without the reading options every packet is
// one line: its bytes as 8-bit characters, or in hex when the "hex" box is ticked. The View
// menu's options read the data the way a terminal shows a stream:
//
// - Hex and Text: each line is its bytes in hex (as the "hex" box shows them), two spaces,
//   and its text, with the bytes below 0x20 and 0x7F shown as dots.
// - UTF-8 Text: the text is read as UTF-8; a byte sequence that is no UTF-8 shows as U+FFFD.
// - Whole Lines: packets are joined and lines break where CR, LF or CR LF arrive, also when
//   the CR and the LF come in two packets. A line still open when the data pauses is shown
//   as it stands (takeOpen()). The text form shows a line without its line end; the hex forms
//   show every byte, the line end included, so a line that ends in CR waits for the next byte
//   to see whether an LF belongs to it. A line that grows to MaxOpenLine bytes without a
//   line end is shown at that length, so a stream without line breaks cannot fill the memory.
//
// Only the pane sees these lines: the counters, the link report and the pane record take the
// packets as they came.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class ReceivedText {
public:
    static constexpr int MaxOpenLine = 1024;

    struct Form {
        bool hex = false; // the "hex" box
        bool hexAndText = false;
        bool utf8 = false;
        bool wholeLines = false;
    };
    struct Line {
        QString text;
        qint64 atMs; // when its first byte arrived, as the caller's clock gave it
    };

    // A packet as the pane shows it without the options: one character a byte, or for each
    // byte a space and two upper-case hex digits (" 41 0D").
    static QString packetLine(QByteArrayView bytes, bool hex);
    // Bytes in the form asked for; the text form of a whole line leaves out its line end.
    static QString formLine(QByteArrayView bytes, const Form &form);

    // Appends to out the lines that a packet arriving at atMs completes: the packet itself,
    // or with Whole Lines the lines it ends.
    void take(QByteArrayView packet, const Form &form, qint64 atMs, QList<Line> &out);
    // Whether a line has begun and not ended (Whole Lines).
    bool hasOpen() const { return !open_.isEmpty(); }
    // Shows the open line as it stands: the data paused, or Whole Lines was turned off.
    void takeOpen(const Form &form, QList<Line> &out);
    // Forgets the open line (the pane was cleared).
    void clear();

private:
    void end(const Form &form, QList<Line> &out);

    QByteArray open_;
    qint64 openAt_ = 0;
    bool held_ = false;    // open_ ends in a CR that an LF may still join (hex forms)
    bool afterCr_ = false; // the last line ended in a CR: an LF now is its line end
};
